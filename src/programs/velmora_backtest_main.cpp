// velmora-backtest: trades the buy and sell marks of a list of securities
// as they appeared each evening, and writes the figures of each security
// and of the whole list to Backtest.txt.
#include <cstdio>
#include <string>

#include "base/app_identity.h"
#include "cli/backtest_options.h"
#include "cli/backtest_run.h"

int main(int argc, char** argv) {
  velmora::BacktestProgramOptions options;
  std::string error;
  if (!velmora::ParseBacktestProgramOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "velmora-backtest: %s\n%sRun 'velmora-backtest --help' for details.\n",
                 error.c_str(), velmora::BacktestProgramUsageText());
    return 2;
  }
  if (options.manualOptions) {
    std::fputs(velmora::OptionManual(velmora::BacktestProgramOptionTable()).c_str(), stdout);
    return 0;
  }
  if (options.help) {
    std::fputs(velmora::BacktestProgramHelpText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("velmora-backtest %s\n", velmora::kAppVersion);
    return 0;
  }
  return velmora::RunBacktestProgram(options);
}
