#include "toolkit/qt/MessageDialog.h"

#include <QApplication>
#include <QMessageBox>

#include "toolkit/Application.h"

void ShowMessageDialog(const std::string& Caption, const std::string& Text) {
  QString text = QString::fromStdString(Text);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(Caption), text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void InstallMessageDialogs() {
  Application().SetMessagePresenter(&ShowMessageDialog);
}
