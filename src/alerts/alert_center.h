#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "alerts/alert.h"
#include "base/system_config.h"
#include "core/quote_bar.h"
#include "monitor/security_entry.h"
#include "monitor/security_events.h"

namespace velmora {

class SecurityStore;

// The alerts of one process: finds the events of each loaded or refreshed
// security, raises each once (remembered across restarts), and hands them
// to each output (the JSON lines, the command, every sink added) on a
// delivery thread of that output's own, so a slow sink never holds a loader
// thread or another output. What the JSON lines and the command have not
// delivered when the center goes is kept in Alerts.pending and goes to
// them, and only to them, at the next start.
class AlertCenter : public SecurityEvents {
 public:
  // A sink gets every alert raised after it was added. Thread-safe.
  virtual void AddSink(std::shared_ptr<AlertSink> sink) = 0;

  // Every alert raised since the program started, newest first.
  virtual std::vector<Alert> Recent() const = 0;

  // What the loader tells the center (SecurityEvents) waits for no
  // delivery; when the list is loaded (again) the price rules are read and
  // checked against it.

  // How long the outputs may take, when the center goes, to deliver what
  // they still hold (the settings' stopGraceMs until this is called).
  virtual void SetStopGrace(std::chrono::milliseconds grace) { (void)grace; }
};

// A command's time limit unless VELMORA_ALERT_COMMAND_LIMIT_MS says
// otherwise (tests, demos).
inline constexpr int kAlertCommandLimitMs = 10000;
inline constexpr const char* kAlertCommandLimitVariable = "VELMORA_ALERT_COMMAND_LIMIT_MS";

// How long the outputs may take to deliver what they hold at a stop
// (SIGINT, SIGTERM, the desktop program's exit), and at the end of
// velmora-monitor's --passes unless --alert-wait says otherwise.
inline constexpr int kAlertStopGraceMs = 3000;
inline constexpr int kAlertPassesWaitSeconds = 30;

// How a center is made.
struct AlertSettings {
  std::string folder = ".";  // where Alerts.dat, Alerts.state and Alerts.txt are
  std::string command;       // run for each alert (split into arguments once); empty: none
  std::string jsonLines;     // appended one JSON object per alert; empty: none
  int commandLimitMs = kAlertCommandLimitMs;
  std::size_t queueCapacity = 256;  // of each output
  // At shutdown, how long the queued alerts may take to go out; what is
  // left then waits in Alerts.pending for the next start.
  int stopGraceMs = kAlertStopGraceMs;
  // The wall clock of the alerts' times; null: the system clock.
  std::function<std::time_t()> clock;
};

// The settings of Config.ini (AlertCommand=, AlertsJsonl=) and of the
// environment's command limit (a value that is no positive number of
// milliseconds is logged and the default stands).
AlertSettings AlertSettingsFrom(const SystemConfig& config);

// A center with the memory of earlier runs and the alerts they still owe;
// its delivery threads run until it is destroyed, which delivers what is
// queued first (for at most the grace), then cuts a running command short
// and keeps what is left in Alerts.pending. A command line that does not
// split is logged and no command runs.
std::unique_ptr<AlertCenter> MakeAlertCenter(const AlertSettings& settings);

}  // namespace velmora
