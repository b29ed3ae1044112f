#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/Application.h"

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

}  // namespace
