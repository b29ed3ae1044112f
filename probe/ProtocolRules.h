#pragma once

// The rules of the probe protocol that the window and the terminal program
// apply too: probe families, the ranges a configuration value must keep, and
// the pacing of the conversation. The request codes are in RequestCodes.h,
// their frames and reply time-outs in the request table (RequestFrames.cpp).

#include <cmath>
#include <cstdint>

// Probe families by type code: 2 to 4 have a current loop, 6 and 7 are RS-485
// probes with configuration; 5 is an RS-485 probe without, 1 unsupported.
inline bool IsCurrentLoopProbe(std::int32_t ProbeType) {
  return ProbeType == 2 || ProbeType == 3 || ProbeType == 4;
}
inline bool IsRs485ConfigurableProbe(std::int32_t ProbeType) {
  return ProbeType == 6 || ProbeType == 7;
}
inline bool IsRs485MeasurementProbe(std::int32_t ProbeType) {
  return ProbeType == 5;
}
inline bool IsUnsupportedProbe(std::int32_t ProbeType) {
  return ProbeType == 1;
}

// The bus addresses a probe of this type takes (RS-485 probes only).
struct TAddressRange {
  int Low;
  int High;
};
inline constexpr TAddressRange AddressRange(std::int32_t ProbeType) {
  return ProbeType == 6 ? TAddressRange{192, 253} : TAddressRange{1, 247};
}
// Address brought into the range of the probe type. A re-read clears the
// address to 0 until the probe's reply, and that 0 is shown as it is.
inline int KeptAddress(int Address, std::int32_t ProbeType, bool ReReadStarting) {
  const TAddressRange range = AddressRange(ProbeType);
  if (Address < range.Low) return Address == 0 && ReReadStarting ? 0 : range.Low;
  return Address > range.High ? range.High : Address;
}
// Every address some probe takes: what can be checked before the type is known.
inline constexpr TAddressRange kAnyAddress{AddressRange(7).Low, AddressRange(6).High};

// Float offsets, mm.
inline constexpr long double kOffsetLimit = 10000;
// The 4 mA and 20 mA levels of a current-loop probe lie at least this far
// apart, mm.
inline constexpr long double kMinimumLevelDistance = 5;
inline bool LevelsTooClose(long double LevelAt4mA, long double LevelAt20mA) {
  return std::fabs(LevelAt20mA - LevelAt4mA) < kMinimumLevelDistance;
}

// SearchRetries counts the search replies down from this; until it reaches 0
// a search reply must carry the status "0".
inline constexpr std::int32_t kSearchRetries = 3;

// The pause between a reply (or a time-out) and the next request, ms.
inline constexpr unsigned kRequestPause = 200;
// The reply time-out before a sender sets its own (RequestFrames.cpp), ms.
inline constexpr unsigned kDefaultReplyTimeout = 500;
