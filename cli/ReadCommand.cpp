// kalmet-cli read PORT: the search and the first read, as the window runs
// them, and every value the window would show.

#include "cli/Arguments.h"

int TReadCommand::Execute() {
  const int code = OpenAndRead();
  if (code != exDone) return code;
  Result["before"] = Report();
  PrintReport = true;
  Outcome = "read";
  return exDone;
}

namespace {

class TReadArguments : public TProbeArguments {
 public:
  int Run(TCommandContext& Context) override {
    return TReadCommand(Prepared(Context), Options).Run();
  }
};

}  // namespace

std::unique_ptr<TArguments> ReadArguments() {
  return std::make_unique<TReadArguments>();
}
