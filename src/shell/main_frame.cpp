#include "shell/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "alerts/alert_center.h"
#include "base/app_identity.h"
#include "base/system_config.h"
#include "monitor/loader_pool.h"
#include "monitor/security_store.h"
#include "shell/alert_notifier.h"
#include "shell/alerts_window.h"
#include "shell/child_frame.h"
#include "shell/key_table.h"
#include "shell/keyboard_shortcuts_dialog.h"
#include "shell/velmora_view.h"
#include "shell/window_arrangement.h"
#include "shell/window_placement.h"

namespace velmora {

namespace {
// Sizing-frame thickness and menu-bar button height used for placement.
constexpr int kFrameThickness = 4;
constexpr int kMenuButtonHeight = 20;

// The client area holds each open view's window at its least size, so that
// a maximised chart or monitor is drawable too.
void fitAreaToViews(QMdiArea& area) {
  QSize least(0, 0);
  for (QMdiSubWindow* w : area.subWindowList())
    if (qobject_cast<const CVelmoraView*>(w->widget()) != nullptr)
      least = least.expandedTo(w->minimumSizeHint());
  area.setMinimumSize(least);
}

// How often a status text held back while a menu is open looks for the menu
// to have closed.
constexpr int kHeldStatusPollMs = 50;

bool menuOpen() { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; }

// Shows the monitor's own key for a menu command beside it. The key is the
// action's shortcut only while its menu is open, so it never takes the key
// from the monitor, nor a letter from the menu bar's keyboard navigation.
void showMonitorKey(QMenu* menu, QAction* action, const QKeySequence& key) {
  action->setShortcutContext(Qt::WidgetShortcut);
  QObject::connect(menu, &QMenu::aboutToShow, action, [action, key] { action->setShortcut(key); });
  QObject::connect(menu, &QMenu::aboutToHide, action, [action] { action->setShortcut(QKeySequence()); });
}
}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), mdi_(new QMdiArea(this)) {
  setWindowTitle(QString::fromLatin1(kAppTitle));
  setCentralWidget(mdi_);
  // Next and Previous go round every window in the order they were opened.
  mdi_->setActivationOrder(QMdiArea::CreationOrder);

  // The tool bar is built and docked as the frame expects, then hidden.
  toolBar_ = addToolBar(QStringLiteral("Standard"));
  for (const char* name : {"New", "Open", "Save", "Cut", "Copy", "Paste", "Print", "About"})
    toolBar_->addAction(QString::fromLatin1(name));
  toolBar_->hide();

  auto* bar = statusBar();
  for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
    auto* label = new QLabel(QString::fromLatin1(indicator), bar);
    label->setEnabled(false);
    bar->addPermanentWidget(label);
  }
  // A loader text that comes while a menu is open waits until the menu has
  // closed, so the prompt of the item under the pointer stays readable.
  heldStatusTimer_ = new QTimer(this);
  heldStatusTimer_->setInterval(kHeldStatusPollMs);
  connect(heldStatusTimer_, &QTimer::timeout, this, [this] {
    if (menuOpen()) return;
    heldStatusTimer_->stop();
    statusBar()->showMessage(heldStatus_);
  });
  setStatusText(QStringLiteral("Ready"));

  // The Alerts window lists every alert delivered from now on, shown or not.
  alertNotifier_ = new AlertNotifier(this);
  alertsWindow_ = new AlertsWindow(this);
  connect(alertNotifier_, &AlertNotifier::alertRaised, alertsWindow_, &AlertsWindow::addAlert);
  alertsWindow_->setOpenChart([this](const Alert& alert) { openAlertChart(alert); });
  // The list was loaded before the window: the center reads its price
  // rules now, before any loader thread starts, and hears of every security
  // the loader brings from now on.
  ownAlertCenter_ = MakeAlertCenter(AlertSettingsFrom(systemConfig()));
  ownAlertCenter_->ListLoaded(securityStore());
  loaderPool().SetSecurityEvents(ownAlertCenter_.get());
  attachAlertCenter(ownAlertCenter_.get());

  buildMenus();
  connect(mdi_, &QMdiArea::subWindowActivated, this,
          [this](QMdiSubWindow* w) { showMenuSet(w != nullptr || !mdi_->subWindowList().isEmpty()); });
  resize(1024, 700);
}

CMainFrame::~CMainFrame() {
  if (ownAlertCenter_ == nullptr) return;
  // The loader threads have stopped; what is still queued goes out to the
  // log, the files and the commands (the desktop's notices die with us).
  if (loaderPool().securityEvents() == ownAlertCenter_.get()) loaderPool().SetSecurityEvents(nullptr);
  ownAlertCenter_.reset();
}

QAction* CMainFrame::command(const char* text, const char* prompt,
                             std::function<void()> ShellCommands::*handler) {
  auto* action = new QAction(QString::fromLatin1(text), this);
  const QString full = QString::fromLatin1(prompt);
  const int split = full.indexOf('\n');
  action->setStatusTip(split < 0 ? full : full.left(split));
  if (split >= 0) action->setToolTip(full.mid(split + 1));
  connect(action, &QAction::triggered, this, [this, handler] {
    if (const auto& f = commands_.*handler) f();
  });
  return action;
}

void CMainFrame::buildMenus() {
  auto* exitAction = new QAction(QStringLiteral("E&xit"), this);
  exitAction->setStatusTip(QStringLiteral("Quit the application; prompts to save documents"));
  exitAction->setToolTip(QStringLiteral("Exit"));
  connect(exitAction, &QAction::triggered, this, &QWidget::close);
  auto* statusBarAction = new QAction(QStringLiteral("&Status Bar"), this);
  statusBarAction->setCheckable(true);
  statusBarAction->setChecked(true);
  statusBarAction->setStatusTip(QStringLiteral("Show or hide the status bar"));
  statusBarAction->setToolTip(QStringLiteral("Toggle StatusBar"));
  connect(statusBarAction, &QAction::toggled, statusBar(), &QWidget::setVisible);
  auto* alertsAction = new QAction(QStringLiteral("&Alerts"), this);
  alertsAction->setStatusTip(QStringLiteral("Show the alerts raised since the program started"));
  alertsAction->setToolTip(QStringLiteral("Alerts"));
  connect(alertsAction, &QAction::triggered, this, &CMainFrame::showAlerts);
  auto keysAction = [this] {
    auto* action = new QAction(QStringLiteral("&Keyboard Shortcuts"), this);
    action->setStatusTip(QStringLiteral("List the keys of the monitor, the charts and the windows"));
    connect(action, &QAction::triggered, this, &CMainFrame::showKeyboardShortcuts);
    return action;
  };

  const char* chartPrompt = "Draw chart and analyse stock.";
  const char* searchPrompt = "Search a symbol";
  const char* statisticsPrompt = "Get statistics information.";
  const char* parameterPrompt = "Config system parameter.";
  const char* aboutPrompt = "Display program information, version number and copyright\nAbout";
  using C = ShellCommands;

  auto menu = [this](const char* title, std::initializer_list<QAction*> items) {
    auto* m = new QMenu(QString::fromLatin1(title), this);
    for (QAction* a : items) {
      if (a == nullptr)
        m->addSeparator();
      else
        m->addAction(a);
    }
    return m->menuAction();
  };
  // The commands the monitor also has a key for.
  std::vector<std::pair<QAction*, KeyCommand>> monitorKeys;
  auto withKey = [&monitorKeys](QAction* action, KeyCommand key) {
    monitorKeys.emplace_back(action, key);
    return action;
  };
  auto searchSymbol = [&] {
    return withKey(command("&Search Symbol", searchPrompt, &C::searchSymbol), KeyCommand::SearchSymbol);
  };
  auto statistics = [&] {
    return withKey(command("Statistics", statisticsPrompt, &C::statistics), KeyCommand::Statistics);
  };

  // While no child window is open.
  frameMenus_ = {
      menu("&File", {exitAction}),
      command("&Chart", chartPrompt, &C::chart),
      menu("&Config", {searchSymbol(), command("System &Parameter", parameterPrompt, &C::systemParameter)}),
      menu("&View", {statusBarAction, alertsAction}),
      menu("&Tools", {statistics()}),
      menu("&Help", {command("&About Velmora...", aboutPrompt, &C::about), keysAction()}),
  };
  // While a child window is active.
  childMenuActions_ = {
      menu("&File", {command("Status Report", "Your stocks list status", &C::statusReport),
                     command("Trend Up List", "Stocks with trend changed to up", &C::trendUpList),
                     command("Trend Down List", "Stocks with trend changed to down", &C::trendDownList),
                     command("&Buy List", "Stocks with buy signal", &C::buyList),
                     command("Sell List", "Stocks with sell signal", &C::sellList),
                     command("Log Infomation", "Log information", &C::logInformation), nullptr, exitAction}),
      menu("&Edit",
           {command("&Add Security...", "Add a security to the stock list being monitored.", &C::addSecurity),
            command("&Remove Security", "Remove the selected security from the stock list.",
                    &C::removeSecurity)}),
      menu("&View", {statusBarAction, alertsAction}),
      menu("&Config", {command("System &Parameter", parameterPrompt, &C::systemParameter),
                       command("Stock List", "Edit stock list being monitored.", &C::stockList)}),
      command("&Chart", chartPrompt, &C::chart),
      menu("&Tools", {searchSymbol(), statistics()}),
      buildWindowMenu(),
      menu("&Help", {command("&About Trevanta...", aboutPrompt, &C::about), keysAction()}),
  };
  for (const auto& [action, key] : monitorKeys) {
    for (QObject* owner : action->associatedObjects())
      if (auto* m = qobject_cast<QMenu*>(owner)) showMonitorKey(m, action, KeysOf(key).value(0));
  }
  childMenus_ = true;  // forces the first switch
  showMenuSet(false);
}

QAction* CMainFrame::buildWindowMenu() {
  auto* menu = new QMenu(QStringLiteral("&Window"), this);
  auto add = [this, menu](const char* text, const char* prompt, const QList<QKeySequence>& keys, auto slot,
                          auto* receiver) {
    QAction* action = menu->addAction(QString::fromLatin1(text));
    action->setStatusTip(QString::fromLatin1(prompt));
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, receiver, slot);
    // The keys work whichever menu set the bar shows.
    addAction(action);
    return action;
  };
  add("&Cascade", "Arrange windows so they overlap", {}, &CMainFrame::cascadeWindows, this);
  add("&Tile", "Arrange windows as non-overlapping tiles", {}, &CMainFrame::tileWindows, this);
  // A monitor window ignores the request and stays.
  add("C&lose", "Close the active chart window", KeysOf(KeyCommand::CloseWindow),
      &QMdiArea::closeActiveSubWindow, mdi_);
  menu->addSeparator();
  add("Ne&xt", "Activate the next window", KeysOf(KeyCommand::NextWindow), &QMdiArea::activateNextSubWindow,
      mdi_);
  add("Pre&vious", "Activate the previous window", KeysOf(KeyCommand::PreviousWindow),
      &QMdiArea::activatePreviousSubWindow, mdi_);
  connect(menu, &QMenu::aboutToShow, this, [this, menu] { listWindows(menu); });
  return menu->menuAction();
}

void CMainFrame::listWindows(QMenu* menu) {
  for (QAction* a : windowListActions_) {
    menu->removeAction(a);
    a->deleteLater();
  }
  windowListActions_.clear();
  const QList<QMdiSubWindow*> windows = mdi_->subWindowList(QMdiArea::CreationOrder);
  if (windows.isEmpty()) return;
  windowListActions_ << menu->addSeparator();
  QMdiSubWindow* active = mdi_->activeSubWindow();
  for (int i = 0; i < windows.size() && i < 9; ++i) {
    QMdiSubWindow* w = windows[i];
    // An ampersand of a title (AT&T) is shown, not taken as the item's key.
    QString title = w->windowTitle();
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* action = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(title));
    action->setStatusTip(QStringLiteral("Activate this window"));
    action->setCheckable(true);
    action->setChecked(w == active);
    QPointer<QMdiSubWindow> target = w;
    connect(action, &QAction::triggered, this, [this, target] {
      if (target != nullptr) mdi_->setActiveSubWindow(target);
    });
    windowListActions_ << action;
  }
}

void CMainFrame::showMenuSet(bool child) {
  if (child == childMenus_) return;
  childMenus_ = child;
  QMenuBar* bar = menuBar();
  bar->clear();
  for (QAction* a : child ? childMenuActions_ : frameMenus_) bar->addAction(a);
}

CChildFrame* CMainFrame::openChild(QWidget* view) {
  auto* child = new CChildFrame(view);
  mdi_->addSubWindow(child);
  const QSize client = mdi_->viewport()->size();
  const WindowRect r =
      ChildWindowPlacement(client.width(), client.height(), kFrameThickness, kMenuButtonHeight);
  // Never smaller than its view can be drawn in.
  const QSize least = child->minimumSizeHint();
  child->setGeometry(r.x, r.y, std::max(r.width, least.width()), std::max(r.height, least.height()));
  fitAreaToViews(*mdi_);
  child->show();
  mdi_->setActiveSubWindow(child);
  showMenuSet(true);
  connect(child, &QObject::destroyed, this, [this] {
    // The last child's window is gone once this returns.
    QMetaObject::invokeMethod(
        this,
        [this] {
          showMenuSet(!mdi_->subWindowList().isEmpty());
          fitAreaToViews(*mdi_);
        },
        Qt::QueuedConnection);
  });
  return child;
}

void CMainFrame::attachAlertCenter(AlertCenter* center) {
  if (center == nullptr || center == alertCenter_) return;
  alertCenter_ = center;
  center->AddSink(alertNotifier_->sink());
}

void CMainFrame::showAlerts() {
  // The center also knows the alerts raised before this frame was its sink.
  if (alertCenter_ != nullptr) alertsWindow_->addAlerts(alertCenter_->Recent());
  alertsWindow_->show();
  alertsWindow_->raise();
  alertsWindow_->activateWindow();
}

namespace {

// The windows to arrange: every child window that is not minimised, in the
// order they were opened; a maximised one is brought back first.
QList<QMdiSubWindow*> arrangeable(QMdiArea& area, ArrangeArea& size) {
  QList<QMdiSubWindow*> windows;
  for (QMdiSubWindow* w : area.subWindowList(QMdiArea::CreationOrder)) {
    if (w->isMinimized() || !w->isVisible()) continue;
    if (w->isMaximized()) w->showNormal();
    size.minWidth = std::max(size.minWidth, w->minimumSizeHint().width());
    size.minHeight = std::max(size.minHeight, w->minimumSizeHint().height());
    windows << w;
  }
  const QSize client = area.viewport()->size();
  size.width = client.width();
  size.height = client.height();
  return windows;
}

void place(const QList<QMdiSubWindow*>& windows, const std::vector<WindowRect>& rects) {
  for (qsizetype i = 0; i < windows.size(); ++i) {
    const WindowRect& r = rects[static_cast<std::size_t>(i)];
    windows[i]->setGeometry(r.x, r.y, r.width, r.height);
  }
}

}  // namespace

void CMainFrame::tileWindows() {
  ArrangeArea size;
  const QList<QMdiSubWindow*> windows = arrangeable(*mdi_, size);
  // Rows that do not fit at their least height scroll within the area.
  mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  std::vector<WindowRect> rects = TileRects(static_cast<int>(windows.size()), size);
  if (!rects.empty() && rects.back().y + rects.back().height > size.height) {
    // The rows scroll: the vertical bar takes its width from the columns.
    size.width -= mdi_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    rects = TileRects(static_cast<int>(windows.size()), size);
  }
  place(windows, rects);
}

void CMainFrame::cascadeWindows() {
  ArrangeArea size;
  const QList<QMdiSubWindow*> windows = arrangeable(*mdi_, size);
  const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + kFrameThickness;
  place(windows, CascadeRects(static_cast<int>(windows.size()), size, step));
  // The last one opened is on top, its title bar and the others' in view.
  for (QMdiSubWindow* w : windows) w->raise();
  if (!windows.isEmpty()) mdi_->setActiveSubWindow(windows.last());
}

void CMainFrame::showKeyboardShortcuts() {
  KeyboardShortcutsDialog dialog(this);
  dialog.exec();
}

void CMainFrame::openAlertChart(const Alert& alert) {
  for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder)) {
    auto* monitor = qobject_cast<CVelmoraView*>(w->widget());
    if (monitor == nullptr || monitor->viewMode != CVelmoraView::kMonitorMode) continue;
    const ViewContext& context = monitor->context();
    if (!context.openChart) return;
    // The alert names the security as the monitor shows it (DJIA); the chart
    // asks the quote service for the symbol the loader asks for (^DJI).
    const SecurityStore& store = context.store != nullptr ? *context.store : securityStore();
    for (int i = 0; i < store.count(); ++i) {
      if (std::strcmp(store.entry(i).displaySymbol(), alert.symbol.c_str()) == 0) {
        context.openChart(i, store.entry(i).querySymbol());
        return;
      }
    }
    context.openChart(-1, alert.symbol);
    return;
  }
}

QWidget* CMainFrame::activeView() const {
  QMdiSubWindow* w = mdi_->activeSubWindow();
  if (w == nullptr && !mdi_->subWindowList().isEmpty()) w = mdi_->subWindowList().first();
  return w != nullptr ? w->widget() : nullptr;
}

void CMainFrame::placeBySettings(int screenWidth, int screenHeight) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const WindowRect r = MainWindowPlacement(screenWidth, screenHeight, area.width(), area.height(),
                                           kFrameThickness, kFrameThickness);
  setGeometry(area.x() + r.x, area.y() + r.y, r.width, r.height);
}

void CMainFrame::setStatusText(const QString& text) {
  if (menuOpen()) {
    heldStatus_ = text;
    if (!heldStatusTimer_->isActive()) heldStatusTimer_->start();
    return;
  }
  heldStatusTimer_->stop();
  statusBar()->showMessage(text);
}

QString CMainFrame::statusText() const { return statusBar()->currentMessage(); }

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (exitConfirmed_) {
    event->accept();
    return;
  }
  const QString question = QStringLiteral("Are you sure to exit %1?").arg(QString::fromLatin1(kAppTitle));
  const auto answer = QMessageBox::question(this, QStringLiteral("Warnning"), question,
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  if (answer != QMessageBox::Yes) {
    event->ignore();
    return;
  }
  exitConfirmed_ = true;
  const int running = commands_.activeThreadCount ? commands_.activeThreadCount() : 0;
  setStatusText(QStringLiteral("Current active thread number: %1").arg(running));
  if (commands_.stopLoaders) commands_.stopLoaders();
  for (QMdiSubWindow* w : mdi_->subWindowList()) {
    if (auto* child = qobject_cast<CChildFrame*>(w)) child->allowClose();
  }
  mdi_->closeAllSubWindows();
  alertsWindow_->close();
  event->accept();
}

}  // namespace velmora
