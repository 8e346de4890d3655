#include "monitor/alert_center.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>

#include "base/atomic_file.h"
#include "base/log.h"
#include "monitor/alert_events.h"
#include "monitor/alert_memory.h"
#include "monitor/alert_queue.h"
#include "monitor/alert_rules.h"
#include "monitor/alert_sinks.h"
#include "monitor/security_store.h"

namespace velmora {

namespace {

// Recent() keeps this many alerts, far more than a day of a full list brings.
constexpr std::size_t kRecentAlerts = 10000;

std::atomic<AlertCenter*> processCenter{nullptr};

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

class Center final : public AlertCenter {
 public:
  explicit Center(const AlertSettings& settings);
  ~Center() override;

  void AddSink(std::shared_ptr<AlertSink> sink) override;
  std::vector<Alert> Recent() const override;
  void ListLoaded(const SecurityStore& store) override;
  void SecurityLoaded(const SecurityData& data, std::span<const QuoteBar> history, int confirmDays) override;
  void SecurityRefreshed(const SecurityData& data) override;

 private:
  std::string path(const char* name) const {
    return settings_.folder.empty() || settings_.folder == "." ? name : settings_.folder + "/" + name;
  }
  std::time_t now() const { return settings_.clock ? settings_.clock() : std::time(nullptr); }
  void addCommand();
  void keepTodaysRows();
  void logOnce(const std::string& text);
  // Raises the events not raised before; those `previousDay` holds were
  // there the evening before and are only remembered.
  void consider(const SecurityData& data, std::vector<AlertEvent> events,
                const std::vector<AlertEvent>& previousDay);
  void deliver(const QueuedAlert& item);
  void tidy();

  const AlertSettings settings_;
  std::shared_ptr<CommandSink> command_;
  mutable std::mutex lock_;
  // Under lock_:
  AlertMemory memory_;
  bool memoryChanged_ = false;
  std::vector<Alert> recent_;         // oldest first
  std::vector<std::string> dayRows_;  // the rows of Alerts.txt
  bool reportChanged_ = false;
  bool saidStateFailure_ = false;
  bool saidReportFailure_ = false;
  std::map<std::string, std::vector<PriceRule>> rules_;  // by display symbol in upper case
  std::set<std::string> said_;                           // log lines given once
  std::vector<std::shared_ptr<AlertSink>> sinks_;
  // Last: its thread uses everything above.
  std::unique_ptr<AlertQueue> queue_;
};

Center::Center(const AlertSettings& settings) : settings_(settings) {
  memory_.Load(path(kAlertStateFile));
  keepTodaysRows();
  if (!settings_.jsonLines.empty()) sinks_.push_back(std::make_shared<JsonLinesSink>(settings_.jsonLines));
  addCommand();
  queue_ = std::make_unique<AlertQueue>(
      settings_.queueCapacity, [this](const QueuedAlert& item) { deliver(item); }, [this] { tidy(); });
  if (reportChanged_) queue_->Wake();
}

Center::~Center() {
  queue_->Stop(std::chrono::milliseconds(settings_.stopGraceMs), [this] {
    if (command_) command_->Abort();
  });
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
  command_ =
      std::make_shared<CommandSink>(std::move(args), std::chrono::milliseconds(settings_.commandLimitMs));
  sinks_.push_back(command_);
}

// Alerts.txt holds the alerts of one day: those of an earlier run today
// stay, older ones go at the next write (at once when there are any).
void Center::keepTodaysRows() {
  std::string text;
  if (!ReadWholeFile(path(kAlertReportFile), text)) return;
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

void Center::logOnce(const std::string& text) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (!said_.insert(text).second) return;
  }
  LogMessage(text);
}

void Center::AddSink(std::shared_ptr<AlertSink> sink) {
  if (sink == nullptr) return;
  std::lock_guard<std::mutex> hold(lock_);
  sinks_.push_back(std::move(sink));
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
  for (PriceRule& rule : rules) {
    // The rule names the security as List.dat does (^GSPC); the list shows
    // some by other names (SP500).
    SecurityData probe;
    const bool named = InitSecurityEntry(probe, rule.symbol.c_str(), kRealTimeYahoo);
    const std::string shown = upper(probe.displaySymbol);
    if (named && listed.count(shown) > 0) {
      bySymbol[shown].push_back(std::move(rule));
    } else {
      logOnce(std::string(kAlertRulesFile) + " line " + std::to_string(rule.line) + ": " + rule.symbol +
              " is not in the security list; the rule is not checked.");
    }
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
      queue_->Push({alert, sinks_.size()});
      raised.push_back(std::move(alert));
    }
    if (recent_.size() > kRecentAlerts)
      recent_.erase(recent_.begin(), recent_.begin() + static_cast<long>(recent_.size() - kRecentAlerts));
  }
  for (const Alert& a : raised) LogMessage(AlertLogText(a));
  if (remembered) queue_->Wake();
}

void Center::deliver(const QueuedAlert& item) {
  std::vector<std::shared_ptr<AlertSink>> sinks;
  {
    std::lock_guard<std::mutex> hold(lock_);
    sinks.assign(sinks_.begin(), sinks_.begin() + static_cast<long>(std::min(item.sinks, sinks_.size())));
  }
  for (const auto& sink : sinks) sink->Deliver(item.alert);
}

// On the delivery thread: the state file and the day's list, rewritten
// whole when they changed.
void Center::tidy() {
  std::string state;
  std::string report;
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
    memoryChanged_ = false;
    reportChanged_ = false;
  }
  const auto write = [&](const char* name, const std::string& text, bool durable, bool& said) {
    if (text.empty()) return;
    const bool ok = WriteFileAtomically(path(name), text, durable);
    if (!ok && !said) LogFormat("Can not write %s; it is tried again with the next alert.", name);
    said = !ok;
  };
  write(kAlertStateFile, state, true, saidStateFailure_);
  write(kAlertReportFile, report, false, saidReportFailure_);
}

}  // namespace

AlertCenter* ProcessAlertCenter() { return processCenter.load(); }

void SetProcessAlertCenter(AlertCenter* center) { processCenter.store(center); }

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
