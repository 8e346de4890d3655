#include "app/headless_options.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "alerts/alert_sinks.h"
#include "base/log.h"
#include "base/option_table.h"
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
constexpr const char* kAlertWaitError = "--alert-wait needs a number of seconds from 0 to 86400";

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
  out.confirmDays = EffectiveConfirmDays(config);
  return WebChoice::kOn;
}

namespace {

using Options = HeadlessOptions;

const Option<Options> kOptions[] = {
    {.name = "--passes",
     .value = "N",
     .help = "end after N complete report passes (reports covering the\n"
             "whole list once every thread has loaded its history; with\n"
             "the loader off or an empty list, the start-up reports are\n"
             "the only pass and end the run)",
     .manual = "End after\n"
               ".I N\n"
               "complete report passes (reports covering the whole list once every thread\n"
               "has loaded its history; with the loader off or an empty list, the start\\-up\n"
               "reports are the only pass).",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           if (parseCount(std::string(v).c_str(), 1, o.passes)) return true;
           error = "--passes needs a number of passes of 1 or more";
           return false;
         },
     .missing = "--passes needs a number of passes of 1 or more"},
    {.name = "--progress",
     .help = "print the loader's status texts and a running count of the\n"
             "securities loaded",
     .manual = "Print the loader's status texts and a running count of the securities loaded.",
     .set = [](Options& o, std::string_view, std::string&) { return o.progress = true; }},
    {.name = "--quiet",
     .help = "on a terminal, no line per completed pass (\"pass 3: 510\n"
             "loaded, 2 failed, 41.2 s\"); nothing of the kind is printed\n"
             "when the output is not a terminal",
     .manual = "No line per completed pass on a terminal.",
     .set = [](Options& o, std::string_view, std::string&) { return o.quiet = true; }},
    {.name = "--alert-command",
     .value = "'CMD ARGS...'",
     .help = "run CMD for each alert (a new buy or sell signal, a trend\n"
             "change, a price rule of Alerts.dat), without a shell: the\n"
             "line is split once ('...' and \"...\" quote, a backslash\n"
             "keeps the next character); the alert is in the variables\n"
             "VELMORA_ALERT_SYMBOL, _EVENT, _PRICE, _CHANGE and _TIME; its\n"
             "output goes to the log; it is killed after 10 seconds\n"
             "(Config.ini: AlertCommand=)",
     .manual = "Run\n"
               ".I CMD\n"
               "for each alert (a new buy or sell signal, a trend change, a price rule of\n"
               ".IR Alerts.dat ),\n"
               "without a shell; the alert is in the variables\n"
               ".BR VELMORA_ALERT_SYMBOL ,\n"
               ".BR _EVENT ,\n"
               ".BR _PRICE ,\n"
               ".B _CHANGE\n"
               "and\n"
               ".BR _TIME ;\n"
               "it is killed after 10 seconds. Its environment holds no key, token or\n"
               "password: no\n"
               ".BR VELMORA_TIINGO_KEY ,\n"
               ".B VELMORA_FINNHUB_KEY\n"
               "or\n"
               ".BR VELMORA_WEB_TOKEN ,\n"
               "nor any variable whose name ends in\n"
               ".BR _KEY ,\n"
               ".BR _TOKEN ,\n"
               ".B _SECRET\n"
               "or\n"
               ".BR _PASSWORD .",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           o.alertCommand = std::string(v);
           std::vector<std::string> words;
           std::string why;
           if (!SplitCommandLine(o.alertCommand, words, why)) {
             error = "--alert-command: " + why;
             return false;
           }
           return o.alertCommandGiven = true;
         }},
    {.name = "--alerts-jsonl",
     .value = "FILE",
     .help = "append one JSON object per alert to FILE (Config.ini:\n"
             "AlertsJsonl=)",
     .manual = "Append one JSON object per alert to\n"
               ".IR FILE .",
     .set =
         [](Options& o, std::string_view v, std::string&) {
           o.alertsJsonl = std::string(v);
           return o.alertsJsonlGiven = true;
         }},
    {.name = "--alert-wait",
     .value = "SECONDS",
     .help = "at the end of --passes, wait up to SECONDS (default 30)\n"
             "for the alert command and the JSON lines to deliver every\n"
             "alert; what is left goes out at the next start",
     .manual = "At the end of\n"
               ".BR \\-\\-passes ,\n"
               "wait up to\n"
               ".I SECONDS\n"
               "(default 30) for the alert command and the JSON lines to deliver every\n"
               "alert; each delivers on its own, so a slow command holds up nothing else.\n"
               "A command still running then is stopped, and what is left waits in\n"
               ".I Alerts.pending\n"
               "for the next start, which delivers it once to the outputs still owed it.\n"
               "SIGINT and SIGTERM give 3 seconds.",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           if (parseCount(std::string(v).c_str(), 0, o.alertWaitSeconds) &&
               o.alertWaitSeconds <= kMaxAlertWaitSeconds)
             return true;
           error = kAlertWaitError;
           return false;
         },
     .missing = kAlertWaitError},
    {.name = "--web",
     .value = "[ADDR:]PORT",
     .help = "serve the web view (the table, the charts and the alerts in\n"
             "a browser) on PORT of ADDR (default 127.0.0.1; \"[::1]:PORT\"\n"
             "for IPv6) and print \"velmora-monitor: web view at\n"
             "http://ADDR:PORT/\"; \"off\" serves none (Config.ini: Web=,\n"
             "off when empty); any address but loopback needs a token",
     .manual = "Serve the web view (the table, the charts and the alerts in a browser) on\n"
               ".I PORT\n"
               "of\n"
               ".I ADDR\n"
               "(default 127.0.0.1;\n"
               ".B [::1]:PORT\n"
               "for IPv6) once the list is loaded and the loader threads run, and print\n"
               ".B \"velmora\\-monitor: web view at http://ADDR:PORT/\"\n"
               "on standard output (whether or not it is a terminal) and in the log.\n"
               ".B off\n"
               "serves none. The option replaces the\n"
               ".B Web=\n"
               "key of\n"
               ".IR Config.ini .\n"
               "Any address but loopback needs a token. A bad value is a usage error\n"
               "(status 2); a web view that can not start (a port in use, no token, a\n"
               "token shorter than 16 characters) ends the run with status 6.",
     .manualTag = ".BI \\-\\-web \" \\fR[\\fPADDR\\fR:]\\fPPORT\"",
     .set = [](Options& o, std::string_view v,
               std::string& error) { return parseWeb(std::string(v), o, error); }},
    {.name = "--web-token-file",
     .value = "FILE",
     .help = "the web view's token: the first line of FILE, trailing\n"
             "blanks removed (else VELMORA_WEB_TOKEN); at least 16\n"
             "characters (make one with: head -c 24 /dev/urandom | base64);\n"
             "five wrong tokens from one address within a minute shut it\n"
             "out for a minute",
     .manual = "The web view's token: the first line of\n"
               ".IR FILE ,\n"
               "trailing blanks removed. A file that can not be read or whose first line is\n"
               "blank is a usage error. Without it the token comes from\n"
               ".BR VELMORA_WEB_TOKEN .\n"
               "A browser signs in at\n"
               ".B /login\n"
               "with it; other clients send\n"
               ".BR \"Authorization: Bearer TOKEN\" .\n"
               "The token must have at least 16 characters; make one with\n"
               ".BR \"head \\-c 24 /dev/urandom | base64\" .\n"
               "Five wrong tokens from one address within a minute shut that address out\n"
               "for a minute (status 429, logged once).",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           return o.webTokenFromFile = readTokenFile(std::string(v), o.webToken, error);
         }},
    {.name = "--web-allowed-host",
     .value = "NAME",
     .help = "a host name (or address) the web view answers to besides\n"
             "localhost, 127.0.0.1, [::1] and the address it listens on,\n"
             "with any port; repeatable. Without a token the view answers\n"
             "only requests naming one of these (others get 421); with a\n"
             "token any name, unless this option is given",
     .manual = "A host name or address (without a port; any port goes with it) the web view\n"
               "answers to besides\n"
               ".BR localhost ,\n"
               ".BR 127.0.0.1 ,\n"
               ".B [::1]\n"
               "and the address it listens on; repeatable. Without a token the web view\n"
               "answers only requests whose\n"
               ".B Host\n"
               "names one of these (others get status 421), so a web page elsewhere whose\n"
               "name was pointed at 127.0.0.1 can not read it; with a token it answers any\n"
               "name unless this option is given. Use it for a name you open the view by,\n"
               "such as a reverse proxy's.",
     .set =
         [](Options& o, std::string_view v, std::string& error) {
           std::string name;
           if (!ParseWebAllowedHost(std::string(v), name, error)) {
             error = "--web-allowed-host: " + error;
             return false;
           }
           o.webAllowedHosts.push_back(name);
           return true;
         }},
    {.name = "--help",
     .letter = 'h',
     .help = "print this text",
     .manual = "Print the full help text and exit.",
     .set = [](Options& o, std::string_view, std::string&) { return o.help = true; }},
    {.name = "--version",
     .help = "print the program's name and version",
     .manual = "Print the program's name and version and exit.",
     .set = [](Options& o, std::string_view, std::string&) { return o.version = true; }},
    {.name = kManualOptionsName,
     .set = [](Options& o, std::string_view, std::string&) { return o.manualOptions = true; },
     .hidden = true},
};

// The column of the options' descriptions in --help.
constexpr int kHelpColumn = 15;

}  // namespace

const OptionTable<HeadlessOptions>& HeadlessOptionTable() {
  static const OptionTable<HeadlessOptions> table{kOptions};
  return table;
}

const char* HeadlessUsage() {
  static const std::string text =
      "Usage: velmora-monitor [--passes N] [--progress] [--quiet] [--alert-command 'CMD ARGS...']\n"
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
      "Options:\n" +
      OptionHelp(HeadlessOptionTable(), kHelpColumn) +
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
  return text.c_str();
}

bool ParseHeadlessOptions(int argc, const char* const* argv, HeadlessOptions& options, std::string& error) {
  if (!ParseCommandLine(HeadlessOptionTable(), argc, argv, options, error)) return false;
  if (!options.webTokenFromFile) readTokenVariable(options);
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
