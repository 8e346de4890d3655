#include "monitor_view/statistics_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "monitor/loader_statistics.h"

namespace velmora {

namespace {

QLineEdit* readOnlyBox(QWidget* parent, int minimumWidth) {
  auto* box = new QLineEdit(parent);
  box->setReadOnly(true);
  box->setMinimumWidth(minimumWidth);
  return box;
}

}  // namespace

CStatisticsDialog::CStatisticsDialog(LoaderPool& pool, int securityCount, LoaderListener* listener,
                                     QWidget* parent)
    : QDialog(parent), pool_(pool), securityCount_(securityCount), listener_(listener) {
  setWindowTitle(QStringLiteral("Staticsitc"));
  auto* layout = new QVBoxLayout(this);

  auto* totals = new QGridLayout;
  securities_ = readOnlyBox(this, 60);
  threads_ = readOnlyBox(this, 60);
  active_ = readOnlyBox(this, 60);
  totals->addWidget(new QLabel(QStringLiteral("Total Security Number:"), this), 0, 0);
  totals->addWidget(securities_, 0, 1);
  totals->addWidget(new QLabel(QStringLiteral("Total Thread Number:"), this), 1, 0);
  totals->addWidget(threads_, 1, 1);
  totals->addWidget(new QLabel(QStringLiteral("Active:"), this), 1, 2);
  totals->addWidget(active_, 1, 3);
  layout->addLayout(totals);

  auto* rows = new QGridLayout;
  rows->addWidget(new QLabel(QStringLiteral("Last Quote Update Time"), this), 0, 1);
  rows->addWidget(new QLabel(QStringLiteral("Interval"), this), 0, 2);
  rows->addWidget(new QLabel(QStringLiteral("Errors"), this), 0, 3);
  for (int i = 0; i < LoaderPool::kPoolSize; ++i) {
    const size_t k = static_cast<size_t>(i);
    rows->addWidget(new QLabel(QStringLiteral("Thread %1:").arg(i + 1), this), i + 1, 0);
    status_[k] = readOnlyBox(this, 190);
    interval_[k] = readOnlyBox(this, 50);
    errors_[k] = readOnlyBox(this, 50);
    rows->addWidget(status_[k], i + 1, 1);
    rows->addWidget(interval_[k], i + 1, 2);
    rows->addWidget(errors_[k], i + 1, 3);
  }
  layout->addLayout(rows);

  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  // The Start button is shown: with StartRealTimeQuoteLoader off it is the
  // only way to start the loader threads.
  start_ = new QPushButton(QStringLiteral("&Start"), this);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(start_);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(start_, &QPushButton::clicked, this, &CStatisticsDialog::startThreads);

  fill();
}

void CStatisticsDialog::fill() {
  const LoaderStatistics s = CollectLoaderStatistics(pool_, securityCount_);
  securities_->setText(QString::number(s.securityCount));
  threads_->setText(QString::number(s.threadCount));
  active_->setText(QString::number(s.activeCount));
  start_->setEnabled(s.startAllowed);
  for (size_t k = 0; k < s.threads.size(); ++k) {
    status_[k]->setText(QString::fromStdString(s.threads[k].status));
    interval_[k]->setText(QString::number(s.threads[k].lastPassSeconds));
    errors_[k]->setText(QString::number(s.threads[k].failCount));
  }
}

void CStatisticsDialog::startThreads() {
  // The values shown stay those of the opening, as the dialog never refreshes.
  pool_.StartLoaderThreads(listener_);
}

QString CStatisticsDialog::securityCountText() const { return securities_->text(); }
QString CStatisticsDialog::threadCountText() const { return threads_->text(); }
QString CStatisticsDialog::activeText() const { return active_->text(); }
QString CStatisticsDialog::statusText(int i) const { return status_[static_cast<size_t>(i)]->text(); }
QString CStatisticsDialog::intervalText(int i) const { return interval_[static_cast<size_t>(i)]->text(); }
QString CStatisticsDialog::errorsText(int i) const { return errors_[static_cast<size_t>(i)]->text(); }

}  // namespace velmora
