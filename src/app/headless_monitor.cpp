#include "app/headless_monitor.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "alerts/alert_center.h"
#include "app/lifecycle.h"
#include "base/app_identity.h"
#include "base/log.h"
#include "base/system_config.h"
#include "monitor/console_loader_listener.h"
#include "monitor/list_reload.h"
#include "monitor/loader_pool.h"
#include "monitor/provider_access.h"
#include "monitor/security_list.h"
#include "monitor/security_store.h"
#include "monitor/symbol_check.h"
#include "web/web_service.h"

namespace velmora {

namespace {

constexpr long kSignalPollNs = 100L * 1000 * 1000;

enum class WaitEnd { kSignal, kPasses, kLoadersCeased };

// Serves until a stop signal, or until the requested passes are written.
// With `passLines`, each completed report pass prints its line when it is
// noticed. Passes that end within one look (back-to-back passes on a fast
// service) share one line, the newest's, with their average time, so a
// terminal is not flooded.
WaitEnd serve(const HeadlessOptions& options, const sigset_t& stopSignals, bool loaderOn,
              ConsoleLoaderListener* passLines) {
  using Clock = std::chrono::steady_clock;
  const LoaderPool& pool = loaderPool();
  const timespec poll{0, kSignalPollNs};
  int passesSeen = pool.CompleteReportPasses();
  Clock::time_point passStart = Clock::now();
  for (;;) {
    if (sigtimedwait(&stopSignals, nullptr, &poll) > 0) return WaitEnd::kSignal;
    const int passes = pool.CompleteReportPasses();
    if (passes > passesSeen) {
      const Clock::time_point now = Clock::now();
      const double seconds = std::chrono::duration<double>(now - passStart).count() / (passes - passesSeen);
      if (passLines != nullptr && loaderOn)
        passLines->Announce(
            PassLine(passes, LoadedSecurityCount(securityStore()), pool.HistoryFailures(), seconds));
      passesSeen = passes;
      passStart = now;
    }
    if (options.passes <= 0) continue;
    // With nothing loading the start-up reports are all there will be.
    if (!loaderOn) return WaitEnd::kPasses;
    if (passes >= options.passes) return WaitEnd::kPasses;
    if (loaderOn && pool.RunningThreadCount() == 0) return WaitEnd::kLoadersCeased;
  }
}

// Stops the loader threads and the alerts, then the process's last steps.
void shutDown(ConsoleLoaderListener& listener, std::unique_ptr<AlertCenter>& alerts) {
  char text[128];
  std::snprintf(text, sizeof text, "Current active thread number: %d", loaderPool().RunningThreadCount());
  listener.Print(text);
  listener.Print("Please wait until loading quote threads finish ......");
  loaderPool().StopLoaderThreads();
  // What is queued still goes out (for a few seconds at most).
  loaderPool().SetSecurityEvents(nullptr);
  alerts.reset();
  FinishProcess();
}

}  // namespace

std::string PassLine(int pass, int loaded, int failed, double seconds) {
  char text[128];
  std::snprintf(text, sizeof text, "pass %d: %d loaded, %d failed, %.1f s", pass, loaded, failed,
                seconds < 0 ? 0.0 : seconds);
  return text;
}

int LoadedSecurityCount(const SecurityStore& store) {
  int loaded = 0;
  for (int i = 0; i < store.count(); ++i) loaded += store.entry(i).historyLoaded() ? 1 : 0;
  return loaded;
}

std::string NothingLoadedLine(const LoaderPool& pool) {
  char text[512];
  HistoryFailure first;
  if (pool.FirstHistoryFailure(first)) {
    std::snprintf(text, sizeof text,
                  "velmora-monitor: no security loaded (0 loaded, %d failed; first failure: %s: %s).\n",
                  pool.HistoryFailures(), PrintableSymbol(first.symbol.c_str()).c_str(),
                  first.reason.c_str());
  } else {
    std::snprintf(text, sizeof text, "velmora-monitor: no security loaded (0 loaded, %d failed).\n",
                  pool.HistoryFailures());
  }
  return text;
}

bool CheckFolderWritable(const std::string& folder, std::string& reason) {
  std::string probe = folder + "/" + kWriteCheckPrefix + "XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) {
    reason = std::strerror(errno);
    return false;
  }
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

int RunHeadlessMonitor(const HeadlessOptions& options, const sigset_t& stopSignals) {
  std::string reason;
  if (!CheckFolderWritable(".", reason)) {
    char cwd[4096];
    const char* where = ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : ".";
    std::fprintf(stderr, "velmora-monitor: can not write in the folder '%s' (%s); nothing was started.\n",
                 where, reason.c_str());
    return kExitFolderNotWritable;
  }

  StartProcess();
  // The providers' keys are read now, so the log masks them from here on.
  (void)CurrentProviderKeys();
  // No file is no error: the defaults stand.
  (void)ReadConfig(systemConfig());
  WebOptions web;
  std::string webError;
  const WebChoice webChoice = HeadlessWebChoice(options, systemConfig(), web, webError);
  if (webChoice == WebChoice::kBad) {
    LogFormat("The web view could not start: %s", webError.c_str());
    std::fprintf(stderr, "velmora-monitor: the web view could not start: %s\n", webError.c_str());
    FinishProcess();
    return kExitWebFailed;
  }
  // Made before the list is loaded, which reads the price rules against it.
  std::unique_ptr<AlertCenter> alerts = MakeAlertCenter(HeadlessAlertSettings(options, systemConfig()));
  SecurityStore& store = securityStore();
  LoaderPool& pool = loaderPool();
  pool.SetSecurityEvents(alerts.get());
  pool.setTiming(options.timing);
  ConsoleLoaderListener listener(store, options.progress);
  char notice[128];
  std::snprintf(notice, sizeof notice, "Initializing %s ......", kAppTitle);
  listener.Print(notice);

  LoadSecurityList();
  // With nothing to load (the loader off, or an empty list) the start-up
  // reports are all there will be.
  const bool loading = systemConfig().StartRealTimeQuoteLoader != 0 && pool.StartLoaderThreads(&listener) > 0;

  std::unique_ptr<WebService> webService;
  if (webChoice == WebChoice::kOn) {
    webService = StartWebService(web, store, alerts.get(), webError);
    if (webService == nullptr) {
      LogFormat("The web view could not start: %s", webError.c_str());
      std::fprintf(stderr, "velmora-monitor: the web view could not start: %s\n", webError.c_str());
      shutDown(listener, alerts);
      return kExitWebFailed;
    }
    // Printed whatever the output is: a service's output goes to its journal,
    // where the address is wanted once.
    const std::string url = WebViewUrl(web.address, webService->port());
    LogFormat("Web view at %s", url.c_str());
    listener.Announce("velmora-monitor: web view at " + url);
  }

  // Pass lines are for someone watching; a service or a pipe stays quiet.
  const bool passLines = !options.quiet && ::isatty(STDOUT_FILENO) == 1;
  const WaitEnd end = serve(options, stopSignals, loading, passLines ? &listener : nullptr);

  // The web view reads the store and the alerts: it goes before them.
  if (webService != nullptr) webService->Stop();
  webService.reset();
  // A run of --passes (the daily timer) gives the alerts time to go out; a
  // stop signal keeps the short grace.
  if (end != WaitEnd::kSignal) alerts->SetStopGrace(std::chrono::seconds(options.alertWaitSeconds));
  shutDown(listener, alerts);
  if (end == WaitEnd::kLoadersCeased) {
    std::fprintf(stderr, "velmora-monitor: every loader thread gave up after %d of %d passes.\n",
                 pool.CompleteReportPasses(), options.passes);
    return kExitLoadersCeased;
  }
  // A scheduled run must be able to tell a dead service from a good run.
  if (end == WaitEnd::kPasses && loading && LoadedSecurityCount(store) == 0) {
    std::fputs(NothingLoadedLine(pool).c_str(), stderr);
    return kExitNothingLoaded;
  }
  return kExitOk;
}

}  // namespace velmora
