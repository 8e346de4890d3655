#include "shell/notice_dialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace velmora {

CNoticeDialog::CNoticeDialog(const QString& text, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), line_(new QLabel(text, this)) {
  setModal(false);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(24, 16, 24, 16);
  layout->addWidget(line_);
  // The focus goes to a hidden edit so the text line is never selected.
  auto* focusSink = new QLineEdit(this);
  focusSink->setFixedSize(0, 0);
  layout->addWidget(focusSink);
  focusSink->setFocus();
}

QString CNoticeDialog::text() const { return line_->text(); }

void CNoticeDialog::addCancelButton(std::function<void()> onCancel) {
  onCancel_ = std::move(onCancel);
  if (cancel_ != nullptr) return;
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  layout()->addWidget(cancel_);
  connect(cancel_, &QPushButton::clicked, this, &CNoticeDialog::reject);
}

void CNoticeDialog::reject() {
  if (cancel_ == nullptr) {
    QDialog::reject();
    return;
  }
  // A cancellable notice tells its owner, once, and stays until the owner
  // destroys it.
  if (!onCancel_) return;
  std::function<void()> cancel = std::move(onCancel_);
  onCancel_ = nullptr;
  cancel();
}

void CNoticeDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  adjustSize();
  const QRect area = parentWidget() != nullptr ? parentWidget()->geometry()
                                               : QGuiApplication::primaryScreen()->availableGeometry();
  move(area.center() - rect().center());
}

}  // namespace velmora
