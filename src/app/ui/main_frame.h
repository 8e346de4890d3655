#pragma once

#include <QMainWindow>
#include <functional>

namespace velmora {

// The main window: title, status bar with "Ready", and the exit question
// that guards every way of closing it.
class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);

  // Runs after the user confirmed the exit and before the window closes
  // (stopping the loader threads).
  void setBeforeClose(std::function<void()> hook) { beforeClose_ = std::move(hook); }

  // True once the user answered Yes; the application then finishes.
  bool exitConfirmed() const { return exitConfirmed_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::function<void()> beforeClose_;
  bool exitConfirmed_ = false;
};

}  // namespace velmora
