// One Qt application for the whole test program: timers, hand-overs and
// widgets need it. Tests run on the main thread, as the tool does.

#include <gtest/gtest.h>

#include <unistd.h>
#include <QApplication>
#include <clocale>
#include <cstdlib>

int main(int argc, char** argv) {
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    static char dir[] = "/tmp/kalmet-test-XXXXXX";
    if (::mkdtemp(dir)) ::setenv("XDG_RUNTIME_DIR", dir, 1);
  }
  QApplication app(argc, argv);
  // Tests choose their numeric locale themselves; start from a known one.
  std::setlocale(LC_NUMERIC, "C");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
