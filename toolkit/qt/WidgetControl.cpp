#include "toolkit/qt/WidgetControl.h"

QColor ToQColor(TColor Color) {
  return QColor(RedOf(Color), GreenOf(Color), BlueOf(Color));
}

TWidgetControl::TWidgetControl(TComponent* AOwner, QWidget* Widget)
    : TControl(AOwner), FWidget(Widget) {}

TWidgetControl::~TWidgetControl() {
  NotifyRemoval();
}

void TWidgetControl::SetColor(TColor Value) {
  FColor = Value;
  if (!FWidget) return;
  QPalette p = FWidget->palette();
  p.setColor(QPalette::Base, ToQColor(Value));
  p.setColor(QPalette::Button, ToQColor(Value));
  FWidget->setPalette(p);
}
