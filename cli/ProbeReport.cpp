#include "cli/ProbeReport.h"

#include <charconv>
#include <optional>
#include <sstream>

#include "probe/RequestFrames.h"

#include "toolkit/Numbers.h"

namespace {

std::string Fixed(long double Value, int Decimals) {
  return FormatFloat(Decimals == 1 ? "0.0" : Decimals == 2 ? "0.00" : "0.000", Value, '.');
}

int LengthDecimals(const TConnectionState& S) {
  return S.FineResolution ? 3 : 2;
}

// The value as the window shows it, as a JSON number.
TJson Number(long double Value, int Decimals) {
  const std::string text = Fixed(Value, Decimals);
  double shown = 0;
  std::from_chars(text.data(), text.data() + text.size(), shown);
  return JsonNumber(shown);
}

std::string IdText(const TConnectionState& S) {
  const int length = std::clamp<std::int32_t>(S.ProbeIdLength, 0, kProbeIdSize);
  return std::string(S.ProbeId.data(), static_cast<std::size_t>(length));
}

// mA; nullopt when not read.
std::optional<double> AlarmCurrent(std::int32_t Index) {
  if (Index == 0) return 21.5;
  if (Index == 1) return 3.6;
  return std::nullopt;
}

}  // namespace

std::string FamilyName(std::int32_t ProbeType) {
  if (IsRs485ConfigurableProbe(ProbeType)) return "rs485";
  if (IsCurrentLoopProbe(ProbeType)) return "current-loop";
  if (IsRs485MeasurementProbe(ProbeType)) return "rs485-measurement";
  if (IsUnsupportedProbe(ProbeType)) return "unsupported";
  return "none";
}

TJson ProbeJson(const TConnectionState& S, const std::set<int>& Given) {
  const TProbeData& d = S.ProbeData;
  const bool rs485 = IsRs485ConfigurableProbe(S.ProbeType);
  const bool loop = IsCurrentLoopProbe(S.ProbeType);
  const int length = LengthDecimals(S);
  const auto when = [](bool Has, const TJson& Value) { return Has ? Value : TJson(nullptr); };
  const auto given = [&](int Request) { return Given.count(Request) > 0; };
  TJson o = TJson::object();
  o["probe_id"] = IdText(S);
  o["serial_number"] = when(S.SerialNumber != 0, S.SerialNumber);
  o["type_name"] = when(S.ProbeType != 0, S.ProbeTypeName);
  o["probe_type"] = S.ProbeType;
  o["family"] = FamilyName(S.ProbeType);
  o["firmware_version"] = when(S.ProbeType != 0, S.FirmwareVersion);
  o["firmware_checksum"] = when(S.FirmwareChecksumRead, S.FirmwareChecksum);
  o["temperature_c"] = Number(d.Temperature, 1);
  o["level1_mm"] = Number(d.Level1, length);
  o["level2_mm"] = Number(d.Level2, length);
  o["fine_resolution"] = S.FineResolution;
  o["address"] = when(rs485 && given(rqAddress), d.Address);
  o["offset1_mm"] = when(rs485 && given(rqOffset1), Number(d.Offset1, 3));
  o["offset2_mm"] = when(rs485 && given(rqOffset2), Number(d.Offset2, 3));
  o["level_mm"] = when(loop, Number(d.Level1, length));
  o["current_ma"] = when(loop && given(rqCurrent), Number(d.Current, 3));
  o["level_at_4ma_mm"] = when(loop && given(rqLevelAt4mA), Number(d.LevelAt4mA, length));
  o["level_at_20ma_mm"] = when(loop && given(rqLevelAt20mA), Number(d.LevelAt20mA, length));
  const auto alarm = AlarmCurrent(d.AlarmCurrentIndex);
  o["alarm_current_ma"] =
      when(loop && given(rqAlarmCurrent) && alarm, JsonNumber(alarm.value_or(0)));
  // A length that does not convert leaves 0 and the limit of 16000 mm.
  const bool lengthGiven = given(rqProbeLength) && d.ProbeLength != 0;
  o["probe_length_mm"] = when(lengthGiven, Number(d.ProbeLength, 3));
  o["level_limit_mm"] = when(given(rqProbeLength), JsonNumber(static_cast<double>(d.LevelLimit)));
  return o;
}

std::string ProbeText(const TConnectionState& S) {
  const TProbeData& d = S.ProbeData;
  const int length = LengthDecimals(S);
  std::ostringstream out;
  const auto line = [&](const char* Label, const std::string& Value) {
    out << Label << std::string(22 - std::string(Label).size(), ' ') << Value << "\n";
  };
  line("Probe type:", S.ProbeTypeName + " (" + FamilyName(S.ProbeType) + ")");
  line("Serial No.:", S.SerialNumber ? std::to_string(S.SerialNumber) : "");
  line("Firmware:",
       S.FirmwareChecksumRead ? S.FirmwareVersion + "_" + S.FirmwareChecksum : S.FirmwareVersion);
  line("Temperature:", Fixed(d.Temperature, 1) + " °C");
  if (IsCurrentLoopProbe(S.ProbeType)) {
    line("Level:", Fixed(d.Level1, length) + " mm");
    line("Current:", Fixed(d.Current, 3) + " mA");
    line("Level at 4 mA:", Fixed(d.LevelAt4mA, length) + " mm");
    line("Level at 20 mA:", Fixed(d.LevelAt20mA, length) + " mm");
    const auto alarm = AlarmCurrent(d.AlarmCurrentIndex);
    line("Alarm current:", alarm ? Fixed(*alarm, 1) + " mA" : "?");
  } else {
    line("Float 1:", Fixed(d.Level1, length) + " mm");
    line("Float 2:", Fixed(d.Level2, length) + " mm");
  }
  if (IsRs485ConfigurableProbe(S.ProbeType)) {
    line("Address:", std::to_string(d.Address));
    line("Offset float 1:", Fixed(d.Offset1, 3) + " mm");
    line("Offset float 2:", Fixed(d.Offset2, 3) + " mm");
  }
  if (d.LevelLimit != 0) line("Probe length:", Fixed(d.ProbeLength, 3) + " mm");
  return out.str();
}
