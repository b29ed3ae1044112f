#include "tests/support/Locale.h"

#include <clocale>

const char* const kCommaLocale = "de_DE.UTF-8";

ScopedNumericLocale::ScopedNumericLocale(const char* Name) {
  FPrevious = std::setlocale(LC_NUMERIC, nullptr);
  FOk = std::setlocale(LC_NUMERIC, Name) != nullptr;
}

ScopedNumericLocale::~ScopedNumericLocale() {
  std::setlocale(LC_NUMERIC, FPrevious.c_str());
}
