#pragma once

// The terminal program's JSON: objects with their keys in alphabetical order,
// numbers as short as they read back (a whole number without decimals).

#include <nlohmann/json.hpp>
#include <string>

using TJson = nlohmann::json;

// A number; a whole one is kept as an integer, so that 21 is written "21".
TJson JsonNumber(double Value);
// Indented by four spaces with a line end, or compact on one line (records).
// Bytes of a text that are no UTF-8 are written as U+FFFD.
std::string JsonDocument(const TJson& Value, bool Indented);
