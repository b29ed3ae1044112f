#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <string>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/MessageDialog.h"
#include "toolkit/Timer.h"

namespace {

class RecordedMessages {
 public:
  RecordedMessages() {
    FPrevious = Application().SetMessagePresenter(
        [this](const std::string& caption, const std::string& text) {
          Captions.push_back(caption);
          Texts.push_back(text);
        });
  }
  ~RecordedMessages() { Application().SetMessagePresenter(FPrevious); }
  std::vector<std::string> Captions, Texts;

 private:
  TApplication::TMessagePresenter FPrevious;
};

TEST(Application, MessageBoxIsCaptionedWithTheTitle) {
  Application().SetTitle("KALMET Configuration");
  RecordedMessages seen;
  Application().ShowMessage("ERROR: Wrong answer received!");
  EXPECT_EQ(seen.Captions, std::vector<std::string>{"KALMET Configuration"});
  EXPECT_EQ(seen.Texts, std::vector<std::string>{"ERROR: Wrong answer received!"});
}

TEST(Application, TopLevelHandlerIgnoresAbortAndShowsOtherMessages) {
  RecordedMessages seen;
  Application().HandleException(std::make_exception_ptr(EAbort()));
  Application().HandleException(std::make_exception_ptr(Exception("Timeout")));
  Application().HandleException(std::make_exception_ptr(std::runtime_error("other")));
  EXPECT_EQ(seen.Texts, (std::vector<std::string>{"Timeout", "other"}));

  int handled = 0;
  Application().OnException = [&](std::exception_ptr) { ++handled; };
  Application().HandleException(std::make_exception_ptr(Exception("Timeout")));
  Application().HandleException(std::make_exception_ptr(EAbort()));
  Application().OnException = nullptr;
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(seen.Texts.size(), 2u);
}

struct TCounter : TObject {
  int Ticks = 0;
  void Tick(TObject*) { ++Ticks; }
};

TEST(Application, RealMessageBoxKeepsTimersRunningAndShowsLineBreaks) {
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
