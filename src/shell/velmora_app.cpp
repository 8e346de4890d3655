#include "shell/velmora_app.h"

#include <QApplication>
#include <QIcon>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "app/lifecycle.h"
#include "app/program_runner.h"
#include "base/app_identity.h"
#include "base/atomic_file.h"
#include "base/c_conventions.h"
#include "base/log.h"
#include "chart/chart_setting_sheet.h"
#include "monitor/list_reload.h"
#include "monitor/loader_pool.h"
#include "monitor/report_writer.h"
#include "monitor/security_list.h"
#include "monitor/security_store.h"
#include "net/url_parts.h"
#include "shell/about_dialog.h"
#include "shell/child_frame.h"
#include "shell/credential_prompt.h"
#include "shell/list_commands.h"
#include "shell/list_watcher.h"
#include "shell/main_frame.h"
#include "shell/message_helpers.h"
#include "shell/notice_dialog.h"
#include "shell/open_chart.h"
#include "shell/open_in_editor.h"
#include "shell/provider_keyring.h"
#include "shell/velmora_app_snapshot.h"
#include "shell/velmora_view.h"
#include "shell/window_placement.h"
#include "shell/window_state.h"

namespace velmora {

namespace {

constexpr int kLoaderStartDelayMs = 100;
// The frame's sizing-frame thickness and menu-bar button height (as the
// frame places its children).
constexpr int kFrameThickness = 4;
constexpr int kMenuButtonHeight = 20;

// A hidden frame's client area has no real size yet, so the monitor window
// placed while it was hidden is placed again once the frame is shown.
void placeAgain(CMainFrame& frame, CChildFrame& child) {
  PumpMessages();
  const QSize client = frame.mdiArea()->viewport()->size();
  const WindowRect r =
      ChildWindowPlacement(client.width(), client.height(), kFrameThickness, kMenuButtonHeight);
  child.setGeometry(r.x, r.y, r.width, r.height);
}

void openInBackground(const std::string& url) {
  // A browser started by the opener may keep it waiting until the browser
  // closes; start-up does not wait for it (its result is ignored anyway).
  std::thread([url] { (void)OpenWithDesktop(url); }).detach();
}

}  // namespace

std::string WebChartPageUrl(const SystemConfig& config, const char* symbol) {
  UrlParts parts;
  if (!SplitUrl(config.YahooRealTimeQuoteSpreadSheetURL.c_str(), parts) &&
      !SplitUrl(DefaultQuoteUrl("/").c_str(), parts))
    return {};
  parts.object = std::string("/stock-chart.php?symbol=") + symbol;
  return JoinUrl(parts);
}

CVelmoraApp::CVelmoraApp(AppEnvironment environment) : environment_(std::move(environment)) {
  if (!environment_.openWebPage) environment_.openWebPage = openInBackground;
}

CVelmoraApp::~CVelmoraApp() { ExitInstance(); }

void CVelmoraApp::openWebChartPage() {
  // The page is opened before the configuration is read, yet it belongs to
  // the configured quote host: peek at the file without touching the
  // process-wide settings.
  SystemConfig peek;
  (void)ReadConfig(peek);  // no file: the default host
  // OpenStartPage=No: no page, and no pause after it.
  if (peek.OpenStartPage == 0) return;
  const std::string url = WebChartPageUrl(peek, "NASDAQ");
  if (!url.empty()) environment_.openWebPage(url);
  std::this_thread::sleep_for(std::chrono::milliseconds(environment_.webPagePauseMs));
}

bool CVelmoraApp::InitInstance() {
  // The toolkit has just taken the user's locale; our files must not.
  UseClassicNumberAndTimeConventions();
  // The maker's name keys the framework's per-user settings.
  QCoreApplication::setOrganizationName(QStringLiteral("Trevanta"));
  QCoreApplication::setApplicationName(QString::fromLatin1(kAppTitle));
  // Every window without an icon of its own shows the program's (the
  // packaging's velmora.svg, built into the program).
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.svg")));
  StartProcess();
  openWebChartPage();
  // No file is no error: the defaults stand.
  (void)ReadConfig(systemConfig());
  // The providers' keys are in hand before any loader thread asks for them.
  LoadProviderKeysAtStart(systemConfig());
  // The pages read the indicator switches of the configuration just read,
  // and keep the user's choices from one sheet to the next.
  CreateChartSettingPages();

  char text[128];
  std::snprintf(text, sizeof text, "Initializing %s ......", kAppTitle);
  auto notice = std::make_unique<CNoticeDialog>(QString::fromLatin1(text));
  notice->show();
  PumpMessages();

  LoadSecurityList();

  frame_ = std::make_unique<CMainFrame>();
  frame_->placeBySettings(systemConfig().ScreenWidth, systemConfig().ScreenHeight);
  // The windows as the last run left them win over the settings' place.
  WindowState remembered;
  const bool restoring = ReadWindowState(QString::fromLatin1(kWindowStateFileName), remembered);
  if (restoring) ApplyWindowPlacement(*frame_, remembered);
  prompt_ = std::make_unique<CredentialPrompt>(frame_.get());
  wireCommands();

  auto* view = new CVelmoraView(viewContext());
  CChildFrame* child = frame_->openChild(view);
  if (child == nullptr) return false;
  monitor_ = view;
  wireListener();
  // The list as just loaded; a change on disk from now on is read again.
  listWatcher_ = new ListWatcher(QString::fromLatin1(kSecurityListFileName), 300, this);
  {
    std::string text;
    if (ReadWholeFile(kSecurityListFileName, text))
      listWatcher_->setLoadedContent(QByteArray::fromStdString(text));
  }
  connect(listWatcher_, &ListWatcher::changed, this, &CVelmoraApp::reloadList);

  if (restoring)
    ShowRestoredFrame(*frame_, remembered);
  else
    frame_->show();
  placeAgain(*frame_, *child);
  if (restoring) {
    RestoreMonitorScroll(*view, remembered);
    ReopenCharts(remembered, [this](const ChartSettings& settings) {
      (void)OpenChartWindow(*frame_, viewContext(), -1, settings);
    });
  }
  frame_->repaint();
  if (systemConfig().StartRealTimeQuoteLoader != 0) view->armLoaderStart(kLoaderStartDelayMs);
  snapshots_ = SnapshotWriter::FromEnvironment(frame_.get(), view);
  notice.reset();
  started_ = true;
  return true;
}

void CVelmoraApp::wireListener() {
  listener_.setStatusSink([this](const QString& text) {
    const QString shown = loaderStatus_.threadText(text);
    if (frame_ && !shown.isEmpty()) frame_->setStatusText(shown);
  });
  listener_.setRowSink(monitor_, [this](int index) {
    if (monitor_ != nullptr) monitor_->onSecurityUpdated(index);
    const QString shown = loaderStatus_.requestSucceeded();
    if (frame_ && !shown.isEmpty()) frame_->setStatusText(shown);
  });
  listener_.setThreadStartFailureSink([this](int) { ReportThreadStartFailure(monitor_); });
  listener_.setCredentialAsker([this](const CredentialRequest& request, Credentials& out) {
    return prompt_ != nullptr && prompt_->ask(request, out);
  });
}

CVelmoraView* CVelmoraApp::monitorView() const { return monitor_; }

LoaderStatus::PassSummary CVelmoraApp::passSummary() const {
  LoaderStatus::PassSummary summary;
  const LoaderPool& pool = loaderPool();
  const SecurityStore& store = securityStore();
  summary.ended = pool.LastReportTime();
  summary.total = store.count();
  // Securities whose history could not be had, and those whose last
  // real-time pass did not refresh them.
  summary.failed = pool.HistoryFailures();
  for (int i = 0; i < store.count(); ++i)
    if (store.entry(i).historyLoaded() && store.entry(i).freshness().missedPasses > 0) ++summary.failed;
  summary.failed = std::min(summary.failed, summary.total);
  return summary;
}

void CVelmoraApp::reloadList() {
  if (!frame_ || loadersStopped_ || listWatcher_ == nullptr) return;
  // The file is read once: what is loaded is what the watcher compares with.
  std::string text;
  if (!ReadWholeFile(kSecurityListFileName, text)) {
    frame_->setStatusText(QStringLiteral("Can not read %1; the list stays as it was.")
                              .arg(QString::fromLatin1(kSecurityListFileName)));
    return;
  }
  const QByteArray content = QByteArray::fromStdString(text);
  // A content already loaded (a question answered No, a touch) changes nothing.
  if (content == listWatcher_->loadedContent()) return;
  const ListReload reload = ReloadSecurityListText(securityStore(), loaderPool(), systemConfig(), text);
  listWatcher_->setLoadedContent(content);
  for (QMdiSubWindow* w : frame_->mdiArea()->subWindowList())
    if (auto* view = qobject_cast<CVelmoraView*>(w->widget()))
      view->securityListChanged(reload.newIndexOfOld);
  frame_->setStatusText(QString::fromStdString(ListReloadText(reload)));
}

int CVelmoraApp::securityToRemove() const {
  if (frame_)
    if (auto* view = qobject_cast<CVelmoraView*>(frame_->activeView()))
      if (view->viewMode == CVelmoraView::kChartMode && view->selectedRow >= 0) return view->selectedRow;
  return monitor_ != nullptr ? monitor_->selectedSecurity() : -1;
}

ViewContext CVelmoraApp::viewContext() {
  ViewContext context;
  context.listener = &listener_;
  context.commands = &frame_->commands();
  context.openChart = [this](int index, const std::string& symbol) { openChart(index, symbol); };
  context.openChartSettings = [this](int index, const std::string& symbol) {
    openChartSettings(index, symbol);
  };
  context.presetChartSymbol = [](const std::string& symbol) {
    CreateChartSettingPages().symbolPage().SetSymbol(symbol);
  };
  if (prompt_) context.credentials = prompt_->asSessionPrompt();
  return context;
}

CVelmoraView* CVelmoraApp::openChart(int index, const std::string& symbol) {
  if (!frame_) return nullptr;
  return OpenChart(*frame_, viewContext(), CreateChartSettingPages(), index, symbol);
}

CVelmoraView* CVelmoraApp::openChartSettings(int index, const std::string& symbol) {
  if (!frame_) return nullptr;
  return OpenChartSettings(*frame_, viewContext(), CreateChartSettingPages(), index, symbol, frame_.get());
}

CVelmoraView* CVelmoraApp::activeView() const {
  if (frame_) {
    if (auto* view = qobject_cast<CVelmoraView*>(frame_->activeView())) return view;
  }
  return monitor_;
}

void CVelmoraApp::wireCommands() {
  ShellCommands& c = frame_->commands();
  c.chart = [this] { openChartSettings(-1, std::string()); };
  auto inView = [this](void (CVelmoraView::*command)()) {
    return [this, command] {
      if (CVelmoraView* view = activeView()) (view->*command)();
    };
  };
  auto report = [this](std::string file) {
    return [this, file] {
      if (CVelmoraView* view = activeView())
        view->openReport(file);
      else
        OpenInEditor(frame_.get(), file);
    };
  };
  c.searchSymbol = inView(&CVelmoraView::searchSymbol);
  c.statistics = inView(&CVelmoraView::statistics);
  c.systemParameter = inView(&CVelmoraView::systemParameter);
  c.stockList = report(kSecurityListFileName);
  c.addSecurity = [this] {
    if (AskAndAddSecurity(frame_.get(), securityStore(), kSecurityListFileName,
                          systemConfig().RealTimeQuoteServer))
      reloadList();
  };
  c.removeSecurity = [this] {
    (void)AskAndRemoveSecurity(frame_.get(), securityStore(), securityToRemove(), kSecurityListFileName,
                               systemConfig().RealTimeQuoteServer);
    // Also when the file was found changed: the store follows it now.
    reloadList();
  };
  c.statusReport = report(kStatusReportFile);
  c.trendUpList = report(kTrendUpReportFile);
  c.trendDownList = report(kTrendDownReportFile);
  c.buyList = report(kBuyReportFile);
  c.sellList = report(kSellReportFile);
  c.logInformation = report(LogFileName());
  c.about = [this] {
    CAboutDialog about(frame_.get());
    about.exec();
  };
  c.activeThreadCount = [] { return loaderPool().RunningThreadCount(); };
  c.stopLoaders = [this] {
    // The user confirmed the exit and every window is still open.
    saveWindowState();
    stopLoaders();
  };
}

void CVelmoraApp::saveWindowState() {
  // What the windows show is remembered for the next start. A start-up that
  // has not yet put back the last run's windows leaves that run's file.
  if (frame_ && started_)
    (void)WriteWindowState(QString::fromLatin1(kWindowStateFileName), CaptureWindowState(*frame_, monitor_));
}

void CVelmoraApp::stopLoaders() {
  if (!loadersStopped_) {
    loadersStopped_ = true;
    // Loader threads must not wait on this thread while it waits for them:
    // their notices are dropped from now on and an open prompt is answered.
    listener_.beginShutdown();
    if (prompt_) prompt_->cancelAll();
    CNoticeDialog wait(QStringLiteral("Please wait until loading quote threads finish ......"), frame_.get());
    wait.show();
    PumpMessages();
  }
  // Every time: stopping is idempotent, and nothing may outlive the windows.
  loaderPool().StopLoaderThreads();
}

void CVelmoraApp::requestShutdown() {
  shutdownRequested_ = true;
  // As a confirmed Exit: the windows are remembered before anything closes.
  saveWindowState();
  if (frame_)
    frame_->setStatusText(
        QStringLiteral("Current active thread number: %1").arg(loaderPool().RunningThreadCount()));
  stopLoaders();
  // Queued, so a signal that arrives during start-up still ends the loop
  // that runs after it; exit() rather than quit(), which would ask every
  // window to close and so put the exit question to nobody.
  QMetaObject::invokeMethod(
      qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}

void CVelmoraApp::ExitInstance() {
  if (exited_) return;
  exited_ = true;
  snapshots_.reset();
  stopLoaders();
  frame_.reset();
  prompt_.reset();
  // The pages are widgets: they go while the application object still exists.
  DestroyChartSettingPages();
  FinishProcess();
}

}  // namespace velmora
