#include "cli/Command.h"

#include <QJsonDocument>
#include <fstream>

int TCommand::OpenAndRead(const TCommonOptions& Options) {
  std::string reason;
  Line = C.OpenLine(Options.Port, reason);
  if (!Line) {
    *C.Err << "kalmet-cli: The selected COM Port is not available!";
    if (!reason.empty()) *C.Err << " " << reason;
    *C.Err << "\n";
    return exPortNotAvailable;
  }
  Session = std::make_unique<TProbeSession>(*Line, *C.Timers);
  const TConnectionState& s = Session->State();
  Line->OnSent = [this, &s](const std::string&) {
    if (s.ProbeFound && s.ReadComplete == 0 && s.RequestCode >= 10)
      Progress("Reading " + std::to_string(s.RequestCode - 9) + " of 10 …");
  };
  Progress("Searching for probe on " + Options.Port + " …");
  Session->Connect();
  const bool found = C.RunUntil([&] { return s.ProbeFound || Session->Lost() || Interrupted(); },
                                Options.SearchSeconds * 1000);
  if (Interrupted()) return exInterrupted;
  if (Session->Lost()) {
    *C.Err << "kalmet-cli: The adapter was unplugged (the port is gone).\n";
    return exStopped;
  }
  if (!found) {
    *C.Err << "kalmet-cli: No probe answered on " << Options.Port << " within "
           << Options.SearchSeconds << " s.\n";
    return exNoProbe;
  }
  // The first read; a probe that goes silent sends the engine back to its
  // search, which is no longer a read.
  return Converse([&] { return Session->Resting(); }, 60000);
}

int TCommand::Converse(const std::function<bool()>& Done, int Milliseconds, bool StopAfterReply) {
  const TConnectionState& s = Session->State();
  const auto stop = [&] {
    return Interrupted() && (!StopAfterReply || !Session->TimerTimeout().Enabled());
  };
  const std::size_t messages = Session->Messages.size();
  const auto noAnswer = [&] {
    for (std::size_t i = messages; i < Session->Messages.size(); ++i)
      if (Session->Messages[i].rfind("Error: No answer from probe!", 0) == 0) return true;
    return false;
  };
  const bool done = C.RunUntil(
      [&] {
        return Done() || Session->Lost() || stop() || noAnswer() ||
               (s.ReadComplete == 0 && !s.ProbeFound);
      },
      Milliseconds);
  if (done && Done()) return exDone;
  if (stop()) {
    Session->Stop();  // nothing more is sent
    return exInterrupted;
  }
  Session->Stop();
  *C.Err << "kalmet-cli: "
         << (Session->Lost() ? "The adapter was unplugged (the port is gone)."
                             : "The probe stopped answering.")
         << "\n";
  return exStopped;
}

void TCommand::Progress(const std::string& Text) const {
  if (C.Progress) *C.Err << Text << std::endl;
}

bool TCommand::AppendRecord(const std::string& File, QJsonObject Record) const {
  if (File.empty()) return true;
  Record.insert("time", QString::fromStdString(C.Now()));
  std::ofstream out(File, std::ios::app);
  out << QJsonDocument(Record).toJson(QJsonDocument::Compact).toStdString() << "\n";
  if (!out) *C.Err << "kalmet-cli: cannot write the service record " << File << "\n";
  return static_cast<bool>(out);
}

QJsonObject TCommand::Report(const std::string& Port) const {
  QJsonObject report = ProbeJson(Session->State());
  report.insert("port", QString::fromStdString(Port));
  return report;
}
