#include "app/headless_options.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "alerts/alert_sinks.h"
#include "base/log.h"
#include "base/text_helpers.h"

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

// --alert-wait at most a day: the seconds become milliseconds.
constexpr int kMaxAlertWaitSeconds = 86400;

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

// The token is the file's first line without its trailing blanks (a file
// written by `echo` or an editor ends in a line feed); a file that cannot
// be read or holds no token is refused rather than serving without one.
bool readTokenFile(const std::string& path, std::string& token, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = "--web-token-file: can not read '" + path + "' (" + std::strerror(errno) + ")";
    return false;
  }
  std::string line;
  int ch;
  while ((ch = std::fgetc(f)) != EOF && ch != '\n') line.push_back(static_cast<char>(ch));
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = "--web-token-file: can not read '" + path + "'";
    return false;
  }
  const auto end = line.find_last_not_of(" \t\r\f\v");
  token = end == std::string::npos ? std::string() : line.substr(0, end + 1);
  if (token.empty()) {
    error = "--web-token-file: '" + path + "' holds no token on its first line";
    return false;
  }
  return true;
}

// The variable's token without the blanks around it (a shell's quoting or
// a unit file's line can leave them, and no browser sends them back).
void readTokenVariable(HeadlessOptions& options) {
  const char* value = std::getenv(kWebTokenVariable);
  const std::string text = value != nullptr ? value : "";
  options.webToken = std::string(TrimWhiteSpace(text));
  options.webTokenBlank = !text.empty() && options.webToken.empty();
}

bool parseWeb(const std::string& value, HeadlessOptions& options, std::string& error) {
  options.webGiven = true;
  options.webOff = value == "off";
  if (options.webOff) return true;
  if (ParseWebListen(value, options.web, error)) return true;
  error = "--web '" + value + "': " + error;
  return false;
}

}  // namespace

std::string WebViewUrl(const std::string& address, int port) {
  const bool bracketed = address.find(':') != std::string::npos;
  return "http://" + (bracketed ? "[" + address + "]" : address) + ":" + std::to_string(port) + "/";
}

WebChoice HeadlessWebChoice(const HeadlessOptions& options, const SystemConfig& config, WebOptions& out,
                            std::string& error) {
  if (options.webGiven) {
    if (options.webOff) return WebChoice::kOff;
    out = options.web;
  } else {
    if (config.Web.empty() || config.Web == "off") return WebChoice::kOff;
    out = WebOptions{};
    if (!ParseWebListen(config.Web, out, error)) {
      error = std::string(kConfigFileName) + " Web=" + config.Web + ": " + error;
      return WebChoice::kBad;
    }
  }
  if (options.webTokenBlank) {
    error = std::string(kWebTokenVariable) + " holds only blanks, no token";
    return WebChoice::kBad;
  }
  out.token = options.webToken;
  out.allowedHosts = options.webAllowedHosts;
  out.folder = ".";
  return WebChoice::kOn;
}

const char* HeadlessUsage() {
  return "Usage: velmora-monitor [--passes N] [--progress] [--quiet] [--alert-command 'CMD ARGS...']\n"
         "                       [--alerts-jsonl FILE] [--alert-wait SECONDS] [--web [ADDR:]PORT|off]\n"
         "                       [--web-token-file FILE] [--web-allowed-host NAME]...\n"
         "                       [--help] [--version]\n"
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
         "  --quiet      on a terminal, no line per completed pass (\"pass 3: 510\n"
         "               loaded, 2 failed, 41.2 s\"); nothing of the kind is printed\n"
         "               when the output is not a terminal\n"
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
         "  --alert-wait SECONDS\n"
         "               at the end of --passes, wait up to SECONDS (default 30)\n"
         "               for the alert command and the JSON lines to deliver every\n"
         "               alert; what is left goes out at the next start\n"
         "  --web [ADDR:]PORT\n"
         "               serve the web view (the table, the charts and the alerts in\n"
         "               a browser) on PORT of ADDR (default 127.0.0.1; \"[::1]:PORT\"\n"
         "               for IPv6) and print \"velmora-monitor: web view at\n"
         "               http://ADDR:PORT/\"; \"off\" serves none (Config.ini: Web=,\n"
         "               off when empty); any address but loopback needs a token\n"
         "  --web-token-file FILE\n"
         "               the web view's token: the first line of FILE, trailing\n"
         "               blanks removed (else VELMORA_WEB_TOKEN); at least 16\n"
         "               characters (make one with: head -c 24 /dev/urandom | base64);\n"
         "               five wrong tokens from one address within a minute shut it\n"
         "               out for a minute\n"
         "  --web-allowed-host NAME\n"
         "               a host name (or address) the web view answers to besides\n"
         "               localhost, 127.0.0.1, [::1] and the address it listens on,\n"
         "               with any port; repeatable. Without a token the view answers\n"
         "               only requests naming one of these (others get 421); with a\n"
         "               token any name, unless this option is given\n"
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
         "  VELMORA_WEB_TOKEN         the web view's token without --web-token-file\n"
         "\n"
         "The log is moved to \"Trevanta Software.log.1\" when it passes\n"
         "LogMaxSizeMB of Config.ini (default 10, 0 never); three older logs are kept.\n"
         "\n"
         "Exit status: 0 done, 1 a local history file could not be written,\n"
         "2 bad command line, 3 the current folder can not be written,\n"
         "4 with --passes: every loader thread gave up before the last pass,\n"
         "5 with --passes: the passes ended with not one security loaded (the\n"
         "quote service could not be reached or refused every symbol; stderr\n"
         "names the first failure), 6 the web view could not start (stderr says\n"
         "why).\n";
}

bool ParseHeadlessOptions(int argc, const char* const* argv, HeadlessOptions& options, std::string& error) {
  bool tokenFromFile = false;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      options.help = true;
    } else if (std::strcmp(arg, "--version") == 0) {
      options.version = true;
    } else if (std::strcmp(arg, "--progress") == 0) {
      options.progress = true;
    } else if (std::strcmp(arg, "--quiet") == 0) {
      options.quiet = true;
    } else if (std::strcmp(arg, "--web") == 0) {
      std::string value;
      if (!optionValue(argc, argv, i, value, error) || !parseWeb(value, options, error)) return false;
    } else if (std::strcmp(arg, "--web-token-file") == 0) {
      std::string path;
      if (!optionValue(argc, argv, i, path, error) || !readTokenFile(path, options.webToken, error))
        return false;
      tokenFromFile = true;
    } else if (std::strcmp(arg, "--web-allowed-host") == 0) {
      std::string value;
      std::string name;
      if (!optionValue(argc, argv, i, value, error)) return false;
      if (!ParseWebAllowedHost(value, name, error)) {
        error = "--web-allowed-host: " + error;
        return false;
      }
      options.webAllowedHosts.push_back(name);
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
    } else if (std::strcmp(arg, "--alert-wait") == 0) {
      if (i + 1 >= argc || !parseCount(argv[i + 1], 0, options.alertWaitSeconds) ||
          options.alertWaitSeconds > kMaxAlertWaitSeconds) {
        error = "--alert-wait needs a number of seconds from 0 to " + std::to_string(kMaxAlertWaitSeconds);
        return false;
      }
      ++i;
    } else {
      error = std::string("unknown option '") + arg + "'";
      return false;
    }
  }
  if (!tokenFromFile) readTokenVariable(options);
  // A token refused as too short is no secret worth hiding (and would mask
  // ordinary words); the web view adds it again once it is accepted.
  if (options.webToken.size() >= kMinWebTokenLength) AddLogSecret(options.webToken);
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
