#include "toolkit/Numbers.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

int DecimalsOfPattern(std::string_view Pattern) {
  if (Pattern == "0") return 0;
  if (Pattern.size() < 3 || Pattern.substr(0, 2) != "0.") throw std::invalid_argument("pattern");
  for (char c : Pattern.substr(2))
    if (c != '0') throw std::invalid_argument("pattern");
  return static_cast<int>(Pattern.size() - 2);
}

}  // namespace

std::string FormatFloat(std::string_view Pattern, long double Value) {
  return FormatFloat(Pattern, Value, DecimalSeparator());
}

std::string FormatFloat(std::string_view Pattern, long double Value, char Separator) {
  const int decimals = DecimalsOfPattern(Pattern);
  char buffer[5000];  // enough for any finite long double in fixed notation
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, Value, std::chars_format::fixed, decimals);
  if (ec != std::errc()) return {};
  std::string text(buffer, end);
  if (!text.empty() && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
    text.erase(0, 1);  // -0.000 reads as 0.000
  if (const auto point = text.find('.'); point != std::string::npos) text[point] = Separator;
  return text;
}

bool TryTextToFloat(std::string_view Text, long double& Value) {
  return TryTextToFloat(Text, Value, DecimalSeparator());
}

bool TryTextToFloat(std::string_view Text, long double& Value, char Separator) {
  const auto first = Text.find_first_not_of(' ');
  if (first == std::string_view::npos) return false;
  Text = Text.substr(first, Text.find_last_not_of(' ') - first + 1);

  // Checked here so that from_chars sees only the plain form it accepts.
  std::string plain;
  std::size_t i = 0;
  if (Text[i] == '+' || Text[i] == '-') {
    if (Text[i] == '-') plain += '-';
    ++i;
  }
  int digits = 0;
  bool separatorSeen = false;
  for (; i < Text.size(); ++i) {
    const char c = Text[i];
    if (c >= '0' && c <= '9') {
      plain += c;
      ++digits;
    } else if (c == Separator && !separatorSeen) {
      plain += '.';
      separatorSeen = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < Text.size()) {
    if (Text[i] != 'e' && Text[i] != 'E') return false;
    plain += 'e';
    ++i;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) plain += Text[i++];
    int exponentDigits = 0;
    for (; i < Text.size() && Text[i] >= '0' && Text[i] <= '9'; ++i, ++exponentDigits)
      plain += Text[i];
    if (exponentDigits == 0 || i != Text.size()) return false;
  }
  long double result = 0;
  auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), result);
  if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(result))
    return false;
  Value = result;
  return true;
}

bool TryStrToInt(std::string_view Text, std::int32_t& Value) {
  std::size_t i = 0;
  while (i < Text.size() && Text[i] == ' ') ++i;
  bool negative = false;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) negative = Text[i++] == '-';
  if (i == Text.size()) return false;
  std::int64_t result = 0;
  for (; i < Text.size(); ++i) {
    const char c = Text[i];
    if (c < '0' || c > '9') return false;
    result = result * 10 + (c - '0');
    if (result > std::int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) result = -result;
  if (result < INT32_MIN || result > INT32_MAX) return false;
  Value = static_cast<std::int32_t>(result);
  return true;
}
