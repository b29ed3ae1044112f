#include "cli/Command.h"

#include <QJsonDocument>
#include <fstream>

int TProbeCommand::Run() {
  const int code = Execute();
  Release();
  QJsonObject result{{"command", FName}, {"port", QString::fromStdString(Options.Port)}};
  if (Session && Session->EverFound()) {
    const QJsonObject probe = Report();
    result.insert("probe_id", probe["probe_id"]);
    result.insert("type_name", probe["type_name"]);
  }
  for (auto it = Result.begin(); it != Result.end(); ++it) result.insert(it.key(), it.value());
  result.insert("outcome", QString::fromStdString(Outcome));
  result.insert("exit_code", code);

  if (Options.Json) {
    const QJsonObject& shown = code == exDone && PrintReport ? Result["before"].toObject() : result;
    *C.Out << QJsonDocument(shown).toJson(QJsonDocument::Indented).toStdString();
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
    Outcome = "The adapter was unplugged (the port is gone).";
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
  Outcome = Session->Lost() ? "The adapter was unplugged (the port is gone)."
                            : "The probe stopped answering.";
  return exStopped;
}

void TProbeCommand::Progress(const std::string& Text) const {
  if (C.Progress) *C.Err << Text << std::endl;
}

void TProbeCommand::AppendRecord(const QJsonObject& Record) const {
  if (Options.RecordFile.empty()) return;
  QJsonObject record = Record;
  record.insert("time", QString::fromStdString(C.Now()));
  std::ofstream out(Options.RecordFile, std::ios::app);
  out << QJsonDocument(record).toJson(QJsonDocument::Compact).toStdString() << "\n";
  if (!out) *C.Err << "kalmet-cli: cannot write the service record " << Options.RecordFile << "\n";
}

QJsonObject TProbeCommand::Report() const {
  QJsonObject report = ProbeJson(Session->State(), Session->Given());
  report.insert("port", QString::fromStdString(Options.Port));
  return report;
}
