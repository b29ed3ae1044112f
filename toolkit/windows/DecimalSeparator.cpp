// The decimal separator of the regional settings (of this thread's locale,
// which is the user's unless a test sets another).

#include <windows.h>

#include "toolkit/Numbers.h"

char DecimalSeparator() {
  wchar_t text[8] = {};
  if (::GetLocaleInfoW(::GetThreadLocale(), LOCALE_SDECIMAL, text, 8) == 2 && text[0] < 0x80)
    return static_cast<char>(text[0]);
  return '.';
}
