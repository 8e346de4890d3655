#include "app/ui/child_frame.h"

#include <QCloseEvent>

#include "app/ui/child_view.h"

namespace velmora {

CChildFrame::CChildFrame(QWidget* view, QWidget* parent) : QMdiSubWindow(parent) {
  setWidget(view);
  setAttribute(Qt::WA_DeleteOnClose);
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
