// Program entry of the KALMET Configuration Tool. No command-line options.

#include <QApplication>

#include "toolkit/Application.h"
#include "toolkit/MessageDialog.h"
#include "ui/Unit_KALMET_Configuration_Tool.h"

int main(int argc, char* argv[]) {
  // A fixed 96 pixels per inch: the window is laid out in pixels.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication app(argc, argv);
  Application().SetTitle("KALMET Configuration");
  InstallMessageDialogs();
  TForm1 Form1;
  Form1.show();
  return app.exec();
}
