#include "alerts/alert_center.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "alerts/alert_events.h"
#include "alerts/alert_files.h"
#include "alerts/alert_memory.h"
#include "alerts/alert_pending.h"
#include "alerts/alert_queue.h"
#include "alerts/alert_rules.h"
#include "alerts/alert_sinks.h"
#include "base/atomic_file.h"
#include "base/log.h"
#include "monitor/security_store.h"

namespace velmora {

namespace {

// Recent() keeps this many alerts, far more than a day of a full list brings.
constexpr std::size_t kRecentAlerts = 10000;

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// "2026-12-08 15:31:07", local time.
std::string localTime(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::span<const QuoteBar> barsOf(const SecurityData& data) {
  const int n = std::clamp(data.bars.count, 0, kMonitoredBars);
  return {data.bars.data(), static_cast<std::size_t>(n)};
}

// One place alerts go, with its own delivery thread, so a slow command
// delays no other output.
struct Output {
  // The name Alerts.pending knows it by; empty for an output that does not
  // keep what it is owed across runs (the web view, desktop notifications).
  std::string name;
  std::string shown;  // for log lines: "the alert command"
  // Delivers one alert; false when the delivery was cut short at shutdown.
  std::function<bool(const Alert&)> send;
  std::function<void()> abort;  // cuts a delivery in progress short
  std::unique_ptr<AlertQueue> queue;
};

class Center final : public AlertCenter {
 public:
  explicit Center(const AlertSettings& settings);
  ~Center() override;

  void AddSink(std::shared_ptr<AlertSink> sink) override;
  std::vector<Alert> Recent() const override;
  void ListLoaded(const SecurityStore& store) override;
  void SecurityLoaded(const SecurityData& data, std::span<const QuoteBar> history, int confirmDays) override;
  void SecurityRefreshed(const SecurityData& data) override;
  void SetStopGrace(std::chrono::milliseconds grace) override { graceMs_.store(grace.count()); }

 private:
  std::string path(const char* name) const {
    return settings_.folder.empty() || settings_.folder == "." ? name : settings_.folder + "/" + name;
  }
  std::time_t now() const { return settings_.clock ? settings_.clock() : std::time(nullptr); }
  void addOutput(std::string name, std::string shown, std::function<bool(const Alert&)> send,
                 std::function<void()> abort = {});
  void addCommand();
  void keepTodaysRows();
  void restorePending();
  void logOnce(const std::string& text);
  // A file's text; false when it is missing, unreadable or no regular file
  // (logged).
  bool readFile(const char* name, std::string& text) const;
  // Raises the events not raised before; those `previousDay` holds were
  // there the evening before and are only remembered.
  void consider(const SecurityData& data, std::vector<AlertEvent> events,
                const std::vector<AlertEvent>& previousDay);
  // Under lock_: queues an owed alert for `out`; one dropped by the queue's
  // bound is owed no more.
  void queueFor(Output& out, QueuedAlert item);
  void settle(const std::string& output, std::uint64_t id);
  void deliver(Output& out, const QueuedAlert& item);
  void tidy();

  const AlertSettings settings_;
  std::atomic<long long> graceMs_;
  mutable std::mutex lock_;
  // Under lock_:
  AlertMemory memory_;
  bool memoryChanged_ = false;
  std::vector<Alert> recent_;         // oldest first
  std::vector<std::string> dayRows_;  // the rows of Alerts.txt
  bool reportChanged_ = false;
  bool saidStateFailure_ = false;
  bool saidReportFailure_ = false;
  bool saidPendingFailure_ = false;
  std::map<std::string, std::vector<PriceRule>> rules_;  // by display symbol in upper case
  std::set<std::string> said_;                           // log lines given once
  // The alerts some kept output still waits for, by number.
  std::map<std::uint64_t, PendingAlert> owed_;
  std::uint64_t nextId_ = 1;
  bool pendingChanged_ = false;
  // Their threads use everything above; the file writer first, as the
  // outputs wake it.
  std::unique_ptr<AlertQueue> files_;
  std::vector<std::unique_ptr<Output>> outputs_;
};

Center::Center(const AlertSettings& settings) : settings_(settings), graceMs_(settings.stopGraceMs) {
  memory_.Load(path(kAlertStateFile));
  keepTodaysRows();
  files_ = std::make_unique<AlertQueue>(
      1, [](const QueuedAlert&) {}, [this] { tidy(); });
  if (!settings_.jsonLines.empty()) {
    auto sink = std::make_shared<JsonLinesSink>(settings_.jsonLines);
    addOutput(kJsonLinesOutput, "the JSON lines", [sink](const Alert& a) {
      sink->Deliver(a);
      return true;
    });
  }
  addCommand();
  restorePending();
  // The file writer may already be tidying (an output woke it): the flags
  // are read under the lock it writes them under.
  bool changed = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    changed = reportChanged_ || memoryChanged_ || pendingChanged_;
  }
  if (changed) files_->Wake();
}

Center::~Center() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(0LL, graceMs_.load()));
  // The outputs deliver side by side: each has what is left of one grace.
  std::vector<std::size_t> left;
  for (const auto& out : outputs_) {
    const auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    left.push_back(out->queue->Stop(std::max(rest, std::chrono::milliseconds(0)), out->abort));
  }
  std::map<std::string, std::size_t> owed;
  {
    std::lock_guard<std::mutex> hold(lock_);
    for (const auto& [id, p] : owed_)
      for (const std::string& name : p.outputs) ++owed[name];
  }
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    const Output& out = *outputs_[i];
    const std::size_t n = out.name.empty() ? left[i] : owed[out.name];
    if (n == 0) continue;
    if (out.name.empty())
      LogFormat("%zu alert%s not delivered at shutdown.", n, n == 1 ? " was" : "s were");
    else
      LogFormat("%zu alert%s not delivered to %s at shutdown; %s at the next start.", n,
                n == 1 ? " was" : "s were", out.shown.c_str(), n == 1 ? "it goes out" : "they go out");
  }
  // The last tidy writes what is still owed.
  files_->Stop(std::chrono::milliseconds(0));
}

void Center::addOutput(std::string name, std::string shown, std::function<bool(const Alert&)> send,
                       std::function<void()> abort) {
  auto out = std::make_unique<Output>();
  out->name = std::move(name);
  out->shown = std::move(shown);
  out->send = std::move(send);
  out->abort = std::move(abort);
  Output* target = out.get();
  out->queue = std::make_unique<AlertQueue>(
      settings_.queueCapacity, [this, target](const QueuedAlert& item) { deliver(*target, item); },
      AlertQueue::Tidy());
  std::lock_guard<std::mutex> hold(lock_);
  outputs_.push_back(std::move(out));
}

void Center::addCommand() {
  if (settings_.command.empty()) return;
  std::vector<std::string> args;
  std::string error;
  if (!SplitCommandLine(settings_.command, args, error)) {
    LogFormat("The alert command '%s' can not be read (%s); no command runs for alerts.",
              settings_.command.c_str(), error.c_str());
    return;
  }
  if (args.empty()) return;
  auto command =
      std::make_shared<CommandSink>(std::move(args), std::chrono::milliseconds(settings_.commandLimitMs));
  addOutput(
      kCommandOutput, "the alert command", [command](const Alert& a) { return command->Run(a); },
      [command] { command->Abort(); });
}

// Alerts.txt holds the alerts of one day: those of an earlier run today
// stay, older ones go at the next write (at once when there are any).
void Center::keepTodaysRows() {
  std::string text;
  if (!readFile(kAlertReportFile, text)) return;
  const std::string today = localTime(now()).substr(0, 11);
  std::size_t from = 0;
  bool first = true;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    const std::string row = text.substr(from, end - from) + "\n";
    from = end + 1;
    if (row.compare(0, today.size(), today) == 0)
      dayRows_.push_back(row);
    else if (!first)
      reportChanged_ = true;
    first = false;
  }
}

// What an earlier run raised but did not deliver to every output goes to
// the outputs still owed it, before anything new. An output this run does
// not have (the command was switched off) is owed nothing any more.
void Center::restorePending() {
  std::string text;
  if (!readFile(kAlertPendingFile, text)) return;
  std::size_t skipped = 0;
  std::vector<PendingAlert> read = ParsePendingAlerts(text, skipped);
  std::map<std::string, std::size_t> restored;
  std::map<std::string, std::size_t> dropped;
  std::lock_guard<std::mutex> hold(lock_);
  for (PendingAlert& p : read) {
    // Written before Alerts.state: a run that ended between the two never
    // raises it again.
    if (memory_.Remember(p.alert.symbol, p.eventKey, p.dateKey)) memoryChanged_ = true;
    std::vector<Output*> targets;
    std::vector<std::string> names;
    for (const std::string& name : p.outputs) {
      const auto out = std::find_if(outputs_.begin(), outputs_.end(),
                                    [&](const auto& o) { return !o->name.empty() && o->name == name; });
      if (out == outputs_.end()) {
        ++dropped[name];
        continue;
      }
      targets.push_back(out->get());
      names.push_back(name);
      ++restored[(*out)->shown];
    }
    if (names.empty()) continue;
    const std::uint64_t id = nextId_++;
    p.outputs = names;
    const Alert alert = p.alert;
    owed_.emplace(id, std::move(p));
    for (Output* out : targets) queueFor(*out, {alert, id});
  }
  pendingChanged_ = true;  // rewritten as deliveries settle, or removed
  if (skipped > 0)
    LogFormat("%s: %zu line%s can not be read and %s skipped.", kAlertPendingFile, skipped,
              skipped == 1 ? "" : "s", skipped == 1 ? "is" : "are");
  for (const auto& [shown, n] : restored)
    LogFormat("%zu alert%s of an earlier run go%s out to %s now.", n, n == 1 ? "" : "s", n == 1 ? "es" : "",
              shown.c_str());
  for (const auto& [name, n] : dropped)
    LogFormat("%s: %zu alert%s owed to '%s' %s dropped: this run has no such output.", kAlertPendingFile, n,
              n == 1 ? "" : "s", name.c_str(), n == 1 ? "is" : "are");
}

bool Center::readFile(const char* name, std::string& text) const {
  const AlertFileRead read = ReadAlertFile(path(name), text);
  if (read == AlertFileRead::kNotRegular) LogMessage(NotRegularFileText(path(name)));
  return read == AlertFileRead::kRead;
}

void Center::logOnce(const std::string& text) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!said_.insert(text).second) return;
  }
  LogMessage(text);
}

void Center::AddSink(std::shared_ptr<AlertSink> sink) {
  if (sink == nullptr) return;
  addOutput({}, {}, [sink](const Alert& a) {
    sink->Deliver(a);
    return true;
  });
}

std::vector<Alert> Center::Recent() const {
  std::lock_guard<std::mutex> hold(lock_);
  return std::vector<Alert>(recent_.rbegin(), recent_.rend());
}

void Center::ListLoaded(const SecurityStore& store) {
  std::vector<PriceRule> rules;
  std::vector<std::string> problems;
  ReadAlertRules(path(kAlertRulesFile), rules, problems);
  for (const std::string& p : problems) logOnce(p);
  std::set<std::string> listed;
  for (int i = 0; i < store.count(); ++i) listed.insert(upper(store.entry(i).displaySymbol()));
  std::map<std::string, std::vector<PriceRule>> bySymbol;
  std::size_t unlisted = 0;
  for (PriceRule& rule : rules) {
    // The rule names the security as List.dat does (^GSPC); the list shows
    // some by other names (SP500).
    SecurityData probe;
    const bool named = InitSecurityEntry(probe, rule.symbol.c_str(), kRealTimeYahoo);
    const std::string shown = upper(probe.displaySymbol);
    if (named && listed.count(shown) > 0) {
      bySymbol[shown].push_back(std::move(rule));
    } else if (++unlisted <= kShownRuleProblems) {
      logOnce(std::string(kAlertRulesFile) + " line " + std::to_string(rule.line) + ": " + rule.symbol +
              " is not in the security list; the rule is not checked.");
    }
  }
  // A file of thousands of such rules gives a few lines and one count.
  if (unlisted > kShownRuleProblems) {
    const std::size_t more = unlisted - kShownRuleProblems;
    char text[160];
    std::snprintf(text, sizeof text, "%s: %zu more %s not in the security list; %s not checked.",
                  kAlertRulesFile, more, more == 1 ? "rule names a security" : "rules name securities",
                  more == 1 ? "it is" : "they are");
    logOnce(text);
  }
  std::lock_guard<std::mutex> hold(lock_);
  rules_ = std::move(bySymbol);
}

void Center::SecurityLoaded(const SecurityData& data, std::span<const QuoteBar> history, int confirmDays) {
  consider(data, SignalEvents(barsOf(data)), PreviousDayEvents(history, data.isIndex != 0, confirmDays));
}

void Center::SecurityRefreshed(const SecurityData& data) { consider(data, SignalEvents(barsOf(data)), {}); }

void Center::consider(const SecurityData& data, std::vector<AlertEvent> events,
                      const std::vector<AlertEvent>& previousDay) {
  const std::string symbol = data.displaySymbol;
  const QuoteBar& newest = data.bars[0];
  std::vector<Alert> raised;
  bool remembered = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    const auto rules = rules_.find(upper(symbol));
    if (rules != rules_.end())
      for (AlertEvent& e : PriceRuleEvents(rules->second, newest)) events.push_back(std::move(e));
    for (const AlertEvent& e : events) {
      if (e.dateKey == 0 || !memory_.Remember(symbol, e.key, e.dateKey)) continue;
      memoryChanged_ = remembered = true;
      if (HasEvent(previousDay, e)) continue;
      Alert alert;
      alert.symbol = symbol;
      alert.kind = e.kind;
      alert.event = e.text;
      alert.barDate = e.barDate;
      alert.price = newest.close;
      alert.change = newest.change;
      alert.changePercent = newest.changePercent;
      alert.time = localTime(now());
      recent_.push_back(alert);
      dayRows_.push_back(AlertReportRow(alert));
      reportChanged_ = true;
      // The outputs that keep what they are owed hold it in Alerts.pending
      // until each has delivered it.
      const std::uint64_t id = nextId_++;
      PendingAlert owed{alert, e.key, e.dateKey, {}};
      for (const auto& out : outputs_)
        if (!out->name.empty()) owed.outputs.push_back(out->name);
      if (!owed.outputs.empty()) {
        owed_.emplace(id, std::move(owed));
        pendingChanged_ = true;
      }
      for (const auto& out : outputs_) queueFor(*out, {alert, id});
      raised.push_back(std::move(alert));
    }
    if (recent_.size() > kRecentAlerts)
      recent_.erase(recent_.begin(), recent_.begin() + static_cast<long>(recent_.size() - kRecentAlerts));
  }
  for (const Alert& a : raised) LogMessage(AlertLogText(a));
  if (remembered) files_->Wake();
}

void Center::queueFor(Output& out, QueuedAlert item) {
  const std::optional<QueuedAlert> dropped = out.queue->Push(std::move(item));
  if (dropped && !out.name.empty()) settle(out.name, dropped->id);
}

// Under lock_: `output` is owed the alert `id` no more.
void Center::settle(const std::string& output, std::uint64_t id) {
  const auto it = owed_.find(id);
  if (it == owed_.end()) return;
  std::erase(it->second.outputs, output);
  if (it->second.outputs.empty()) owed_.erase(it);
  pendingChanged_ = true;
}

// On the output's own thread.
void Center::deliver(Output& out, const QueuedAlert& item) {
  if (!out.send(item.alert) || out.name.empty()) return;
  {
    std::lock_guard<std::mutex> hold(lock_);
    settle(out.name, item.id);
  }
  files_->Wake();
}

// On the file writer's thread: the alerts still owed, the state file and
// the day's list, rewritten whole when they changed. The owed alerts go
// first, so a run that ends between the two writes leaves no alert that
// Alerts.state remembers and no output will ever get.
void Center::tidy() {
  std::string state;
  std::string report;
  std::string pending;
  bool writePending = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (memoryChanged_) state = memory_.Format();
    if (reportChanged_) {
      const std::string today = localTime(now()).substr(0, 11);
      std::erase_if(dayRows_,
                    [&](const std::string& row) { return row.compare(0, today.size(), today) != 0; });
      report = AlertReportHeader();
      for (const std::string& row : dayRows_) report += row;
    }
    if (pendingChanged_ && !owed_.empty()) {
      std::vector<PendingAlert> owed;
      owed.reserve(owed_.size());
      for (const auto& [id, p] : owed_) owed.push_back(p);
      pending = FormatPendingAlerts(owed);
    }
    writePending = pendingChanged_;
    memoryChanged_ = false;
    reportChanged_ = false;
    pendingChanged_ = false;
  }
  const auto write = [&](const char* name, const std::string& text, bool durable, bool& said) {
    if (text.empty()) return true;
    const bool ok = WriteFileAtomically(path(name), text, durable);
    if (!ok && !said) LogFormat("Can not write %s; it is tried again with the next alert.", name);
    said = !ok;
    return ok;
  };
  if (writePending) {
    bool ok = true;
    if (!pending.empty()) {
      ok = write(kAlertPendingFile, pending, true, saidPendingFailure_);
    } else if (::unlink(path(kAlertPendingFile).c_str()) != 0 && errno != ENOENT) {
      ok = write(kAlertPendingFile, FormatPendingAlerts({}), true, saidPendingFailure_);
    }
    if (!ok) {
      std::lock_guard<std::mutex> hold(lock_);
      pendingChanged_ = true;
    }
  }
  write(kAlertStateFile, state, true, saidStateFailure_);
  write(kAlertReportFile, report, false, saidReportFailure_);
}

}  // namespace

namespace {

// A command limit in milliseconds, 1 or more.
bool parseCommandLimit(const char* text, int& ms) {
  if (text == nullptr || *text == '\0') return false;
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 1 || value > INT_MAX) return false;
  ms = static_cast<int>(value);
  return true;
}

}  // namespace

AlertSettings AlertSettingsFrom(const SystemConfig& config) {
  AlertSettings settings;
  settings.command = config.AlertCommand;
  settings.jsonLines = config.AlertsJsonl;
  const char* limit = std::getenv(kAlertCommandLimitVariable);
  if (limit != nullptr && *limit != '\0' && !parseCommandLimit(limit, settings.commandLimitMs))
    LogFormat("%s must be a number of milliseconds, not '%s'; the limit stays %d ms.",
              kAlertCommandLimitVariable, limit, kAlertCommandLimitMs);
  return settings;
}

std::unique_ptr<AlertCenter> MakeAlertCenter(const AlertSettings& settings) {
  return std::make_unique<Center>(settings);
}

}  // namespace velmora
