#pragma once

#include <string>
#include <vector>

#include "alerts/alert_center.h"
#include "base/option_table.h"
#include "base/system_config.h"
#include "monitor/loader_pool.h"
#include "web/web_service.h"

namespace velmora {

// Exit statuses of velmora-monitor.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFatal = 1;  // FatalExit (e.g. a local history file could not be written)
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFolderNotWritable = 3;
inline constexpr int kExitLoadersCeased = 4;  // --passes: every loader thread gave up first
inline constexpr int kExitNothingLoaded = 5;  // --passes: they ended with not one security loaded
inline constexpr int kExitWebFailed = 6;      // the web view could not start

// How velmora-monitor runs.
struct HeadlessOptions {
  int passes = 0;  // 0: serve until SIGINT or SIGTERM
  bool progress = false;
  bool help = false;
  bool version = false;  // --version: print the program and its version
  LoaderTiming timing;
  // Alerts: given options replace AlertCommand= and AlertsJsonl= of
  // Config.ini (an empty value switches them off).
  bool alertCommandGiven = false;
  std::string alertCommand;
  bool alertsJsonlGiven = false;
  std::string alertsJsonl;
  int alertCommandLimitMs = kAlertCommandLimitMs;
  // --alert-wait: at the end of --passes, how long the alerts still queued
  // may take to go out before the rest waits for the next start.
  int alertWaitSeconds = kAlertPassesWaitSeconds;
  // --quiet: no line per completed pass on a terminal.
  bool quiet = false;
  // The web view: --web replaces Web= of Config.ini ("off" switches it
  // off); the token comes from --web-token-file, else VELMORA_WEB_TOKEN
  // (blanks at either end of the variable dropped).
  bool webGiven = false;
  bool webOff = false;
  WebOptions web;
  std::string webToken;
  // VELMORA_WEB_TOKEN was set to blanks alone: a web view would refuse to
  // start rather than serve without the token the user meant.
  bool webTokenBlank = false;
  // --web-allowed-host NAME, each time given.
  std::vector<std::string> webAllowedHosts;
  bool webTokenFromFile = false;  // --web-token-file was read
  bool manualOptions = false;     // print the manual page's OPTIONS section
};

// Environment variables that shorten the loader's pauses (tests, demos).
inline constexpr const char* kFailurePauseVariable = "VELMORA_FAILURE_PAUSE_MS";
inline constexpr const char* kRetryPauseVariable = "VELMORA_RETRY_PAUSE_MS";
// The web view's token when no --web-token-file is given.
inline constexpr const char* kWebTokenVariable = "VELMORA_WEB_TOKEN";

// Reads the command line and the pause variables; false with a message in
// `error` for an unknown option or a bad value.
[[nodiscard]] bool ParseHeadlessOptions(int argc, const char* const* argv, HeadlessOptions& options,
                                        std::string& error);

// The alert settings of a run: Config.ini's, with the command line's
// options in their place where given.
AlertSettings HeadlessAlertSettings(const HeadlessOptions& options, const SystemConfig& config);

// Whether a run serves the web view, and where: --web, else Web= of
// `config`; the token and allowed hosts of `options` in either case.
enum class WebChoice {
  kOff,  // neither names an address, or either says "off"
  kOn,   // `out` says where
  kBad,  // Web= of Config.ini is not "[ADDR:]PORT", or VELMORA_WEB_TOKEN
         // holds only blanks; the reason in `error`
};
WebChoice HeadlessWebChoice(const HeadlessOptions& options, const SystemConfig& config, WebOptions& out,
                            std::string& error);

// The address a browser opens: "http://ADDR:PORT/" ("[ADDR]" for IPv6).
std::string WebViewUrl(const std::string& address, int port);

// The text of --help.
const char* HeadlessUsage();

// The options of velmora-monitor: --help and the manual page are written
// from them.
const OptionTable<HeadlessOptions>& HeadlessOptionTable();

}  // namespace velmora
