#pragma once

#include <QDialog>
#include <array>

#include "monitor/loader_pool.h"

class QLineEdit;
class QPushButton;

namespace velmora {

// "Staticsitc": a snapshot of the loader pool taken when the dialog opens
// (it does not refresh): the security count, the threads in use and
// active, and per thread its status, last pass seconds and failures.
// "&Start" starts the assigned threads that are not running.
class CStatisticsDialog : public QDialog {
  Q_OBJECT
 public:
  // `listener` goes to threads that start from here for the first time;
  // threads started before keep the one they were given.
  CStatisticsDialog(LoaderPool& pool, int securityCount, LoaderListener* listener, QWidget* parent = nullptr);

  QString securityCountText() const;
  QString threadCountText() const;
  QString activeText() const;
  // Row i (0-based; the dialog labels it "Thread i+1:").
  QString statusText(int i) const;
  QString intervalText(int i) const;
  QString errorsText(int i) const;
  QPushButton* startButton() const { return start_; }

 public slots:
  void startThreads();

 private:
  void fill();

  LoaderPool& pool_;
  int securityCount_;
  LoaderListener* listener_;
  QLineEdit* securities_;
  QLineEdit* threads_;
  QLineEdit* active_;
  std::array<QLineEdit*, LoaderPool::kPoolSize> status_{};
  std::array<QLineEdit*, LoaderPool::kPoolSize> interval_{};
  std::array<QLineEdit*, LoaderPool::kPoolSize> errors_{};
  QPushButton* start_;
};

}  // namespace velmora
