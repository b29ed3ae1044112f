#pragma once

// A widget seen as a toolkit control: a component (so that its removal is
// noticed by its siblings) whose colour is the widget's background.

#include <QColor>
#include <QPointer>
#include <QWidget>

#include "toolkit/Control.h"

QColor ToQColor(TColor Color);

class TWidgetControl : public TControl {
 public:
  TWidgetControl(TComponent* AOwner, QWidget* Widget);
  ~TWidgetControl() override;
  TColor Color() const override { return FColor; }
  void SetColor(TColor Value) override;
  QWidget* Widget() const { return FWidget; }

 private:
  QPointer<QWidget> FWidget;
  TColor FColor = 0xFFFFFF;
};
