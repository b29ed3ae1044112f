// The number texts and the type-name prefix test on arbitrary input:
// conversions agree with their reverse, and nothing crashes or reads astray.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "probe/ProbeIdentification.h"
#include "probe/RequestFrames.h"
#include "toolkit/Numbers.h"

namespace {

void Check(bool Holds) {
  if (!Holds) std::abort();
}

char Upper(char C) {
  return C >= 'a' && C <= 'z' ? static_cast<char>(C - 32) : C;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);

  for (char separator : {'.', ','}) {
    long double value = 0;
    if (TryTextToFloat(text, value, separator)) {
      Check(std::isfinite(value));
      if (std::fabs(value) < 1e15L) {
        const std::string shown = FormatFloat("0.000", value, separator);
        long double back = 0;
        Check(TryTextToFloat(shown, back, separator));
        Check(std::fabs(back - value) <= 0.0005L + std::fabs(value) * 1e-15L);
        const std::string wire = WireDecimal(value);
        Check(wire.find(',') == std::string::npos);
      }
    }
  }

  std::int32_t integer = 0;
  if (TryStrToInt(text, integer)) {
    std::int32_t back = 0;
    Check(TryStrToInt(std::to_string(integer), back) && back == integer);
  }

  // The prefix test against a plain reference.
  const std::size_t cut = Size ? Data[0] % (Size + 1) : 0;
  const std::string_view a(text.data(), cut), b(text.data() + cut, Size - cut);
  bool expected = a.size() >= b.size();
  for (std::size_t i = 0; expected && i < b.size(); ++i) expected = Upper(a[i]) == Upper(b[i]);
  Check(HasTypePrefix(a, b) == expected);
  const std::int32_t type = ProbeTypeOfName(text);
  Check(type >= 1 && type <= 7);
  return 0;
}
