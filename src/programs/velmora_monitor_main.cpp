// velmora-monitor: the program's start-up, loading and shutdown without
// windows, for servers, cron, the systemd user units and tests; optionally
// with its web view. Stops cleanly on SIGINT/SIGTERM.
#include <pthread.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "app/headless_monitor.h"
#include "app/headless_options.h"
#include "base/app_identity.h"

int main(int argc, char** argv) {
  velmora::HeadlessOptions options;
  std::string error;
  if (!velmora::ParseHeadlessOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "velmora-monitor: %s\n", error.c_str());
    std::fputs(velmora::HeadlessUsage(), stdout);
    return velmora::kExitUsage;
  }
  if (options.manualOptions) {
    std::fputs(velmora::OptionManual(velmora::HeadlessOptionTable()).c_str(), stdout);
    return velmora::kExitOk;
  }
  if (options.help) {
    std::fputs(velmora::HeadlessUsage(), stdout);
    return velmora::kExitOk;
  }
  if (options.version) {
    std::printf("velmora-monitor %s\n", velmora::kAppVersion);
    return velmora::kExitOk;
  }

  // Block the stop signals before any thread exists so every thread inherits
  // the mask and the serving loop is the one place that receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  return velmora::RunHeadlessMonitor(options, stopSignals);
}
