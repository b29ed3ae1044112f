#pragma once

// Probe type codes and the type table.

#include <cstdint>
#include <string_view>

// True when Text begins with Pattern, letters a-z compared as A-Z (no other
// case folding). An empty pattern always matches.
bool HasTypePrefix(std::string_view Text, std::string_view Pattern);

struct TProbeTypeEntry {
  const char* Prefix;
  std::int32_t Code;
};

// Tested in this order; the first match wins, no match gives 1.
inline constexpr TProbeTypeEntry kProbeTypeTable[] = {
    {"KALMET-TAG", 1},  {"KALMET-SC", 1},   {"KALMET-C", 2},
    {"KALMET-HART", 4}, {"KALMET-RS-D", 6}, {"KALMET-RS-M", 7},
    {"KALMET-RS-U", 5}, {"KALMET-RS", 5},   {"KALMET", 3},
};

std::int32_t ProbeTypeOfName(std::string_view ProbeTypeName);
