#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;

namespace velmora {

// A captionless, centred one-line notice shown while the program is busy.
// Created modeless by its owner, shown, and destroyed by it.
class CNoticeDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CNoticeDialog(const QString& text, QWidget* owner = nullptr);
  QString text() const;

  // A "Cancel" button beside the text (and Escape): `onCancel` runs once
  // when either is used; the owner still destroys the notice.
  void addCancelButton(std::function<void()> onCancel);
  QPushButton* cancelButton() const { return cancel_; }

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* line_;
  QPushButton* cancel_ = nullptr;
  std::function<void()> onCancel_;
};

}  // namespace velmora
