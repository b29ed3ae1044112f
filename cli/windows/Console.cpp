#include "cli/Console.h"

#include <windows.h>

void PrepareConsole() {
  // The console's code page is the OEM one unless told otherwise.
  ::SetConsoleOutputCP(CP_UTF8);
}
