// Program entry of the KALMET Configuration Tool. No command-line options.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <memory>
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
  std::unique_ptr<TQtEventLoop> loop;  // timers and serial events on Qt's loop
  std::unique_ptr<TForm1> Form1;
  try {
    loop = std::make_unique<TQtEventLoop>();
    Application().SetTitle("KALMET Configuration");
    InstallMessageDialogs();
    Form1 = std::make_unique<TForm1>();
    Form1->Show();
  } catch (const std::exception& e) {
    // Started from the desktop, nobody reads the output: a box says it too.
    const std::string text = std::string("The KALMET Configuration Tool cannot start: ") + e.what();
    std::fprintf(stderr, "%s\n", text.c_str());
    QMessageBox::critical(nullptr, "KALMET Configuration", QString::fromStdString(text));
    return 1;
  }
  return app.exec();
}
