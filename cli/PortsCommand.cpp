// kalmet-cli ports: the ports the window lists, with their by-id links and
// adapters.

#include "cli/Arguments.h"

int TPortsCommand::Run() {
  const auto ports = platform::SerialPortDetails(C.Devices);
  if (FJson) {
    TJson list = TJson::array();
    for (const auto& p : ports) {
      const auto text = [](const std::string& Value) {
        return Value.empty() ? TJson(nullptr) : TJson(Value);
      };
      list.push_back({{"name", p.Name},
                      {"device", p.Device},
                      {"by_id", text(p.ById)},
                      {"description", text(p.Description)}});
    }
    *C.Out << JsonDocument(list, true);
    return exDone;
  }
  // One port a line: name, device, by-id link, adapter ("-" where unknown).
  for (const auto& p : ports)
    *C.Out << p.Name << "\t" << p.Device << "\t" << (p.ById.empty() ? "-" : p.ById) << "\t"
           << (p.Description.empty() ? "-" : p.Description) << "\n";
  return exDone;
}

namespace {

class TPortsArguments : public TArguments {
 public:
  void Declare(CLI::App& Command) override {
    Command.add_flag("--json", FJson, "Results as JSON.");
  }
  std::string Check() override { return ""; }
  int Run(TCommandContext& Context) override { return TPortsCommand(Context, FJson).Run(); }

 private:
  bool FJson = false;
};

}  // namespace

std::unique_ptr<TArguments> PortsArguments() {
  return std::make_unique<TPortsArguments>();
}
