#include "shell/child_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>

#include "shell/child_view.h"

namespace velmora {

CChildFrame::CChildFrame(QWidget* view, QWidget* parent) : QMdiSubWindow(parent) {
  setWidget(view);
  setAttribute(Qt::WA_DeleteOnClose);
  // The main frame's Window menu closes the active window with Ctrl+W and
  // Ctrl+F4; the Close item of this window's system menu keeps working but
  // gives up those keys, which would otherwise be ambiguous.
  if (QMenu* menu = systemMenu()) {
    const QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    for (QAction* action : menu->actions()) {
      for (const QKeySequence& key : action->shortcuts())
        if (closeKeys.contains(key)) {
          action->setShortcuts(QList<QKeySequence>());
          break;
        }
    }
  }
}

void CChildFrame::closeEvent(QCloseEvent* event) {
  const auto* view = dynamic_cast<const ChildView*>(widget());
  if (closingForExit_ || (view != nullptr && view->currentViewMode() == ChildView::kChartMode)) {
    QMdiSubWindow::closeEvent(event);
    return;
  }
  event->ignore();
}

}  // namespace velmora
