#include "cli/Command.h"

#include <fstream>

#include "serial/platform/network/NetworkAddress.h"

int TProbeCommand::Run() {
  const int code = Execute();
  Release();
  TJson result{{"command", FName}, {"port", Options.Port}};
  if (Session && Session->EverFound()) {
    const TJson probe = Report();
    result["probe_id"] = probe["probe_id"];
    result["type_name"] = probe["type_name"];
  }
  for (const auto& [key, value] : Result.items()) result[key] = value;
  result["outcome"] = Outcome;
  result["exit_code"] = code;

  if (Options.Json) {
    const TJson& shown = code == exDone && PrintReport ? Result["before"] : result;
    *C.Out << JsonDocument(shown, true);
  } else if (code == exDone && PrintReport) {
    *C.Out << "Port:                 " << Options.Port << "\n" << ProbeText(Session->State());
  } else if (code == exDone) {
    *C.Out << Outcome << "\n";
  }
  if (code != exDone) *C.Err << "kalmet-cli: " << Outcome << "\n";
  AppendRecord(result);
  return code;
}

void TProbeCommand::Release() {
  if (!Line) return;
  if (Session && !Session->Lost() && IsCurrentLoopProbe(Session->State().ProbeType)) {
    try {
      Session->Engine().Send(rqReleaseLoop);
    } catch (const std::exception&) {
      // The line went away meanwhile: there is nothing to release.
    }
  }
  Line->Close();
}

int TProbeCommand::OpenAndRead() {
  std::string reason;
  Line = C.OpenLine(Options.Port, reason);
  if (!Line) {
    Outcome = "The selected COM Port is not available!" + (reason.empty() ? "" : " " + reason);
    return exPortNotAvailable;
  }
  Session = std::make_unique<TProbeSession>(*Line, *C.Timers);
  const TConnectionState& s = Session->State();
  Line->OnSent = [this, &s](const std::string&) {
    constexpr int reads = rqAlarmCurrent - rqType + 1;
    if (s.ProbeFound && s.ReadComplete == 0 && s.RequestCode >= rqType)
      Progress("Reading " + std::to_string(s.RequestCode - rqType + 1) + " of " +
               std::to_string(reads) + " …");
  };
  Progress("Searching for probe on " + Options.Port + " …");
  Session->Connect();
  const bool found = C.RunUntil([&] { return s.ProbeFound || Session->Lost() || Interrupted(); },
                                Options.SearchSeconds * 1000);
  if (Interrupted()) {
    Outcome = "interrupted while searching";
    return exInterrupted;
  }
  if (Session->Lost()) {
    Outcome = LostOutcome();
    return exStopped;
  }
  if (!found) {
    Outcome = "No probe answered on " + Options.Port + " within " +
              std::to_string(Options.SearchSeconds) + " s.";
    return exNoProbe;
  }
  // The first read; a probe that goes silent sends the engine back to its
  // search, which is no longer a read.
  const int code = Converse([&] { return Session->Resting(); }, 60000);
  if (code == exInterrupted) Outcome = "interrupted while reading";
  return code;
}

int TProbeCommand::Converse(const std::function<bool()>& Done, int Milliseconds,
                            bool StopAfterReply) {
  const TConnectionState& s = Session->State();
  const std::size_t messages = Session->Messages.size();
  const auto noAnswer = [&] {
    for (std::size_t i = messages; i < Session->Messages.size(); ++i)
      if (Session->Messages[i].rfind("Error: No answer from probe!", 0) == 0) return true;
    return false;
  };
  const auto stop = [&] {
    return Interrupted() && (!StopAfterReply || !Session->TimerTimeout().Enabled());
  };
  const bool done = C.RunUntil(
      [&] {
        return Done() || Session->Lost() || stop() || noAnswer() ||
               (s.ReadComplete == 0 && !s.ProbeFound);
      },
      Milliseconds);
  if (done && Done()) return exDone;
  Session->Stop();  // nothing more is sent
  if (stop()) {
    Outcome = "interrupted";
    return exInterrupted;
  }
  Outcome = Session->Lost() ? LostOutcome() : "The probe stopped answering.";
  return exStopped;
}

std::string TProbeCommand::LostOutcome() const {
  return platform::network::IsNetworkAddress(Options.Port)
             ? "The connection to the server was lost."
             : "The adapter was unplugged (the port is gone).";
}

void TProbeCommand::Progress(const std::string& Text) const {
  if (C.Progress) *C.Err << Text << std::endl;
}

void TProbeCommand::AppendRecord(const TJson& Record) const {
  if (Options.RecordFile.empty()) return;
  TJson record = Record;
  record["time"] = C.Now();
  std::ofstream out(Options.RecordFile, std::ios::app);
  out << JsonDocument(record, false) << "\n";
  if (!out) *C.Err << "kalmet-cli: cannot write the service record " << Options.RecordFile << "\n";
}

TJson TProbeCommand::Report() const {
  TJson report = ProbeJson(Session->State(), Session->Given());
  report["port"] = Options.Port;
  return report;
}
