#pragma once

#include <string>

#include "base/system_config.h"
#include "monitor/alert_center.h"
#include "monitor/loader_pool.h"

namespace velmora {

// Exit statuses of velmora-monitor.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFatal = 1;  // FatalExit (e.g. a local history file could not be written)
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFolderNotWritable = 3;
inline constexpr int kExitLoadersCeased = 4;  // --passes: every loader thread gave up first
inline constexpr int kExitNothingLoaded = 5;  // --passes: they ended with not one security loaded

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
};

// Environment variables that shorten the loader's pauses (tests, demos).
inline constexpr const char* kFailurePauseVariable = "VELMORA_FAILURE_PAUSE_MS";
inline constexpr const char* kRetryPauseVariable = "VELMORA_RETRY_PAUSE_MS";

// Reads the command line and the pause variables; false with a message in
// `error` for an unknown option or a bad value.
[[nodiscard]] bool ParseHeadlessOptions(int argc, const char* const* argv, HeadlessOptions& options,
                                        std::string& error);

// The alert settings of a run: Config.ini's, with the command line's
// options in their place where given.
AlertSettings HeadlessAlertSettings(const HeadlessOptions& options, const SystemConfig& config);

// The text of --help.
const char* HeadlessUsage();

}  // namespace velmora
