// The test program's main: the tests run on the main thread, as the tool does,
// and serve the toolkit's own event loop while they wait (tests/support/Wait.h).

#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv) {
  PrepareTestEnvironment();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
