#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "base/system_config.h"
#include "monitor_view/qt_loader_listener.h"
#include "shell/loader_status.h"

namespace velmora {

class CMainFrame;
class CVelmoraView;
struct ViewContext;
class CredentialPrompt;
class ListWatcher;
class SnapshotWriter;

// What start-up does outside the program; tests replace it.
struct AppEnvironment {
  // Opens the start-up web page; by default the desktop's opener, off the
  // window thread, its result ignored.
  std::function<void(const std::string& url)> openWebPage;
  int webPagePauseMs = 200;
};

// The application object: the start-up sequence, the wiring of the menu
// commands, the loader shutdown and the process exit.
class CVelmoraApp : public QObject {
  Q_OBJECT
 public:
  explicit CVelmoraApp(AppEnvironment environment = {});
  ~CVelmoraApp() override;

  // Start-up, in order: log, web chart page, configuration, notice, list and
  // first reports, main window, monitor window, timer 101. False when a
  // window could not be made; the process then ends.
  [[nodiscard]] bool InitInstance();
  // Process exit, once: loaders stopped if still running, windows gone,
  // "aaa*.tmp" deleted, the final log line.
  void ExitInstance();
  // A stop signal: no question asked; as a confirmed Exit the windows are
  // remembered in Velmora.state, the loader threads stop and the message
  // loop ends.
  void requestShutdown();
  // True once requestShutdown ran: a signal handled while start-up pumped
  // messages must still end the program, before its event loop starts.
  bool shutdownRequested() const { return shutdownRequested_; }

  CMainFrame* mainFrame() const { return frame_.get(); }
  CVelmoraView* monitorView() const;
  QtLoaderListener& listener() { return listener_; }

  // The chart commands: a chart of the chart-setting pages' choices (a given
  // symbol preset), or the "Chart Setting" sheet first. `index` is the
  // monitored security the chart is for, -1 for none. The new chart view, or
  // null (a cancelled sheet).
  CVelmoraView* openChart(int index, const std::string& symbol);
  CVelmoraView* openChartSettings(int index, const std::string& symbol);

  // The list file changed (the watcher saw it, or Add or Remove wrote it):
  // the store follows it, the loader threads start the new securities, every
  // view keeps its securities, and the status bar says what changed.
  void reloadList();

 private:
  void openWebChartPage();
  void wireCommands();
  void wireListener();
  // What every view (the monitor and each chart) works with.
  ViewContext viewContext();
  CVelmoraView* activeView() const;
  void stopLoaders();
  void saveWindowState();
  LoaderStatus::PassSummary passSummary() const;
  // The security Edit > Remove takes: the active chart's, else the
  // monitor's selected one.
  int securityToRemove() const;

  AppEnvironment environment_;
  std::unique_ptr<CMainFrame> frame_;
  QPointer<CVelmoraView> monitor_;
  QtLoaderListener listener_;
  std::unique_ptr<CredentialPrompt> prompt_;
  std::unique_ptr<SnapshotWriter> snapshots_;
  LoaderStatus loaderStatus_{[this] { return passSummary(); }};
  ListWatcher* listWatcher_ = nullptr;
  bool loadersStopped_ = false;
  bool shutdownRequested_ = false;  // a stop signal arrived (maybe during start-up)
  bool started_ = false;            // start-up has put every window in place
  bool exited_ = false;
};

// "http://host:port/stock-chart.php?symbol=<symbol>" at the host of the
// configured real-time quote service.
std::string WebChartPageUrl(const SystemConfig& config, const char* symbol);

}  // namespace velmora
