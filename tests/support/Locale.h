#pragma once

// Switches the numeric locale for the scope of a test.

#include <clocale>
#include <string>

inline constexpr const char* kCommaLocale = "de_DE.UTF-8";

class ScopedNumericLocale {
 public:
  explicit ScopedNumericLocale(const char* Name) {
    FPrevious = std::setlocale(LC_NUMERIC, nullptr);
    FOk = std::setlocale(LC_NUMERIC, Name) != nullptr;
  }
  ~ScopedNumericLocale() { std::setlocale(LC_NUMERIC, FPrevious.c_str()); }
  bool Ok() const { return FOk; }

 private:
  std::string FPrevious;
  bool FOk;
};
