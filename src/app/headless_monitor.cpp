#include "app/headless_monitor.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "app/lifecycle.h"
#include "base/app_identity.h"
#include "base/system_config.h"
#include "monitor/alert_center.h"
#include "monitor/console_loader_listener.h"
#include "monitor/loader_pool.h"
#include "monitor/security_list.h"
#include "monitor/security_store.h"
#include "monitor/symbol_check.h"

namespace velmora {

namespace {

constexpr long kSignalPollNs = 100L * 1000 * 1000;

enum class WaitEnd { kSignal, kPasses, kLoadersCeased };

// Serves until a stop signal, or until the requested passes are written.
WaitEnd serve(const HeadlessOptions& options, const sigset_t& stopSignals, bool loaderOn) {
  const LoaderPool& pool = loaderPool();
  const timespec poll{0, kSignalPollNs};
  for (;;) {
    if (sigtimedwait(&stopSignals, nullptr, &poll) > 0) return WaitEnd::kSignal;
    if (options.passes <= 0) continue;
    // With nothing loading the start-up reports are all there will be.
    if (!loaderOn) return WaitEnd::kPasses;
    if (pool.CompleteReportPasses() >= options.passes) return WaitEnd::kPasses;
    if (loaderOn && pool.RunningThreadCount() == 0) return WaitEnd::kLoadersCeased;
  }
}

}  // namespace

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
  // No file is no error: the defaults stand.
  (void)ReadConfig(systemConfig());
  // Made before the list is loaded, which reads the price rules against it.
  std::unique_ptr<AlertCenter> alerts = MakeAlertCenter(HeadlessAlertSettings(options, systemConfig()));
  SetProcessAlertCenter(alerts.get());
  SecurityStore& store = securityStore();
  LoaderPool& pool = loaderPool();
  pool.setTiming(options.timing);
  ConsoleLoaderListener listener(store, options.progress);
  char notice[128];
  std::snprintf(notice, sizeof notice, "Initializing %s ......", kAppTitle);
  listener.Print(notice);

  LoadSecurityList();
  // With nothing to load (the loader off, or an empty list) the start-up
  // reports are all there will be.
  const bool loading = systemConfig().StartRealTimeQuoteLoader != 0 && pool.StartLoaderThreads(&listener) > 0;

  const WaitEnd end = serve(options, stopSignals, loading);

  char text[128];
  std::snprintf(text, sizeof text, "Current active thread number: %d", pool.RunningThreadCount());
  listener.Print(text);
  listener.Print("Please wait until loading quote threads finish ......");
  pool.StopLoaderThreads();
  // What is queued still goes out (for a few seconds at most).
  SetProcessAlertCenter(nullptr);
  alerts.reset();
  FinishProcess();
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
