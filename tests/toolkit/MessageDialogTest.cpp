// The real message box of the window's toolkit.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <string>

#include "toolkit/Application.h"
#include "toolkit/Timer.h"
#include "toolkit/qt/MessageDialog.h"

namespace {

struct TCounter : TObject {
  int Ticks = 0;
  void Tick(TObject*) { ++Ticks; }
};

TEST(MessageDialog, KeepsTimersRunningAndShowsLineBreaks) {
  Application().SetTitle("KALMET Configuration");
  auto previous = Application().SetMessagePresenter(&ShowMessageDialog);
  TComponent owner(nullptr);
  TTimer timer(&owner);
  TCounter counter;
  timer.SetInterval(5);
  timer.SetOnTimer(TNotifyEvent::Of<&TCounter::Tick>(&counter));

  QString title, text;
  int ticksWhileOpen = 0;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    if (ticksWhileOpen == 0) ticksWhileOpen = -counter.Ticks;  // ticks when first seen open
    if (counter.Ticks + ticksWhileOpen < 3) return;
    ticksWhileOpen += counter.Ticks;
    title = box->windowTitle();
    text = box->text();
    box->accept();
  });
  closer.start(5);
  Application().ShowMessage("Error: No answer from probe!\r\n\r\nTrying to connect/re-connect.");
  Application().SetMessagePresenter(previous);
  EXPECT_GE(ticksWhileOpen, 3);
  EXPECT_EQ(title, QString("KALMET Configuration"));
  EXPECT_EQ(text, QString("Error: No answer from probe!\n\nTrying to connect/re-connect."));
}

}  // namespace
