// Program entry of the KALMET Configuration Tool. No command-line options.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <string>

#include "toolkit/Application.h"
#include "toolkit/qt/MessageDialog.h"
#include "toolkit/qt/QtEventLoop.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    std::fputs(
        "kalmet-configuration-tool needs a desktop session: no display was found (DISPLAY and "
        "WAYLAND_DISPLAY are not set). kalmet-cli works without one.\n",
        stderr);
    return 1;
  }
  // A fixed 96 pixels per inch: the window is laid out in pixels.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication app(argc, argv);
  try {
    TQtEventLoop loop;  // timers and serial events on Qt's loop
    Application().SetTitle("KALMET Configuration");
    InstallMessageDialogs();
    TForm1 Form1;
    Form1.Show();
    return app.exec();
  } catch (const std::exception& e) {
    // Started from the desktop, nobody reads the output: a box says it too.
    const std::string text = std::string("The KALMET Configuration Tool cannot start: ") + e.what();
    std::fprintf(stderr, "%s\n", text.c_str());
    QMessageBox::critical(nullptr, "KALMET Configuration", QString::fromStdString(text));
    return 1;
  }
}
