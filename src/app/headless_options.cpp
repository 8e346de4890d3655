#include "app/headless_options.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace velmora {

namespace {

// A whole number from `min` to INT_MAX.
bool parseCount(const char* text, int min, int& out) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < min || value > INT_MAX) return false;
  out = static_cast<int>(value);
  return true;
}

bool readPause(const char* variable, int& out, std::string& error) {
  const char* text = std::getenv(variable);
  if (text == nullptr || *text == '\0') return true;
  if (parseCount(text, 0, out)) return true;
  error = std::string(variable) + " must be a number of milliseconds, not '" + text + "'";
  return false;
}

}  // namespace

const char* HeadlessUsage() {
  return "Usage: velmora-monitor [--passes N] [--progress] [--help]\n"
         "\n"
         "Runs the monitor without windows in the current folder: reads Config.ini\n"
         "and List.dat, writes the first reports, starts the loader threads when\n"
         "StartRealTimeQuoteLoader is on, rewrites the five reports after every\n"
         "completed pass and logs to \"Trevanta Software.log\". Serves until SIGINT\n"
         "or SIGTERM, then stops the loader threads, deletes its temporary files\n"
         "and exits.\n"
         "\n"
         "Options:\n"
         "  --passes N   end after N complete report passes (reports covering the\n"
         "               whole list once every thread has loaded its history; with\n"
         "               the loader off or an empty list, the start-up reports are\n"
         "               the only pass and end the run)\n"
         "  --progress   print the loader's status texts and a running count of the\n"
         "               securities loaded\n"
         "  --help       print this text\n"
         "\n"
         "Environment:\n"
         "  VELMORA_FAILURE_PAUSE_MS  pause after a proxy error (default 30000)\n"
         "  VELMORA_RETRY_PAUSE_MS    pause after each failed history try (default 1000)\n"
         "\n"
         "Exit status: 0 done, 1 a local history file could not be written,\n"
         "2 bad command line, 3 the current folder can not be written,\n"
         "4 with --passes: every loader thread gave up before the last pass,\n"
         "5 with --passes: the passes ended with not one security loaded (the\n"
         "quote service could not be reached or refused every symbol; stderr\n"
         "names the first failure).\n";
}

bool ParseHeadlessOptions(int argc, const char* const* argv, HeadlessOptions& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options.help = true;
    } else if (std::strcmp(arg, "--progress") == 0) {
      options.progress = true;
    } else if (std::strcmp(arg, "--passes") == 0) {
      if (i + 1 >= argc || !parseCount(argv[i + 1], 1, options.passes)) {
        error = "--passes needs a number of passes of 1 or more";
        return false;
      }
      ++i;
    } else {
      error = std::string("unknown option '") + arg + "'";
      return false;
    }
  }
  return readPause(kFailurePauseVariable, options.timing.proxyErrorPauseMs, error) &&
         readPause(kRetryPauseVariable, options.timing.retryPauseMs, error);
}

}  // namespace velmora
