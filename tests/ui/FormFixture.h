#pragma once

// The real window, offscreen, with message boxes recorded instead of shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "tests/serial/FakeMachine.h"
#include "toolkit/Application.h"
#include "toolkit/VirtualClock.h"
#include "toolkit/qt/ControlPeer.h"
#include "toolkit/qt/Widgets.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

// The Qt widget behind a control of the window, as the technician sees it.
inline QLineEdit* Q(const TEdit* C) {
  return static_cast<QLineEdit*>(WidgetOf(*C));
}
inline TQtSpinEdit* Q(const TSpinEdit* C) {
  return static_cast<TQtSpinEdit*>(WidgetOf(*C));
}
inline TQtComboBox* Q(const TComboBox* C) {
  return static_cast<TQtComboBox*>(WidgetOf(*C));
}
inline QLabel* Q(const TLabel* C) {
  return static_cast<QLabel*>(WidgetOf(*C));
}
inline QPushButton* Q(const TButton* C) {
  return static_cast<QPushButton*>(WidgetOf(*C));
}
inline QGroupBox* Q(const TGroupBox* C) {
  return static_cast<QGroupBox*>(WidgetOf(*C));
}

class FormTest : public ::testing::Test {
 protected:
  // Clock: the protocol timers run on it (nullptr: the event loop's timers).
  // The window lists the ports of a made-up machine, never the real /dev.
  void MakeForm(TTimerFactory* Clock = nullptr) {
    Form = std::make_unique<TForm1>(Clock, Machine.Roots);
    Form->Show();
  }
  void SetUp() override {
    Application().SetTitle("KALMET Configuration");
    FPrevious = Application().SetMessagePresenter(
        [this](const std::string& caption, const std::string& text) {
          Captions.push_back(caption);
          Messages.push_back(text);
        });
  }
  void TearDown() override {
    Form.reset();
    Application().SetMessagePresenter(FPrevious);
  }

  // A probe of Type read completely and waiting for input, without a line.
  void Connected(int Type) {
    TConnectionState& s = Form->State();
    s.ProbeType = Type;
    s.ProbeTypeName = Type == 6 ? "KALMET-RS-D" : Type == 7 ? "KALMET-RS-M" : "KALMET-C";
    s.ReadComplete = 1;
    s.SequenceState = ssIdle;
    s.ProbeFound = true;
    s.ProbeData.Address = Type == 7 ? 17 : 192;
    Form->Engine().ApplyProbeType(Type);
  }
  // Picks Name in the port selector as the technician does (adding it to
  // the list first when the machine did not list it).
  void Pick(const std::string& Name) {
    TComboBox* ports = Form->ComboBox_ComPort;
    if (ports->IndexOf(Name) < 0) ports->AddItem(Name);
    const int index = ports->IndexOf(Name);
    ports->SetItemIndex(index);
    emit Q(ports)->activated(index);
  }
  // Shows the stored values as the read does it (nothing is marked then).
  void RefreshAsRead() {
    TConnectionState& s = Form->State();
    const int complete = s.ReadComplete;
    s.ReadComplete = 0;
    Form->RefreshDisplay();
    s.ReadComplete = complete;
  }
  // Replaces a field's text as a technician does: select all, type.
  static void Type(QWidget* Field, const QString& Text) {
    Field->setFocus();
    QTest::keyClick(Field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(Field, Text);
  }
  // Replaces a field's whole text at once, as pasting does.
  static void Paste(QLineEdit* Field, const QString& Text) {
    Field->selectAll();
    Field->insert(Text);
  }
  static std::string Text(const QLineEdit* Edit) { return Edit->text().toStdString(); }
  static bool Marked(const QWidget* Field) {
    return Field->palette().color(QPalette::Base) == ToQColor(ModifiedColour);
  }
  // The window itself.
  QWidget* Window() const { return WidgetOf(*Form); }

  TFakeMachine Machine;
  std::unique_ptr<TForm1> Form;
  std::vector<std::string> Captions;
  std::vector<std::string> Messages;

 private:
  TApplication::TMessagePresenter FPrevious;
};
