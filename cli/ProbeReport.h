#pragma once

// What the tool knows of a probe after a read, as the window shows it: the
// JSON object of the read command and of the service record, and the text
// for a terminal.

#include <set>
#include <string>

#include "cli/Json.h"
#include "probe/ConnectionState.h"

// "rs485", "current-loop", "rs485-measurement", "unsupported" or "none".
std::string FamilyName(std::int32_t ProbeType);

// Every value the window would show; null where its family has none, or
// where the probe gave none: Given holds the read requests (11 to 19) whose
// replies gave a value.
TJson ProbeJson(const TConnectionState& S, const std::set<int>& Given);

// The same as lines of text with units.
std::string ProbeText(const TConnectionState& S);
