#include "tests/support/TestEnvironment.h"

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <string>

void PrepareTestEnvironment() {
  // The simulator's and the tool's folder of virtual ports.
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    const std::string dir = "/tmp/kalmet-test-runtime-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  // Tests choose their numeric locale themselves; start from a known one.
  std::setlocale(LC_NUMERIC, "C");
}
