// kalmet-cli read PORT: the search and the first read, as the window runs
// them, and every value the window would show.

#include "cli/Command.h"

int TReadCommand::Execute() {
  const int code = OpenAndRead();
  if (code != exDone) return code;
  Result.insert("before", Report());
  PrintReport = true;
  Outcome = "read";
  return exDone;
}
