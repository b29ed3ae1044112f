// The decimal separator of the process's numeric locale.

#include <langinfo.h>

#include "toolkit/Numbers.h"

char DecimalSeparator() {
  const char* radix = ::nl_langinfo(RADIXCHAR);
  if (radix && radix[0] != '\0' && radix[1] == '\0') return radix[0];
  return '.';
}
