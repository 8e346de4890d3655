#pragma once

#include <QMainWindow>
#include <functional>

#include "app/ui/shell_commands.h"

class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

namespace velmora {

class CChildFrame;

// The main window: a multiple-document frame with two menu sets (one while
// no child window is open, one while one is), a hidden tool bar, a status
// bar with the message pane and the CAP/NUM/SCRL indicators, and the exit
// question that guards every way of closing it.
class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);

  // What the menu commands do; set by the application object.
  ShellCommands& commands() { return commands_; }

  // Runs after the user confirmed the exit and before the window closes
  // (stopping the loader threads). Kept for callers that need only this.
  void setBeforeClose(std::function<void()> hook) { commands_.stopLoaders = std::move(hook); }

  bool exitConfirmed() const { return exitConfirmed_; }

  // Opens `view` in a new child window placed at the client area's origin.
  CChildFrame* openChild(QWidget* view);
  QMdiArea* mdiArea() const { return mdi_; }
  QWidget* activeView() const;

  // Places the window by the ScreenWidth / ScreenHeight settings.
  void placeBySettings(int screenWidth, int screenHeight);

  // The message pane of the status bar.
  void setStatusText(const QString& text);
  QString statusText() const;

  // The menu bar shows the set for an active child window, or the other.
  bool showingChildMenus() const { return childMenus_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void showMenuSet(bool child);
  QAction* command(const char* text, const char* prompt, std::function<void()> ShellCommands::*handler);

  ShellCommands commands_;
  QMdiArea* mdi_;
  QToolBar* toolBar_;
  QList<QAction*> frameMenus_;
  QList<QAction*> childMenuActions_;
  bool childMenus_ = false;
  bool exitConfirmed_ = false;
};

}  // namespace velmora
