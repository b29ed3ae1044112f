// The main of the Windows controls' tests: the window's loop is the main
// loop, for the windows, timers and hand-overs alike.

#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"
#include "toolkit/windows/ui/WindowEventLoop.h"

int main(int argc, char** argv) {
  PrepareTestEnvironment();
  TWindowEventLoop loop;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
