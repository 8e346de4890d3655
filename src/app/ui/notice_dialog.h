#pragma once

#include <QDialog>

class QLabel;

namespace velmora {

// A captionless, centred one-line notice shown while the program is busy.
// Created modeless by its owner, shown, and destroyed by it.
class CNoticeDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CNoticeDialog(const QString& text, QWidget* owner = nullptr);
  QString text() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* line_;
};

}  // namespace velmora
