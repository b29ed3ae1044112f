// kalmet-cli write PORT [values]: reads the probe, checks the values with the
// window's rules, runs the write sequence of the probe's family with them,
// reads again and compares what the probe reports with what was sent.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <sstream>

#include "cli/Arguments.h"
#include "probe/RequestFrames.h"
#include "toolkit/Numbers.h"

namespace {

std::string Text(long double Value) {
  return WireDecimal(Value);
}

// A value as the operator gave it (not rounded to the wire's decimals).
std::string Given(long double Value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, static_cast<double>(Value),
                                 std::chars_format::general, 15);
  return std::string(text, end.ptr);
}

// Sent: the values as the write frames carry them; else as the probe reports them.
std::vector<TWritten> WrittenValues(const TConnectionState& S, bool Sent) {
  const TProbeData& d = S.ProbeData;
  if (IsRs485ConfigurableProbe(S.ProbeType))
    return {{"address", rqWriteAddress, std::to_string(d.Address)},
            {"offset1", rqWriteOffset1, Text(d.Offset1)},
            {"offset2", rqWriteOffset2, Text(d.Offset2)}};
  const std::int32_t alarm = d.AlarmCurrentIndex;
  return {{"level4", rqWriteLevelAt4mA, Text(d.LevelAt4mA)},
          {"level20", rqWriteLevelAt20mA, Text(d.LevelAt20mA)},
          {"alarm", rqWriteAlarmCurrent,
           alarm == 0                          ? "21.5"
           : alarm == 1 || (Sent && alarm > 1) ? "3.6"
                                               : "unknown"}};
}

}  // namespace

std::string TWriteCommand::Refusal(bool ProbeKnown) const {
  std::ostringstream why;
  const auto& v = FValues;
  if (v.Address && (*v.Address < kAnyAddress.Low || *v.Address > kAnyAddress.High))
    why << "address " << *v.Address << " is outside " << kAnyAddress.Low << " to "
        << kAnyAddress.High;
  for (auto [name, value] : {std::pair{"offset1", v.Offset1}, {"offset2", v.Offset2}})
    if (value && (*value < 0 || *value > kOffsetLimit))
      return std::string(name) + " " + Given(*value) + " mm is outside 0 to " +
             FormatFloat("0", kOffsetLimit, '.') + " mm";
  for (auto [name, value] : {std::pair{"level4", v.LevelAt4mA}, {"level20", v.LevelAt20mA}})
    if (value && *value < 0) return std::string(name) + " " + Given(*value) + " mm is below 0 mm";
  if (!why.str().empty()) return why.str();
  if (!ProbeKnown) {
    if (v.LevelAt4mA && v.LevelAt20mA && LevelsTooClose(*v.LevelAt4mA, *v.LevelAt20mA))
      return "level4 " + Given(*v.LevelAt4mA) + " mm and level20 " + Given(*v.LevelAt20mA) +
             " mm are less than " + FormatFloat("0", kMinimumLevelDistance, '.') + " mm apart";
    return "";
  }

  const TConnectionState& s = Session->State();
  const std::string probe = s.ProbeTypeName + " (" + FamilyName(s.ProbeType) + ")";
  const bool rs485 = IsRs485ConfigurableProbe(s.ProbeType);
  const bool loop = IsCurrentLoopProbe(s.ProbeType);
  if ((v.Address || v.Offset1 || v.Offset2) && !rs485)
    return "the probe " + probe + " has no address and no float offsets";
  if ((v.LevelAt4mA || v.LevelAt20mA || v.AlarmCurrentIndex) && !loop)
    return "the probe " + probe + " has no 4 mA and 20 mA levels and no alarm current";
  if (v.Address) {
    const auto [low, high] = AddressRange(s.ProbeType);
    if (*v.Address < low || *v.Address > high)
      return "address " + std::to_string(*v.Address) + " is outside " + std::to_string(low) +
             " to " + std::to_string(high) + " for the probe " + probe;
  }
  const TProbeData& d = s.ProbeData;
  for (auto [name, value] : {std::pair{"level4", v.LevelAt4mA}, {"level20", v.LevelAt20mA}})
    if (value && *value > d.LevelLimit)
      return std::string(name) + " " + Given(*value) + " mm is above the level limit of " +
             FormatFloat("0", d.LevelLimit, '.') + " mm of this probe";
  if (loop) {
    const long double at4 = v.LevelAt4mA.value_or(d.LevelAt4mA);
    const long double at20 = v.LevelAt20mA.value_or(d.LevelAt20mA);
    if (LevelsTooClose(at4, at20))
      return "level4 " + Given(at4) + " mm and level20 " + Given(at20) + " mm are less than " +
             FormatFloat("0", kMinimumLevelDistance, '.') + " mm apart";
  }
  return "";
}

void TWriteCommand::Apply() {
  TProbeData& d = Session->State().ProbeData;
  if (FValues.Address) d.Address = *FValues.Address;
  if (FValues.Offset1) d.Offset1 = *FValues.Offset1;
  if (FValues.Offset2) d.Offset2 = *FValues.Offset2;
  if (FValues.LevelAt4mA) d.LevelAt4mA = *FValues.LevelAt4mA;
  if (FValues.LevelAt20mA) d.LevelAt20mA = *FValues.LevelAt20mA;
  if (FValues.AlarmCurrentIndex) d.AlarmCurrentIndex = *FValues.AlarmCurrentIndex;
}

std::string TWriteCommand::Acknowledged(const std::vector<TWritten>& Values) const {
  std::string taken, missed;
  const auto add = [](std::string& List, const std::string& Item) {
    List += (List.empty() ? "" : ", ") + Item;
  };
  const auto sent = [&](int Code) {
    return std::find(FSentCodes.begin(), FSentCodes.end(), Code) != FSentCodes.end();
  };
  std::vector<std::pair<std::string, int>> requests;
  for (const TWritten& w : Values) requests.emplace_back(w.Name, w.Code);
  requests.emplace_back("closing command", rqEndWrite);
  for (const auto& [name, code] : requests) {
    const auto it = Session->Acknowledgements.find(code);
    if (it != Session->Acknowledgements.end() && it->second == TAcknowledge::Positive)
      add(taken, name);
    else
      add(missed, name + (!sent(code)                             ? " (not sent)"
                          : it == Session->Acknowledgements.end() ? " (no answer)"
                                                                  : " (refused)"));
  }
  return "acknowledged: " + (taken.empty() ? std::string("none") : taken) +
         "; not acknowledged: " + (missed.empty() ? std::string("none") : missed);
}

int TWriteCommand::Execute() {
  // What no probe accepts is refused before anything is sent.
  if (const std::string why = Refusal(false); !why.empty()) {
    Outcome = "refused: " + why + ".";
    return exRefused;
  }
  int code = OpenAndRead();
  if (code != exDone) return code;
  Result["before"] = Report();
  // What this probe does not accept is refused before any write request.
  if (const std::string why = Refusal(true); !why.empty()) {
    Outcome = "refused: " + why + ".";
    return exRefused;
  }

  Apply();
  const std::vector<TWritten> sent = WrittenValues(Session->State(), true);
  Session->Acknowledgements.clear();
  const auto progress = Line->OnSent;
  Line->OnSent = [this, progress](const std::string& Frame) {
    FSentCodes.push_back(Session->State().RequestCode);
    if (progress) progress(Frame);
  };
  Progress("Writing …");
  Session->Engine().RequestWrite();
  code = Converse([&] { return Session->Resting(); }, 30000, true);
  Line->OnSent = progress;
  TJson sentJson = TJson::object();
  for (const TWritten& w : sent)
    if (std::find(FSentCodes.begin(), FSentCodes.end(), w.Code) != FSentCodes.end())
      sentJson[w.Name] = w.Wire;
  Result["sent"] = sentJson;
  if (code == exInterrupted) {
    Outcome = "interrupted during the write: " + Acknowledged(sent) + ".";
    return code;
  }
  if (code != exDone) {
    Outcome += " During the write: " + Acknowledged(sent) + ".";
    return code;
  }

  // Read again: what does the probe report now?
  Progress("Reading again …");
  Session->ReadAgain();
  code = Converse([&] { return Session->Resting(); }, 30000);
  if (code != exDone) {
    Outcome = (code == exInterrupted ? std::string("interrupted while reading again")
                                     : Outcome + " It was not read again") +
              " after the write (" + Acknowledged(sent) + ").";
    return code;
  }
  Result["after"] = Report();
  std::string notTaken;
  const std::vector<TWritten> now = WrittenValues(Session->State(), false);
  for (std::size_t i = 0; i < sent.size(); ++i)
    if (sent[i].Wire != now[i].Wire)
      notTaken += std::string(notTaken.empty() ? "" : ", ") + sent[i].Name + " (sent " +
                  sent[i].Wire + ", the probe reports " + now[i].Wire + ")";
  if (!notTaken.empty()) {
    Outcome = "Not verified: the probe did not take " + notTaken + ".";
    return exRefused;
  }
  Outcome = "Written and verified.";
  return exDone;
}

namespace {

class TWriteArguments : public TProbeArguments {
 public:
  void Declare(CLI::App& Command) override {
    TProbeArguments::Declare(Command);
    const auto value = [&](const char* Name, std::string& Text, const char* Unit,
                           const char* What) {
      FGiven.push_back(Command.add_option(Name, Text, What)->type_name(Unit));
    };
    value("--address", FAddress, "N", "Bus address (RS-485 probes).");
    value("--offset1", FOffset1, "MM", "Offset of float 1 in mm (RS-485 probes).");
    value("--offset2", FOffset2, "MM", "Offset of float 2 in mm (RS-485 probes).");
    value("--level4", FLevel4, "MM", "Level at 4 mA in mm (current-loop probes).");
    value("--level20", FLevel20, "MM", "Level at 20 mA in mm (current-loop probes).");
    value("--alarm", FAlarm, "MA", "Alarm current: 21.5 or 3.6 (mA).");
  }

  std::string Check() override {
    if (std::string why = TProbeArguments::Check(); !why.empty()) return why;
    // A value given empty (a script's unset variable) is no number either.
    for (const CLI::Option* option : FGiven)
      if (option->count() > 0 && option->as<std::string>().empty())
        return "the values need numbers (with \".\" as decimal separator)";
    bool ok = true;
    if (!FAddress.empty()) {
      FValues.Address = WholeNumber(FAddress);
      ok = FValues.Address.has_value();
    }
    FValues.Offset1 = Millimetres(FOffset1, ok);
    FValues.Offset2 = Millimetres(FOffset2, ok);
    FValues.LevelAt4mA = Millimetres(FLevel4, ok);
    FValues.LevelAt20mA = Millimetres(FLevel20, ok);
    if (!ok) return "the values need numbers (with \".\" as decimal separator)";
    if (!FAlarm.empty()) {
      if (FAlarm != "21.5" && FAlarm != "3.6") return "--alarm is 21.5 or 3.6";
      FValues.AlarmCurrentIndex = FAlarm == "21.5" ? 0 : 1;
    }
    if (!FValues.Any()) return "write needs at least one value to write";
    return "";
  }

  int Run(TCommandContext& Context) override {
    return TWriteCommand(Prepared(Context), Options, FValues).Run();
  }

 private:
  // A length in mm with "." as decimal separator, whatever the locale.
  static std::optional<long double> Millimetres(const std::string& Text, bool& Ok) {
    if (Text.empty()) return std::nullopt;
    double value = 0;
    const char* end = Text.data() + Text.size();
    const auto [ptr, error] = std::from_chars(Text.data(), end, value);
    if (error != std::errc() || ptr != end || !std::isfinite(value)) Ok = false;
    return value;
  }

  std::string FAddress, FOffset1, FOffset2, FLevel4, FLevel20, FAlarm;
  std::vector<const CLI::Option*> FGiven;
  TWriteValues FValues;
};

}  // namespace

std::unique_ptr<TArguments> WriteArguments() {
  return std::make_unique<TWriteArguments>();
}
