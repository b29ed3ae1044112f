#pragma once

// The real window, offscreen, with message boxes recorded instead of shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "tests/serial/FakeMachine.h"
#include "toolkit/Application.h"
#include "toolkit/VirtualClock.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

class FormTest : public ::testing::Test {
 protected:
  // Clock: the protocol timers run on it (nullptr: the event loop's timers).
  // The window lists the ports of a made-up machine, never the real /dev.
  void MakeForm(TTimerFactory* Clock = nullptr) {
    Form = std::make_unique<TForm1>(Clock, Machine.Roots);
    Form->show();
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
    const QString name = QString::fromStdString(Name);
    if (ports->findText(name) < 0) ports->AddItem(name);
    const int index = ports->findText(name);
    ports->setCurrentIndex(index);
    emit ports->activated(index);
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
  static bool Marked(const QWidget* Field) { return TForm1::FieldColour(Field) == ModifiedColour; }

  TFakeMachine Machine;
  std::unique_ptr<TForm1> Form;
  std::vector<std::string> Captions;
  std::vector<std::string> Messages;

 private:
  TApplication::TMessagePresenter FPrevious;
};
