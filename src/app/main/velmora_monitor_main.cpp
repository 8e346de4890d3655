// velmora-monitor: the program's start-up, loading and shutdown without
// windows, for servers, cron and tests. Stops cleanly on SIGINT/SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <pthread.h>

#include "app/lifecycle.h"
#include "base/system_config.h"

namespace {

void printHelp() {
  std::puts(
      "Usage: velmora-monitor [--help]\n"
      "\n"
      "Runs the monitor without windows in the current folder: reads Config.ini,\n"
      "logs to \"Trevanta Software.log\" and serves until SIGINT or SIGTERM, then\n"
      "deletes its temporary files and exits 0.");
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      printHelp();
      return 0;
    }
    std::fprintf(stderr, "velmora-monitor: unknown option '%s'\n", argv[i]);
    printHelp();
    return 2;
  }

  // Block the stop signals before any thread exists so every thread inherits
  // the mask and sigwait below is the one place that receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  velmora::LogStartLine();
  velmora::ReadConfig();

  int received = 0;
  sigwait(&stopSignals, &received);

  velmora::FinishProcess();
  return 0;
}
