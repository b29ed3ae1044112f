#pragma once

// The request frames of the protocol: one table row per request code, and the
// building of a frame from the connection state.

#include <array>
#include <optional>
#include <string>

#include "probe/ConnectionState.h"
#include "probe/RequestCodes.h"

enum class TRequestValue { None, Address, Decimal, AlarmDigit };

struct TRequestInfo {
  int Code;
  const char* Prefix;    // "S 0" (the search, no identifier), "TXP", "RXP" or "STP"
  const char* Mnemonic;  // parameter letters; empty for the search and "STP"
  TRequestValue Value;
  long double TProbeData::*Decimal;  // the decimal value written, or null
  unsigned Timeout;                  // reply time-out, ms
};

// nullptr for a code without a request.
const TRequestInfo* FindRequest(int Code);
// The requests a step of the sequencer sends (all but rqReleaseLoop).
bool IsSequencedRequest(int Code);

inline constexpr int kFrameCapacity = 31;

struct TFrame {
  std::array<char, kFrameCapacity> Bytes{};
  int Count = 0;
  // A decimal value whose text does not fit the frame: nothing is built.
  std::optional<std::string> RefusedValue;
};

// Builds the frame of Request from ProbeId/ProbeIdLength and, for write
// requests, its ProbeData field. Fixed buffers: 8 bytes for the search, 21
// for frames without a decimal value, 31 for frames with one.
TFrame BuildFrame(const TRequestInfo& Request, const TConnectionState& State);

// "0.000" with "." whatever the locale.
std::string WireDecimal(long double Value);
