#include "tests/support/Locale.h"

#include <windows.h>

#include <string>

const char* const kCommaLocale = "de-DE";

ScopedNumericLocale::ScopedNumericLocale(const char* Name) {
  FPreviousId = ::GetThreadLocale();
  const std::string name = Name;
  const std::wstring wide(name.begin(), name.end());
  const LCID id = name == "C" ? MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT)
                              : ::LocaleNameToLCID(wide.c_str(), 0);
  FOk = id != 0 && ::SetThreadLocale(id);
}

ScopedNumericLocale::~ScopedNumericLocale() {
  ::SetThreadLocale(static_cast<LCID>(FPreviousId));
}
