#include "shell/message_helpers.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace velmora {

namespace {
int showBox(QWidget* owner, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, owner);
  return box.exec();
}
}  // namespace

int ShowError(QWidget* owner, const QString& text) { return showBox(owner, QStringLiteral("Error"), text); }

int ShowWarning(QWidget* owner, const QString& text) {
  return showBox(owner, QStringLiteral("Warning"), text);
}

void ReportThreadStartFailure(QWidget* owner) {
  ShowError(owner, QStringLiteral("Can not start thread to load quote."));
}

void PumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace velmora
