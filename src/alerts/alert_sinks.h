#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "alerts/alert.h"

namespace velmora {

// The alert's log line: "Alert: MSFT buy signal, price 33.59, change 0.48
// (1.45%), bar of 12/6/2005."
std::string AlertLogText(const Alert& alert);

// Alerts.txt: every alert of the day, oldest first, under one header line.
// Columns, separated by blanks: the time it was raised (19 characters,
// "2026-12-08 15:31:07"), the symbol (left, 10), the event (left, 22), the
// last price (right, 10), the change (right, 9) and the change percent
// (right, 8, with '%'), all "C" numbers with two decimals:
//
//   Time                Symbol     Event                       Price    Change  Change%
//   2026-12-08 15:31:07 MSFT       buy signal                  33.59      0.48    1.45%
std::string AlertReportHeader();
std::string AlertReportRow(const Alert& alert);

// The object --alerts-jsonl appends, on one line: symbol, event (as for
// people), kind (the event word), price, change, changePercent, barDate,
// time.
std::string AlertJsonLine(const Alert& alert);

// Appends each alert's JSON line to a file (created when missing); a file
// that cannot be written is logged once until it can be again.
class JsonLinesSink : public AlertSink {
 public:
  explicit JsonLinesSink(std::string path) : path_(std::move(path)) {}
  void Deliver(const Alert& alert) override;

 private:
  std::string path_;
  bool failing_ = false;
};

// Splits a command line into its arguments, without a shell: blanks part
// them; '...' keeps everything inside as it is; "..." keeps everything but
// a backslash before '"' or '\', which stands for that character; outside
// quotes a backslash keeps the next character. Nothing is expanded. False
// with the reason for an open quote or a backslash at the end.
[[nodiscard]] bool SplitCommandLine(std::string_view text, std::vector<std::string>& args,
                                    std::string& error);

// Whether the command's environment leaves out a variable of this name:
// the providers' keys and the web view's token (VELMORA_TIINGO_KEY,
// VELMORA_FINNHUB_KEY, VELMORA_WEB_TOKEN) and any name that ends in _KEY,
// _TOKEN, _SECRET or _PASSWORD (in any letter case), so a command that
// prints its environment puts no secret in the log.
bool IsSecretVariable(std::string_view name);

// Runs a command for each alert: the program (looked up in PATH when the
// name has no '/') with its arguments, the alert in VELMORA_ALERT_SYMBOL,
// _EVENT, _PRICE, _CHANGE and _TIME, standard input empty, standard output
// and error to the log (the first 50 lines of 500 characters, then counts
// of what was left out), as the leader of a session and process group of
// its own. A command still running after `limit` is ended with all its
// session (SIGTERM, SIGKILL after a short grace; logged); one that cannot
// start or ends with a failure status is logged. The next alert does not
// wait for what a command left running in the background: that is ended at
// the command's limit, or when the sink goes (or is aborted). A process
// that left the session (setsid) is named in the log and ended too when
// its parent line still leads back to the command. The environment is the
// one the process had when the sink was made, without its secrets.
class CommandSink : public AlertSink {
 public:
  CommandSink(std::vector<std::string> args, std::chrono::milliseconds limit);
  ~CommandSink() override;
  CommandSink(const CommandSink&) = delete;
  CommandSink& operator=(const CommandSink&) = delete;
  void Deliver(const Alert& alert) override { (void)Run(alert); }
  // Runs the command for one alert; false when it was stopped at shutdown
  // (or not started because of one), so the alert is still owed. A command
  // that failed or ran out of time was delivered to: it is not run again.
  bool Run(const Alert& alert);
  // Kills a command running now, and what earlier ones left running, and
  // runs none any more (shutdown).
  void Abort();

 private:
  // A command that ended but left processes of its session running; its
  // leader is not waited for until they are ended, so its process id (the
  // session's and the group's) cannot be taken by another process.
  struct Lingering {
    pid_t leader = -1;
    std::chrono::steady_clock::time_point deadline;
  };
  void linger(pid_t leader, std::chrono::steady_clock::time_point deadline);
  void watch();
  void endLingering(pid_t leader, bool atShutdown);

  std::vector<std::string> args_;
  std::string shown_;  // the command for log lines
  std::chrono::milliseconds limit_;
  std::vector<std::string> environment_;
  std::atomic<bool> aborted_{false};
  std::mutex lock_;
  std::condition_variable wake_;
  std::vector<Lingering> lingering_;  // under lock_
  bool stopping_ = false;             // under lock_
  std::thread watcher_;               // started with the first lingering command
};

}  // namespace velmora
