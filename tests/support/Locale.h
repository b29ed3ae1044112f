#pragma once

// Switches the numeric locale (on Windows: the regional settings of this
// thread) for the scope of a test. One implementation per system.

#include <string>

// A locale whose decimal separator is a comma; "C" is one with a point.
extern const char* const kCommaLocale;

class ScopedNumericLocale {
 public:
  explicit ScopedNumericLocale(const char* Name);
  ~ScopedNumericLocale();
  ScopedNumericLocale(const ScopedNumericLocale&) = delete;
  ScopedNumericLocale& operator=(const ScopedNumericLocale&) = delete;
  bool Ok() const { return FOk; }

 private:
  std::string FPrevious;
  unsigned long FPreviousId = 0;
  bool FOk = false;
};
