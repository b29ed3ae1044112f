// The main of the window's test programs: one Qt application (offscreen in
// CI) whose loop is the main loop, for timers, hand-overs and widgets.

#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>

#include "tests/support/TestEnvironment.h"
#include "toolkit/qt/QtEventLoop.h"

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  PrepareTestEnvironment();
  QApplication app(argc, argv);
  TQtEventLoop loop;
  // Qt sets the locale of the process; the tests start from a known one.
  std::setlocale(LC_NUMERIC, "C");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
