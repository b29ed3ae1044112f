#pragma once

// A virtual KALMET probe: what it measures, how it is configured, and how it
// answers each request line of the protocol. No I/O here; the simulator's
// server carries the lines over a serial line.

#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class TFamily {
  CurrentLoop,     // 4 mA / 20 mA levels, alarm current, loop current
  Rs485Config,     // bus address and float offsets
  Rs485Measuring,  // measurement only
  Unsupported,     // answers, but nothing the tool can configure
};

struct TProbeModel {
  std::string Id = "40217";  // 5 to 9 digits
  std::string TypeName = "KALMET-RS-D";
  std::string FirmwareVersion = "V2.13";
  std::string FirmwareChecksum = "A5C3";
  TFamily Family = TFamily::Rs485Config;
  char Status = '0';  // status character of the search reply

  double Temperature = 21.5;   // °C
  double Level1 = 123.456;     // mm, upper float
  double Level2 = 234.567;     // mm, lower float
  bool FineResolution = true;  // levels in 0.001 mm steps, else 0.01 mm (">")

  int Address = 192;
  double Offset1 = 0;
  double Offset2 = 0;
  double ProbeLength = 2500;
  double Current = 12.0;  // mA
  double LevelAt4mA = 100;
  double LevelAt20mA = 2400;
  int AlarmCurrent = 0;  // 0: 21.5 mA, 1: 3.6 mA

  // Counters of what the probe was asked to do.
  int Writes = 0;  // accepted write requests
  int RefusedWrites = 0;
  int Commits = 0;       // "STP" received
  int LoopReleases = 0;  // "IS" write without value (sent when the tool closes)
};

// Preset names: current-loop, hart, kalmet, rs485-d, rs485-m, rs485-u, rs485,
// tag, sc, unknown. Nothing for an unknown name.
std::optional<TProbeModel> Preset(const std::string& Name);
std::vector<std::string> PresetNames();

// The family a type name belongs to, as the tool will see it.
TFamily FamilyOf(const std::string& TypeName);

// The search reply: identifier, status, temperature, levels, checksum, CR LF.
std::string SearchReply(const TProbeModel& Probe);
// The checksum of a search reply body: byte sum reduced by 255, 3 digits.
std::string SearchChecksum(const std::string& Body);
// Decimal texts as the probe sends them ("." always), e.g. 12.500.
std::string DecimalText(double Value);

// The reply line (with CR LF) to one request line (without CR LF), changing
// the model for write requests; nothing when the probe stays silent (another
// identifier, a line it does not understand as a request).
std::optional<std::string> Answer(TProbeModel& Probe, const std::string& Request);

inline constexpr const char* kPositiveAck = "i.O.";
inline constexpr const char* kNegativeAck = "ERR.";
inline constexpr const char* kUnavailable = "u.P.";

}  // namespace sim
