#pragma once

#include <QMdiSubWindow>

namespace velmora {

// A plain child window around one view. A monitor window ignores close
// requests and stays until the program exits; a chart window closes.
class CChildFrame : public QMdiSubWindow {
  Q_OBJECT
 public:
  explicit CChildFrame(QWidget* view, QWidget* parent = nullptr);

  // Lets the frame close whatever its view (at program exit).
  void allowClose() { closingForExit_ = true; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool closingForExit_ = false;
};

}  // namespace velmora
