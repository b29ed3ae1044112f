#include "tools/ProbeModel.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>

namespace sim {

namespace {

bool StartsWith(const std::string& Text, const std::string& Prefix) {
  return Text.compare(0, Prefix.size(), Prefix) == 0;
}

std::string Upper(std::string Text) {
  for (char& c : Text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return Text;
}

// A signed integer right-aligned in Width characters with leading zeros
// after the sign: -1234 in 6 is "-01234".
std::string Fixed(long long Value, int Width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", Width, Value);
  return buffer;
}

std::optional<double> ParseDecimal(const std::string& Text) {
  if (Text.empty()) return std::nullopt;
  double value = 0;
  const char* begin = Text.data() + (Text[0] == '+' ? 1 : 0);
  auto [end, ec] = std::from_chars(begin, Text.data() + Text.size(), value);
  if (ec != std::errc() || end != Text.data() + Text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<int> ParseDigits(const std::string& Text) {
  if (Text.empty()) return std::nullopt;
  int value = 0;
  auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), value);
  if (ec != std::errc() || end != Text.data() + Text.size()) return std::nullopt;
  return value;
}

std::string Line(const std::string& Text) {
  return Text + "\r\n";
}

}  // namespace

TFamily FamilyOf(const std::string& TypeName) {
  const std::string name = Upper(TypeName);
  if (StartsWith(name, "KALMET-TAG") || StartsWith(name, "KALMET-SC")) return TFamily::Unsupported;
  if (StartsWith(name, "KALMET-C") || StartsWith(name, "KALMET-HART")) return TFamily::CurrentLoop;
  if (StartsWith(name, "KALMET-RS-D") || StartsWith(name, "KALMET-RS-M"))
    return TFamily::Rs485Config;
  if (StartsWith(name, "KALMET-RS")) return TFamily::Rs485Measuring;
  if (StartsWith(name, "KALMET")) return TFamily::CurrentLoop;
  return TFamily::Unsupported;
}

std::vector<std::string> PresetNames() {
  return {"current-loop", "hart",  "kalmet", "rs485-d", "rs485-m",
          "rs485-u",      "rs485", "tag",    "sc",      "unknown"};
}

std::optional<TProbeModel> Preset(const std::string& Name) {
  static const std::map<std::string, std::pair<std::string, std::string>> types = {
      {"current-loop", {"KALMET-C", "1.05"}}, {"hart", {"KALMET-HART", "2.01"}},
      {"kalmet", {"KALMET", "0.98"}},         {"rs485-d", {"KALMET-RS-D", "V2.13"}},
      {"rs485-m", {"KALMET-RS-M", "V2.13"}},  {"rs485-u", {"KALMET-RS-U", "V1.40"}},
      {"rs485", {"KALMET-RS", "V1.20"}},      {"tag", {"KALMET-TAG", "3.0"}},
      {"sc", {"KALMET-SC", "1.1"}},           {"unknown", {"LEVELMASTER-9", "7.7"}},
  };
  const auto it = types.find(Name);
  if (it == types.end()) return std::nullopt;
  TProbeModel probe;
  probe.TypeName = it->second.first;
  probe.FirmwareVersion = it->second.second;
  probe.Family = FamilyOf(probe.TypeName);
  if (Name == "rs485-m") probe.Address = 17;
  if (probe.Family == TFamily::CurrentLoop) {
    probe.Id = "51234";
    probe.Level1 = 1250.25;
    probe.Level2 = 0;
    probe.FineResolution = false;
  }
  return probe;
}

std::string SearchChecksum(const std::string& Body) {
  unsigned sum = 0;
  for (unsigned char c : Body) sum += c;
  while (sum > 255) sum -= 255;
  return Fixed(sum, 3);
}

std::string SearchReply(const TProbeModel& Probe) {
  const double scale = Probe.FineResolution ? 1000.0 : 100.0;
  const std::string body =
      Probe.Id + " " + Probe.Status + " " + Fixed(std::llround(Probe.Temperature * 1000.0), 6) +
      (Probe.FineResolution ? ' ' : '>') + Fixed(std::llround(Probe.Level1 * scale), 7) + " " +
      Fixed(std::llround(Probe.Level2 * scale), 7) + " ";
  return body + SearchChecksum(body) + "\r\n";
}

std::string DecimalText(double Value) {
  char buffer[400];
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, Value, std::chars_format::fixed, 3);
  return ec == std::errc() ? std::string(buffer, end) : "0.000";
}

std::optional<std::string> Answer(TProbeModel& Probe, const std::string& Request) {
  if (Request == "S 0") return SearchReply(Probe);

  const bool read = StartsWith(Request, "TXP");
  const bool write = StartsWith(Request, "RXP");
  const bool commit = StartsWith(Request, "STP");
  if (!read && !write && !commit) return std::nullopt;
  // A bus probe answers only to its own identifier.
  if (Request.compare(3, Probe.Id.size(), Probe.Id) != 0) return std::nullopt;
  const std::string rest = Request.substr(3 + Probe.Id.size());
  const bool rs485 = Probe.Family == TFamily::Rs485Config;
  const bool loop = Probe.Family == TFamily::CurrentLoop;

  if (commit) {
    if (!rest.empty()) return std::nullopt;
    ++Probe.Commits;
    return Line(kPositiveAck);
  }

  if (read) {
    if (rest == "VN4") return Line(Probe.TypeName + " " + Probe.FirmwareVersion);
    if (rest == "CS") return Line(Probe.FirmwareChecksum);
    if (rest == "SL") return Line(DecimalText(Probe.ProbeLength));
    if (rest == "AD") return Line(rs485 ? std::to_string(Probe.Address) : kUnavailable);
    if (rest == "OP") return Line(rs485 ? DecimalText(Probe.Offset1) : kUnavailable);
    if (rest == "OW") return Line(rs485 ? DecimalText(Probe.Offset2) : kUnavailable);
    if (rest == "IS") return Line(loop ? DecimalText(Probe.Current) : kUnavailable);
    if (rest == "PL") return Line(loop ? DecimalText(Probe.LevelAt4mA) : kUnavailable);
    if (rest == "PH") return Line(loop ? DecimalText(Probe.LevelAt20mA) : kUnavailable);
    if (rest == "FS") return Line(loop ? std::to_string(Probe.AlarmCurrent) : kUnavailable);
    return Line(kUnavailable);
  }

  // Write requests: checked as the probe would, refused with a negative
  // acknowledgement.
  const std::string mnemonic = rest.substr(0, 2);
  const std::string value = rest.size() > 2 ? rest.substr(2) : "";
  const auto accept = [&Probe] {
    ++Probe.Writes;
    return Line(kPositiveAck);
  };
  const auto refuse = [&Probe] {
    ++Probe.RefusedWrites;
    return Line(kNegativeAck);
  };
  if (mnemonic == "IS" && value.empty()) {
    ++Probe.LoopReleases;
    return Line(kPositiveAck);
  }
  if (rs485 && mnemonic == "AD") {
    const auto address = ParseDigits(value);
    const bool typeM = StartsWith(Upper(Probe.TypeName), "KALMET-RS-M");
    const int low = typeM ? 1 : 192, high = typeM ? 247 : 253;
    if (value.size() != 3 || !address || *address < low || *address > high) return refuse();
    Probe.Address = *address;
    return accept();
  }
  if (rs485 && (mnemonic == "OP" || mnemonic == "OW")) {
    const auto offset = ParseDecimal(value);
    if (!offset || *offset < 0 || *offset > 10000) return refuse();
    (mnemonic == "OP" ? Probe.Offset1 : Probe.Offset2) = *offset;
    return accept();
  }
  if (loop && (mnemonic == "PL" || mnemonic == "PH")) {
    const auto level = ParseDecimal(value);
    if (!level || *level < 0 || *level > Probe.ProbeLength) return refuse();
    (mnemonic == "PL" ? Probe.LevelAt4mA : Probe.LevelAt20mA) = *level;
    return accept();
  }
  if (loop && mnemonic == "FS") {
    if (value != "0" && value != "1") return refuse();
    Probe.AlarmCurrent = value[0] - '0';
    return accept();
  }
  return refuse();
}

}  // namespace sim
