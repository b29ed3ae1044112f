#pragma once

// Number texts. On screen and when the operator types, numbers use the
// decimal separator of the process's locale; on the wire they use ".". The
// conversions here never depend on the C library's locale state otherwise.

#include <cstdint>
#include <string>
#include <string_view>

// Decimal separator of the process's numeric locale ("." if it has none of
// one byte).
char DecimalSeparator();

// FormatFloat with a pattern of the form "0", "0.0", "0.00", "0.000", ...:
// at least one integer digit, exactly as many decimals as the pattern has,
// rounded to nearest, a leading "-" for negative values (never for a value
// that rounds to zero), no digit grouping. The point stands for the locale's
// decimal separator; the overload with Separator uses that one instead.
std::string FormatFloat(std::string_view Pattern, long double Value);
std::string FormatFloat(std::string_view Pattern, long double Value, char Separator);

// Reads a decimal number: blanks around it are ignored; an optional sign,
// digits with at most one Separator (at least one digit in all), an optional
// exponent ("e" or "E", optional sign, digits). False for anything else or a
// value out of range. The overload without Separator uses the locale's.
bool TryTextToFloat(std::string_view Text, long double& Value);
bool TryTextToFloat(std::string_view Text, long double& Value, char Separator);

// Reads a decimal integer: optional leading blanks, an optional sign, then
// digits and nothing else; false for an empty text or a value outside 32 bits.
bool TryStrToInt(std::string_view Text, std::int32_t& Value);
