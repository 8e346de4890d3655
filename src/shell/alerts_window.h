#pragma once

#include <QWidget>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "alerts/alert.h"

class QTreeWidget;
class QTreeWidgetItem;
class QKeyEvent;

namespace velmora {

// The "Alerts" window: every alert since the program started (time,
// security, event, price), newest first, growing as alerts come. A double
// click on a row opens that security's chart. Escape closes it, as it does
// the program's dialogs.
class AlertsWindow : public QWidget {
  Q_OBJECT
 public:
  explicit AlertsWindow(QWidget* parent = nullptr);

  // Lists an alert in its place by time (the newest on top); one already
  // listed is not listed twice.
  void addAlert(const Alert& alert);
  void addAlerts(const std::vector<Alert>& alerts);

  // What a double click on a row does with its alert.
  void setOpenChart(std::function<void(const Alert&)> openChart) { openChart_ = std::move(openChart); }

  int count() const;
  // The alert of row `row` (0 is the top row).
  const Alert& alertAt(int row) const;
  QTreeWidget* list() const { return list_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void rowActivated(QTreeWidgetItem* item);

  QTreeWidget* list_;
  // Every listed alert; an item keeps its alert's index here.
  std::vector<Alert> alerts_;
  std::set<std::string> listed_;
  std::function<void(const Alert&)> openChart_;
};

}  // namespace velmora
