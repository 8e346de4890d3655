#include "shell/chart_loading_notice.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace velmora {

ChartLoadingNotice::ChartLoadingNotice(const QString& text, QWidget* view, std::function<void()> onCancel)
    : QFrame(view),
      view_(view),
      line_(new QLabel(text, this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      onCancel_(std::move(onCancel)) {
  setObjectName(QStringLiteral("chartLoadingNotice"));
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(2);
  // An opaque box in the window's own colours over the grey chart area.
  setAutoFillBackground(true);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(24, 16, 24, 16);
  layout->setSpacing(16);
  layout->addWidget(line_);
  layout->addWidget(cancel_);
  // The focus stays with the view (its keys, Escape among them); the
  // button is for the mouse.
  cancel_->setFocusPolicy(Qt::NoFocus);
  connect(cancel_, &QPushButton::clicked, this, &ChartLoadingNotice::cancel);
  // Escape reaches the view from the view itself or from any child of it;
  // a resize of the view centres the box again.
  view_->installEventFilter(this);
  adjustSize();
  centre();
  show();
  raise();
}

QString ChartLoadingNotice::text() const { return line_->text(); }

bool ChartLoadingNotice::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_) {
    if (event->type() == QEvent::Resize) {
      centre();
    } else if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      cancel();
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}

void ChartLoadingNotice::centre() {
  const QSize box = sizeHint().expandedTo(minimumSizeHint());
  // A window narrower than the box shows its left part.
  const int left = std::max(0, (view_->width() - box.width()) / 2);
  const int top = std::max(0, (view_->height() - box.height()) / 2);
  setGeometry(left, top, box.width(), box.height());
}

void ChartLoadingNotice::cancel() {
  if (!onCancel_) return;
  std::function<void()> cancelled = std::move(onCancel_);
  onCancel_ = nullptr;
  cancelled();
}

}  // namespace velmora
