#include "shell/alerts_window.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace velmora {

namespace {

enum Column { kTimeColumn, kSecurityColumn, kEventColumn, kPriceColumn, kColumnCount };
// Room around a cell's text (the style's margins and the focus frame).
constexpr int kCellPadding = 16;

// One alert is raised once per security, event and bar date; the time tells
// apart a price rule's crossings on different days of one bar.
std::string alertKey(const Alert& alert) {
  std::string key = alert.symbol;
  for (const std::string* part : {&alert.event, &alert.barDate, &alert.time}) {
    key += '\x1f';
    key += *part;
  }
  return key;
}

}  // namespace

AlertsWindow::AlertsWindow(QWidget* parent) : QWidget(parent, Qt::Window), list_(new QTreeWidget(this)) {
  setWindowTitle(QStringLiteral("Alerts"));
  list_->setColumnCount(kColumnCount);
  list_->setHeaderLabels(
      {QStringLiteral("Time"), QStringLiteral("Security"), QStringLiteral("Event"), QStringLiteral("Price")});
  list_->headerItem()->setTextAlignment(kPriceColumn, Qt::AlignRight | Qt::AlignVCenter);
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setAllColumnsShowFocus(true);
  list_->header()->setStretchLastSection(false);
  list_->header()->setSectionResizeMode(kEventColumn, QHeaderView::Stretch);
  for (int column = 0; column < kColumnCount; ++column) list_->resizeColumnToContents(column);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(list_);
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { rowActivated(item); });
  resize(560, 320);
}

void AlertsWindow::addAlert(const Alert& alert) {
  if (!listed_.insert(alertKey(alert)).second) return;
  alerts_.push_back(alert);
  auto* item = new QTreeWidgetItem;
  item->setText(kTimeColumn, QString::fromStdString(alert.time));
  item->setText(kSecurityColumn, QString::fromStdString(alert.symbol));
  item->setText(kEventColumn, QString::fromStdString(alert.event));
  item->setText(kPriceColumn, QString::number(alert.price, 'f', 2));
  item->setTextAlignment(kPriceColumn, Qt::AlignRight | Qt::AlignVCenter);
  item->setData(kTimeColumn, Qt::UserRole, static_cast<int>(alerts_.size() - 1));
  // Times are "YYYY-MM-DD HH:MM:SS", so their text order is their time
  // order; an alert goes above every one not newer than itself.
  int row = 0;
  const int rows = list_->topLevelItemCount();
  while (row < rows && list_->topLevelItem(row)->text(kTimeColumn).toStdString() > alert.time) ++row;
  list_->insertTopLevelItem(row, item);
  // Only the new row can need more room: measuring every row for each
  // alert would make a long session's window slow to grow.
  const QFontMetrics metrics = list_->fontMetrics();
  for (int column = 0; column < kColumnCount; ++column) {
    if (column == kEventColumn) continue;
    const int needed = metrics.horizontalAdvance(item->text(column)) + kCellPadding;
    if (needed > list_->columnWidth(column)) list_->setColumnWidth(column, needed);
  }
}

void AlertsWindow::addAlerts(const std::vector<Alert>& alerts) {
  // Oldest first, so that alerts of the same second keep their order.
  for (auto it = alerts.rbegin(); it != alerts.rend(); ++it) addAlert(*it);
}

int AlertsWindow::count() const { return list_->topLevelItemCount(); }

const Alert& AlertsWindow::alertAt(int row) const {
  const int index = list_->topLevelItem(row)->data(kTimeColumn, Qt::UserRole).toInt();
  return alerts_[static_cast<std::size_t>(index)];
}

void AlertsWindow::keyPressEvent(QKeyEvent* event) {
  // The list leaves Escape to its window; closing only hides the window,
  // which keeps its alerts for the next View > Alerts.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void AlertsWindow::rowActivated(QTreeWidgetItem* item) {
  if (item == nullptr || !openChart_) return;
  openChart_(alerts_[static_cast<std::size_t>(item->data(kTimeColumn, Qt::UserRole).toInt())]);
}

}  // namespace velmora
