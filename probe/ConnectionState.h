#pragma once

// The connection state: everything the tool knows about the conversation and
// the connected probe. One instance, owned by the main window and touched by
// the main thread only.

#include <array>
#include <cstdint>
#include <string>

#include "probe/ProtocolRules.h"
#include "probe/RequestCodes.h"

// Measured and configured values of the probe, in mm, °C and mA.
struct TProbeData {
  std::int32_t Address = 0;
  long double ProbeLength = 0;
  long double LevelLimit = 0;  // whole millimetres; upper bound of the 4/20 mA levels
  long double Offset1 = 0;
  long double Offset2 = 0;
  long double LevelAt4mA = 0;
  long double LevelAt20mA = 0;
  std::int32_t AlarmCurrentIndex = 0;  // 0 "21,5 mA", 1 "  3,6 mA", 100 not read
  long double Level1 = 0;              // upper float
  long double Level2 = 0;              // lower float
  long double Temperature = 0;
  long double Current = 0;
};

inline constexpr std::int32_t kAlarmCurrentNotRead = 100;

// Sequencer states.
enum : int {
  ssIdle = 0,
  ssReadRequested = 1,
  ssReading = 2,
  ssWriteRequested = 3,
  ssWriting = 4,
  ssWriteFinished = 5,
};

inline constexpr int kRxLineSize = 101;
inline constexpr int kRxLineLimit = 40;  // longest line that is dispatched
inline constexpr int kProbeIdSize = 9;

struct TConnectionState {
  // Forgets the probe and the conversation with it: nothing found, nothing
  // read, no request, no type, no serial number, no identifier, no firmware
  // texts. What stays is for the caller to set: the port, SearchRetries, the
  // identifier's length, the type name, the probe data and the display units.
  void ResetConnection() {
    ProbeFound = false;
    ReadComplete = 0;
    SequenceState = ssIdle;
    RequestCode = rqNone;
    ProbeType = 0;
    SerialNumber = 0;
    ProbeId.fill('0');
    FirmwareVersion.clear();
    FirmwareChecksum.clear();
    FirmwareChecksumRead = false;
  }

  // Request sequencer
  bool PortOpen = false;
  bool ProbeFound = false;
  int ReadComplete = 0;  // 0 or 1
  int SequenceState = ssIdle;
  int RequestCode = rqNone;

  // Reply reception
  std::array<std::uint8_t, kRxLineSize> RxLine{};
  int RxCount = 0;

  // Probe data and connection values
  TProbeData ProbeData;
  std::array<char, kProbeIdSize> ProbeId{'0', '0', '0', '0', '0', '0', '0', '0', '0'};
  std::int32_t ProbeIdLength = 0;
  std::int32_t SerialNumber = 0;
  std::int32_t SearchRetries = kSearchRetries;
  bool FineResolution = true;
  std::string FirmwareChecksum;
  bool FirmwareChecksumRead = false;

  // Probe identification
  std::int32_t ProbeType = 0;
  std::string ProbeTypeName;
  std::string FirmwareVersion;

  // Display units
  bool InchUnits = false;
  bool FahrenheitUnits = false;
  bool UnitSwitching = false;
};
