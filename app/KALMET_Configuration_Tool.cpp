// Program entry of the KALMET configuration tool.

#include <QApplication>
#include <QWidget>

#include "toolkit/Application.h"
#include "toolkit/MessageDialog.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  Application().SetTitle("KALMET Configuration");
  InstallMessageDialogs();
  QWidget window;
  window.setWindowTitle(QString::fromStdString(Application().Title()));
  window.show();
  return app.exec();
}
