#include "cli/Arguments.h"

#include <charconv>
#include <fstream>

std::optional<int> WholeNumber(const std::string& Text) {
  int value = 0;
  const char* end = Text.data() + Text.size();
  const auto [ptr, error] = std::from_chars(Text.data(), end, value);
  if (Text.empty() || error != std::errc() || ptr != end) return std::nullopt;
  return value;
}

void TProbeArguments::Declare(CLI::App& Command) {
  Command.add_option("PORT", Options.Port, "The probe's port.")->required();
  Command.add_flag("--json", Options.Json, "Results as JSON.");
  Command.add_flag("--quiet", FQuiet, "No progress on standard error.");
  Command.add_option("--timeout", FTimeout, "Search for the probe this long (default 10).")
      ->type_name("S");
  Command
      .add_option("--record", Options.RecordFile,
                  "Append a service record (one JSON line) to FILE.")
      ->type_name("FILE");
}

std::string TProbeArguments::Check() {
  const auto seconds = WholeNumber(FTimeout);
  if (!seconds || *seconds <= 0 || *seconds > 86400)
    return "--timeout needs a whole number of seconds, at most 86400";
  Options.SearchSeconds = *seconds;
  if (!Options.RecordFile.empty() && !std::ofstream(Options.RecordFile, std::ios::app))
    return "cannot write the service record " + Options.RecordFile;
  return "";
}

TCommandContext& TProbeArguments::Prepared(TCommandContext& Context) const {
  Context.Progress = Context.Progress && !FQuiet;
  return Context;
}
