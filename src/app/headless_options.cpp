#include "app/headless_options.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "monitor/alert_sinks.h"

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

// The value after an option; false (with the message) when there is none.
bool optionValue(int argc, const char* const* argv, int& i, std::string& value, std::string& error) {
  if (i + 1 >= argc) {
    error = std::string(argv[i]) + " needs a value";
    return false;
  }
  value = argv[++i];
  return true;
}

bool readCommandLimit(int& out, std::string& error) {
  const char* text = std::getenv(kAlertCommandLimitVariable);
  if (text == nullptr || *text == '\0' || parseCount(text, 1, out)) return true;
  error = std::string(kAlertCommandLimitVariable) + " must be a number of milliseconds of 1 or more, not '" +
          text + "'";
  return false;
}

}  // namespace

const char* HeadlessUsage() {
  return "Usage: velmora-monitor [--passes N] [--progress] [--alert-command 'CMD ARGS...']\n"
         "                       [--alerts-jsonl FILE] [--help]\n"
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
         "  --alert-command 'CMD ARGS...'\n"
         "               run CMD for each alert (a new buy or sell signal, a trend\n"
         "               change, a price rule of Alerts.dat), without a shell: the\n"
         "               line is split once ('...' and \"...\" quote, a backslash\n"
         "               keeps the next character); the alert is in the variables\n"
         "               VELMORA_ALERT_SYMBOL, _EVENT, _PRICE, _CHANGE and _TIME; its\n"
         "               output goes to the log; it is killed after 10 seconds\n"
         "               (Config.ini: AlertCommand=)\n"
         "  --alerts-jsonl FILE\n"
         "               append one JSON object per alert to FILE (Config.ini:\n"
         "               AlertsJsonl=)\n"
         "  --help       print this text\n"
         "  --version    print the program's name and version\n"
         "\n"
         "Alerts also go to the log, to Alerts.txt (the day's alerts) and are\n"
         "remembered in Alerts.state, so none is raised twice.\n"
         "\n"
         "Environment:\n"
         "  VELMORA_FAILURE_PAUSE_MS  pause after a proxy error (default 30000)\n"
         "  VELMORA_RETRY_PAUSE_MS    pause after each failed history try (default 1000)\n"
         "  VELMORA_ALERT_COMMAND_LIMIT_MS  the alert command's time limit (default 10000)\n"
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
    } else if (std::strcmp(arg, "--version") == 0) {
      options.version = true;
    } else if (std::strcmp(arg, "--progress") == 0) {
      options.progress = true;
    } else if (std::strcmp(arg, "--passes") == 0) {
      if (i + 1 >= argc || !parseCount(argv[i + 1], 1, options.passes)) {
        error = "--passes needs a number of passes of 1 or more";
        return false;
      }
      ++i;
    } else if (std::strcmp(arg, "--alert-command") == 0) {
      if (!optionValue(argc, argv, i, options.alertCommand, error)) return false;
      std::vector<std::string> words;
      std::string why;
      if (!SplitCommandLine(options.alertCommand, words, why)) {
        error = "--alert-command: " + why;
        return false;
      }
      options.alertCommandGiven = true;
    } else if (std::strcmp(arg, "--alerts-jsonl") == 0) {
      if (!optionValue(argc, argv, i, options.alertsJsonl, error)) return false;
      options.alertsJsonlGiven = true;
    } else {
      error = std::string("unknown option '") + arg + "'";
      return false;
    }
  }
  return readPause(kFailurePauseVariable, options.timing.proxyErrorPauseMs, error) &&
         readPause(kRetryPauseVariable, options.timing.retryPauseMs, error) &&
         readCommandLimit(options.alertCommandLimitMs, error);
}

AlertSettings HeadlessAlertSettings(const HeadlessOptions& options, const SystemConfig& config) {
  AlertSettings settings;
  settings.command = options.alertCommandGiven ? options.alertCommand : config.AlertCommand;
  settings.jsonLines = options.alertsJsonlGiven ? options.alertsJsonl : config.AlertsJsonl;
  settings.commandLimitMs = options.alertCommandLimitMs;
  return settings;
}

}  // namespace velmora
