#include "cli/Console.h"

void PrepareConsole() {
  // A Linux terminal takes UTF-8 as it is.
}
