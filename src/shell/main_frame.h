#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "shell/shell_commands.h"

class QLabel;
class QMdiArea;
class QMenu;
class QTimer;
class QToolBar;

namespace velmora {

class AlertCenter;
class AlertNotifier;
class AlertsWindow;
class CChildFrame;
struct Alert;

// The main window: a multiple-document frame with two menu sets (one while
// no child window is open, one while one is), a hidden tool bar, a status
// bar with the message pane and the CAP/NUM/SCRL indicators, and the exit
// question that guards every way of closing it.
class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  // A frame makes its alert center (from the settings read, for the list
  // loaded), hands it to the process's loader pool and ends it when it goes.
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

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

  // The message pane of the status bar. While a menu is open its prompts
  // keep the pane: the latest text shows once the menu has closed.
  void setStatusText(const QString& text);
  QString statusText() const;

  // The menu bar shows the set for an active child window, or the other.
  bool showingChildMenus() const { return childMenus_; }

  // Alerts: the frame's notifier is a sink of `center` (the process's alert
  // center is attached at creation, when there is one), and "View > Alerts"
  // shows the center's alerts and every one delivered since.
  void attachAlertCenter(AlertCenter* center);
  AlertNotifier* alertNotifier() const { return alertNotifier_; }
  AlertsWindow* alertsWindow() const { return alertsWindow_; }
  void showAlerts();

  // Window > Tile and Window > Cascade: the child windows arranged inside
  // the client area as it is now; the main window never grows for them.
  void tileWindows();
  void cascadeWindows();
  // Help > Keyboard shortcuts.
  void showKeyboardShortcuts();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenus();
  void showMenuSet(bool child);
  // The Window menu: arranging, closing and cycling the child windows, and
  // their numbered list (rebuilt each time the menu opens).
  QAction* buildWindowMenu();
  void listWindows(QMenu* menu);
  QAction* command(const char* text, const char* prompt, std::function<void()> ShellCommands::*handler);
  // A chart of the alert's security, opened as the monitor's Space key opens one.
  void openAlertChart(const Alert& alert);

  ShellCommands commands_;
  QMdiArea* mdi_;
  QToolBar* toolBar_;
  QTimer* heldStatusTimer_ = nullptr;
  QString heldStatus_;
  QList<QAction*> frameMenus_;
  QList<QAction*> childMenuActions_;
  QList<QAction*> windowListActions_;
  bool childMenus_ = false;
  bool exitConfirmed_ = false;
  AlertNotifier* alertNotifier_;
  AlertsWindow* alertsWindow_;
  AlertCenter* alertCenter_ = nullptr;
  std::unique_ptr<AlertCenter> ownAlertCenter_;
};

}  // namespace velmora
