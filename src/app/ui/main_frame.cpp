#include "app/ui/main_frame.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include "base/app_identity.h"

namespace velmora {

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle(QString::fromLatin1(kAppTitle));
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  QAction* exitAction = file->addAction(QStringLiteral("E&xit"));
  exitAction->setStatusTip(QStringLiteral("Quit the application; prompts to save documents"));
  connect(exitAction, &QAction::triggered, this, &QWidget::close);
  statusBar()->showMessage(QStringLiteral("Ready"));
  resize(1024, 700);
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (exitConfirmed_) {
    event->accept();
    return;
  }
  const QString question = QStringLiteral("Are you sure to exit %1?").arg(QString::fromLatin1(kAppTitle));
  const auto answer = QMessageBox::question(this, QStringLiteral("Warnning"), question,
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer != QMessageBox::Yes) {
    event->ignore();
    return;
  }
  exitConfirmed_ = true;
  if (beforeClose_) beforeClose_();
  event->accept();
}

}  // namespace velmora
