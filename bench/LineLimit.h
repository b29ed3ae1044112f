#pragma once

// The line limit that the benchmarks measure against: the bytes at 1200 baud
// and the sequencer's pauses.

#include <algorithm>
#include <string>
#include <vector>

inline constexpr double kByteMs = 10.0 * 1000.0 / 1200.0;  // 10 bits at 1200 baud
inline constexpr double kPauseMs = 200.0;

inline double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  const std::size_t n = Values.size();
  return n % 2 ? Values[n / 2] : (Values[n / 2 - 1] + Values[n / 2]) / 2;
}

// The bytes of a simulator's log text, in which CR, LF and other control
// bytes are escaped (\r, \n, \xHH).
inline std::size_t LoggedBytes(const std::string& Text) {
  std::size_t n = 0;
  for (std::size_t k = 0; k < Text.size(); ++k, ++n)
    if (Text[k] == '\\') k += Text[k + 1] == 'x' ? 3 : 1;
  return n;
}
