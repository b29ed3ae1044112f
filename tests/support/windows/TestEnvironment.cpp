#include "tests/support/TestEnvironment.h"

#include <windows.h>

#include <clocale>

void PrepareTestEnvironment() {
  // Tests choose their regional settings themselves; start from a known one.
  std::setlocale(LC_NUMERIC, "C");
  ::SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
}
