#pragma once

// The notice a chart window shows while its data loads: the loading text
// and a "Cancel" button in a small raised box centred over the empty chart,
// a child of the chart's view, so it stays inside that window and goes
// with it. Escape cancels as the button does whenever the focus is in the
// chart window (the view or the button), however often the user has
// switched to other windows meanwhile.

#include <QFrame>
#include <functional>

class QLabel;
class QPushButton;

namespace velmora {

class ChartLoadingNotice : public QFrame {
  Q_OBJECT
 public:
  // Shown at once over `view`; `onCancel` runs once, on the first Cancel
  // or Escape. The owner destroys the notice.
  ChartLoadingNotice(const QString& text, QWidget* view, std::function<void()> onCancel);

  QString text() const;
  QPushButton* cancelButton() const { return cancel_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void centre();
  void cancel();

  QWidget* view_;
  QLabel* line_;
  QPushButton* cancel_;
  std::function<void()> onCancel_;
};

}  // namespace velmora
