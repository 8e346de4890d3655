// velmora-analyze: runs the analysis engine over a local history file and
// prints every bar's values and marks as CSV, for users who script their
// analysis.
#include <cstdio>
#include <string>

#include "base/app_identity.h"
#include "cli/analyze_options.h"

int main(int argc, char** argv) {
  velmora::AnalyzeOptions options;
  std::string error;
  if (!velmora::ParseAnalyzeOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "velmora-analyze: %s\n%sRun 'velmora-analyze --help' for details.\n", error.c_str(),
                 velmora::AnalyzeUsageText());
    return 2;
  }
  if (options.manualOptions) {
    std::fputs(velmora::OptionManual(velmora::AnalyzeOptionTable()).c_str(), stdout);
    return 0;
  }
  if (options.help) {
    std::fputs(velmora::AnalyzeHelpText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("velmora-analyze %s\n", velmora::kAppVersion);
    return 0;
  }
  return velmora::RunAnalyze(options);
}
