// kalmet-cli read PORT: the search and the first read, as the window runs
// them, and every value the window would show.

#include <QJsonDocument>

#include "cli/Command.h"

int TReadCommand::Run() {
  const int code = OpenAndRead(FOptions);
  if (code != exDone) {
    if (Line) Line->Close();
    return code;
  }
  const QJsonObject report = Report(FOptions.Port);
  if (FOptions.Json)
    *C.Out << QJsonDocument(report).toJson(QJsonDocument::Indented).toStdString();
  else
    *C.Out << "Port:                 " << FOptions.Port << "\n" << ProbeText(Session->State());
  AppendRecord(FOptions.RecordFile, QJsonObject{{"command", "read"},
                                                {"port", report["port"]},
                                                {"probe_id", report["probe_id"]},
                                                {"type_name", report["type_name"]},
                                                {"before", report},
                                                {"outcome", "read"}});
  Line->Close();
  return exDone;
}
