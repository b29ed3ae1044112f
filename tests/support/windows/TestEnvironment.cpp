#include "tests/support/TestEnvironment.h"

#include <windows.h>

#include <clocale>
#include <cstdio>

namespace {

// A crash fails the program at once. Left alone, Wine hands it to its
// debugger, after which the exit status may well be 0: a crash would pass.
LONG WINAPI FailOnCrash(EXCEPTION_POINTERS* Exception) {
  const EXCEPTION_RECORD& r = *Exception->ExceptionRecord;
  std::fprintf(stderr, "\nCrashed: exception 0x%08lx at %p\n", r.ExceptionCode, r.ExceptionAddress);
  std::fflush(stderr);
  ::TerminateProcess(::GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void PrepareTestEnvironment() {
  ::SetUnhandledExceptionFilter(FailOnCrash);
  // Tests choose their regional settings themselves; start from a known one.
  std::setlocale(LC_NUMERIC, "C");
  ::SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
}
