// kalmet-render-window: renders the tool's window, connected to a simulated
// probe, into a PNG file (for the documentation). Runs offscreen.
//
// Usage: kalmet-render-window PRESET OUTPUT.png   (PRESET as kalmet-probe-sim's)

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>

#include "toolkit/Application.h"
#include "toolkit/qt/ControlPeer.h"
#include "toolkit/qt/QtEventLoop.h"
#include "tools/SimulatorServer.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "Usage: kalmet-render-window PRESET OUTPUT.png\n");
    return 2;
  }
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  TQtEventLoop loop;
  Application().SetTitle("KALMET Configuration");
  auto probe = sim::Preset(argv[1]);
  if (!probe) {
    std::fprintf(stderr, "kalmet-render-window: no preset called '%s'\n", argv[1]);
    return 2;
  }
  sim::TSimulatorServer server(*probe, {});
  std::string error;
  if (!server.Open(error)) {
    std::fprintf(stderr, "kalmet-render-window: %s\n", error.c_str());
    return 1;
  }
  server.Start();

  TForm1 form;
  form.Show();
  form.PickPort(server.DevicePath());
  if (!QTest::qWaitFor([&] { return form.Edit_Status->Text() == "Reading probe data done."; },
                       20000)) {
    std::fprintf(stderr, "kalmet-render-window: the probe was not read\n");
    return 1;
  }
  QTest::qWait(300);  // the indicators go dark
  form.ComboBox_ComPort->SetText("ttyKALMET0");
  if (!WidgetOf(form)->grab().save(argv[2])) {
    std::fprintf(stderr, "kalmet-render-window: cannot write %s\n", argv[2]);
    return 1;
  }
  form.Close();
  return 0;
}
