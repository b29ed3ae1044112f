#include "cli/Json.h"

#include <cmath>

TJson JsonNumber(double Value) {
  if (!std::isfinite(Value)) return nullptr;
  // Exact as a 64-bit integer: well inside 2^53.
  if (std::trunc(Value) == Value && std::fabs(Value) < 9007199254740992.0)
    return static_cast<std::int64_t>(Value);
  return Value;
}

std::string JsonDocument(const TJson& Value, bool Indented) {
  const auto replace = TJson::error_handler_t::replace;
  return Indented ? Value.dump(4, ' ', false, replace) + "\n" : Value.dump(-1, ' ', false, replace);
}
