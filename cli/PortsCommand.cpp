// kalmet-cli ports: the ports the window lists, with their by-id links and
// adapters.

#include <QJsonArray>
#include <QJsonDocument>

#include "cli/Command.h"

int TPortsCommand::Run() {
  const auto ports = platform::SerialPortDetails(C.Devices);
  if (FJson) {
    QJsonArray list;
    for (const auto& p : ports) {
      const auto text = [](const std::string& Value) {
        return Value.empty() ? QJsonValue(QJsonValue::Null)
                             : QJsonValue(QString::fromStdString(Value));
      };
      list.append(QJsonObject{{"name", QString::fromStdString(p.Name)},
                              {"device", QString::fromStdString(p.Device)},
                              {"by_id", text(p.ById)},
                              {"description", text(p.Description)}});
    }
    *C.Out << QJsonDocument(list).toJson(QJsonDocument::Indented).toStdString();
    return exDone;
  }
  // One port a line: name, device, by-id link, adapter ("-" where unknown).
  for (const auto& p : ports)
    *C.Out << p.Name << "\t" << p.Device << "\t" << (p.ById.empty() ? "-" : p.ById) << "\t"
           << (p.Description.empty() ? "-" : p.Description) << "\n";
  return exDone;
}
