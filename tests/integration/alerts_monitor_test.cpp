// Alerts of the real velmora-monitor against the real quote-standin: the
// marks a new trading day brings go once to a command and to JSON lines,
// and never again after a restart; a command that hangs or cannot start
// leaves the monitor running; a slow command holds up no other output and
// what it still owes at the end of a run goes to it at the next; it never
// sees a secret.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "alerts/alert_center.h"
#include "core/chart_dates.h"
#include "monitor/loader_steps.h"
#include "monitor/quote_source.h"
#include "monitor/security_store.h"
#include "support/monitor_process_helpers.h"
#include "support/standin_config.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::StandinServer;
using test::TempFolder;

// Indices: no splits or dividends, so every day's rows are the same
// whichever day the stand-in's clock shows.
const char* const kSymbols[] = {"^GSPC", "^DJI", "^IXIC", "^FTSE", "^N225", "^HSI", "^FCHI", "^STI"};
constexpr const char* kRules = "^DJI above 1\n";
constexpr const char* kRecordScript = "record alert.sh";

std::string listText() {
  std::string text;
  for (const char* s : kSymbols) text += std::string(s) + "\n";
  return text;
}

// "2026-12-07T16:30": after the close of that day.
std::string afterClose(const CalendarDate& d) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT16:30", d.year, d.month, d.day);
  return text;
}

bool weekday(int days) { return (days + 4) % 7 != 6 && (days + 4) % 7 != 0; }  // 1970-01-01 was a Thursday

// An alert as the tests compare them.
std::string keyOf(const std::string& symbol, const std::string& event, const std::string& barDate) {
  return symbol + " | " + event + " | " + barDate;
}

// What a run of velmora-monitor with one loader thread and two passes
// raises on each of two days, found in this process by the loader's own
// steps over the same stand-in days: the history load, then one refresh.
struct Prediction {
  std::vector<std::string> first;
  std::vector<std::string> second;
  bool secondHasSignal = false;
};

void loadDay(const CalendarDate& day, SecurityStore& store, AlertCenter& center) {
  StandinServer standin({"--now", afterClose(day)});
  ASSERT_TRUE(standin.ok());
  const SystemConfig config = test::StandinConfig(standin.baseUrl());
  NetworkQuoteSourceFactory factory(config);
  std::atomic<bool> stop{false};
  SilentLoaderListener listener;
  const std::unique_ptr<QuoteSource> source = factory.Create(stop, listener);
  ASSERT_NE(source, nullptr);
  auto history = std::make_unique<QuoteSeries>();
  for (int i = 0; i < store.count(); ++i) {
    SecurityData data = store.entry(i).Snapshot();
    data.historyLoaded = 0;
    store.entry(i).PublishHistory(data);
    ASSERT_EQ(ProcessSecurityHistory(store.entry(i), *source, *history, std::time(nullptr), 2, &center), 200);
  }
  for (int i = 0; i < store.count(); ++i)
    ASSERT_EQ(ProcessSecurityRealTime(store.entry(i), *source, 2, nullptr, &center), 200);
}

Prediction predict(const CalendarDate& first, const CalendarDate& second) {
  TempFolder scratch;
  test::ScopedCurrentDir here(scratch.path());
  test::WriteFile(kAlertRulesFile, kRules);
  auto store = std::make_unique<SecurityStore>();
  for (const char* s : kSymbols) {
    SecurityData data;
    EXPECT_TRUE(InitSecurityEntry(data, s, kRealTimeYahoo));
    EXPECT_TRUE(store->Append(data));
  }
  AlertSettings settings;
  settings.folder = scratch.path();
  auto center = MakeAlertCenter(settings);
  center->ListLoaded(*store);
  Prediction p;
  loadDay(first, *store, *center);
  const std::vector<Alert> afterFirst = center->Recent();
  loadDay(second, *store, *center);
  const std::vector<Alert> all = center->Recent();  // newest first
  for (std::size_t i = 0; i < all.size(); ++i) {
    const Alert& a = all[all.size() - 1 - i];
    (i < afterFirst.size() ? p.first : p.second).push_back(keyOf(a.symbol, a.event, a.barDate));
    if (i >= afterFirst.size() && a.kind != AlertKind::kAbove) p.secondHasSignal = true;
  }
  return p;
}

std::vector<std::string> jsonKeys(const std::string& path) {
  std::vector<std::string> keys;
  for (const std::string& line : test::SplitLines(test::ReadFile(path))) {
    const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    EXPECT_FALSE(j.is_discarded()) << line;
    if (j.is_discarded()) continue;
    keys.push_back(keyOf(j.value("symbol", ""), j.value("event", ""), j.value("barDate", "")));
    for (const char* field : {"kind", "time"}) EXPECT_TRUE(j.contains(field)) << line;
    for (const char* field : {"price", "change", "changePercent"}) EXPECT_TRUE(j[field].is_number()) << line;
  }
  return keys;
}

std::vector<std::string> sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

int alertLines(const TempFolder& folder) {
  int n = 0;
  for (const std::string& line : test::MonitorLog(folder)) n += line.rfind("Alert: ", 0) == 0 ? 1 : 0;
  return n;
}

test::ProgramOutcome runMonitor(const TempFolder& folder, const std::string& now,
                                const std::vector<std::string>& extra) {
  StandinServer standin({"--now", now});
  EXPECT_TRUE(standin.ok());
  test::WriteMonitorConfig(folder, standin.port(),
                           "ThreadLoadQuoteNum=1\nQuoteInterval=0\nStartRealTimeQuoteLoader=Yes");
  std::vector<std::string> args{"--passes", "2"};
  args.insert(args.end(), extra.begin(), extra.end());
  return test::RunProgram("velmora-monitor", args, folder.path());
}

TEST(AlertsMonitor, ANewDaysMarksGoOnceToTheCommandAndJsonLinesAndNeverAgainAfterARestart) {
  // The stand-in's prices are the same every run, but the monitor asks for
  // the three years up to today, so the days whose close brings a new mark
  // depend on the date: the newest pair of trading days where one does.
  const int today = DaysFromCivil(TodayLocalDate());
  std::vector<int> days;
  for (int d = today - 1; days.size() < 16; --d)
    if (weekday(d)) days.push_back(d);
  CalendarDate first;
  CalendarDate second;
  Prediction expected;
  for (std::size_t i = 0; i + 1 < days.size() && !expected.secondHasSignal; ++i) {
    second = CivilFromDays(days[i]);
    first = CivilFromDays(days[i + 1]);
    expected = predict(first, second);
    if (testing::Test::HasFatalFailure()) return;
  }
  ASSERT_TRUE(expected.secondHasSignal) << "no new mark in the last 16 trading days";

  TempFolder folder;
  test::WriteFile(folder.file("List.dat"), listText());
  test::WriteFile(folder.file(kAlertRulesFile), kRules);
  test::WriteFile(folder.file(kRecordScript),
                  "#!/bin/sh\n"
                  "printf '%s|%s|%s|%s|%s\\n' \"$VELMORA_ALERT_SYMBOL\" \"$VELMORA_ALERT_EVENT\" "
                  "\"$VELMORA_ALERT_PRICE\" \"$VELMORA_ALERT_CHANGE\" \"$VELMORA_ALERT_TIME\" >> \"$1\"\n");
  ASSERT_EQ(::chmod(folder.file(kRecordScript).c_str(), 0755), 0);
  const std::vector<std::string> options{"--alerts-jsonl", "alerts.jsonl", "--alert-command",
                                         "'./record alert.sh' \"commands out.txt\""};

  // The evening of the first day: its own new events (and the price rule).
  test::ProgramOutcome run = runMonitor(folder, afterClose(first), options);
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> delivered = jsonKeys(folder.file("alerts.jsonl"));
  EXPECT_EQ(sorted(delivered), sorted(expected.first));

  // The next evening: what that day brought, nothing of the day before.
  run = runMonitor(folder, afterClose(second), options);
  ASSERT_EQ(run.status, 0) << run.err;
  delivered = jsonKeys(folder.file("alerts.jsonl"));
  ASSERT_EQ(delivered.size(), expected.first.size() + expected.second.size());
  EXPECT_EQ(sorted({delivered.begin() + static_cast<long>(expected.first.size()), delivered.end()}),
            sorted(expected.second));

  // A restart the same evening raises nothing.
  run = runMonitor(folder, afterClose(second), options);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(jsonKeys(folder.file("alerts.jsonl")).size(), delivered.size());
  EXPECT_EQ(alertLines(folder), static_cast<int>(delivered.size()));

  // The command saw each alert in the same order, with "C" numbers.
  const auto commands = test::SplitLines(test::ReadFile(folder.file("commands out.txt")));
  ASSERT_EQ(commands.size(), delivered.size());
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const std::string symbol = commands[i].substr(0, commands[i].find('|'));
    EXPECT_EQ(delivered[i].rfind(symbol + " | ", 0), 0u) << commands[i];
    EXPECT_NE(commands[i].find('.'), std::string::npos) << commands[i];
  }
  // The day's list holds them all (all were raised today).
  const auto rows = test::SplitLines(test::ReadFile(folder.file(kAlertReportFile)));
  EXPECT_EQ(rows.size(), delivered.size() + 1);
  EXPECT_TRUE(test::FileExists(folder.file(kAlertStateFile)));
}

TEST(AlertsMonitor, ACommandThatHangsOrCanNotStartIsLoggedAndTheMonitorCarriesOn) {
  test::ScopedVariable limit(kAlertCommandLimitVariable, "300");
  const struct {
    std::string option;   // --alert-command, or none for Config.ini's key
    std::string logLine;  // for each of the two alerts
  } cases[] = {
      {"sleep 30", "Alert command 'sleep 30' did not end within 300 ms and was killed."},
      {"", "Alert command './no-such-program --flag' could not start: No such file or directory."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logLine);
    TempFolder folder;
    test::WriteFile(folder.file("List.dat"), "^DJI\n^GSPC\n");
    test::WriteFile(folder.file(kAlertRulesFile), "^DJI above 1\n^GSPC above 1\n");
    StandinServer standin;
    ASSERT_TRUE(standin.ok());
    test::WriteMonitorConfig(
        folder, standin.port(),
        "QuoteInterval=0\nAlertCommand=./no-such-program --flag\nAlertsJsonl=from-config.jsonl");
    std::vector<std::string> args{"--passes", "1"};
    if (!c.option.empty()) args.insert(args.end(), {"--alert-command", c.option});
    const test::ProgramOutcome run = test::RunProgram("velmora-monitor", args, folder.path());
    ASSERT_EQ(run.status, 0) << run.err;
    const auto log = test::MonitorLog(folder);
    EXPECT_EQ(test::CountIn(log, c.logLine), 2);
    EXPECT_EQ(test::CountIn(log, "Trevanta Software finished."), 1);
    EXPECT_EQ(test::SplitLines(test::ReadFile(folder.file("from-config.jsonl"))).size(), 2u);
    EXPECT_EQ(test::SplitLines(test::ReadFile(folder.file("Status.txt"))).size(), 4u);
  }
}

// "SYMBOL|EVENT" of each JSON line.
std::vector<std::string> jsonSymbolEvents(const TempFolder& folder) {
  std::vector<std::string> out;
  for (const std::string& line : test::SplitLines(test::ReadFile(folder.file("alerts.jsonl")))) {
    const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
    out.push_back(j.is_discarded() ? line : j.value("symbol", "") + "|" + j.value("event", ""));
  }
  return sorted(out);
}

// Every alert reaches the JSON lines at once; what the command has not done
// when --alert-wait runs out goes to it, and only to it, at the next run.
// Neither it nor the log ever sees a key, a token or a password.
TEST(AlertsMonitor, ASlowCommandHoldsNoOtherOutputGetsWhatItOwesOnceAtTheNextRunAndSeesNoSecret) {
  const std::pair<const char*, const char*> secrets[] = {{"VELMORA_TIINGO_KEY", "SECRETKEY123"},
                                                         {"VELMORA_WEB_TOKEN", "web-token-0123456789abcdef"},
                                                         {"MAIL_PASSWORD", "hunter2hunter2"}};
  std::vector<std::unique_ptr<test::ScopedVariable>> set;
  for (const auto& [name, value] : secrets)
    set.push_back(std::make_unique<test::ScopedVariable>(name, value));
  TempFolder folder;
  test::WriteFile(folder.file("List.dat"), "^DJI\n^GSPC\n^IXIC\n^FTSE\n");
  test::WriteFile(folder.file(kAlertRulesFile),
                  "^DJI above 1\n^GSPC above 1\n^IXIC above 1\n^FTSE above 1\n");
  // It shows the environment's lines that matter, and records an alert only
  // when it is done, as a real notifier would.
  test::WriteFile(folder.file("slow.sh"),
                  "#!/bin/sh\nenv | grep -e VELMORA -e PASSWORD\nsleep 2\n"
                  "echo \"$VELMORA_ALERT_SYMBOL|$VELMORA_ALERT_EVENT\" >> commands.txt\n");
  ASSERT_EQ(::chmod(folder.file("slow.sh").c_str(), 0755), 0);
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  test::WriteMonitorConfig(folder, standin.port(), "QuoteInterval=0");
  std::vector<std::string> args{"--passes",        "1",        "--alerts-jsonl", "alerts.jsonl",
                                "--alert-command", "./slow.sh"};
  args.insert(args.end(), {"--alert-wait", "1"});
  test::ProgramOutcome run = test::RunProgram("velmora-monitor", args, folder.path());
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> raised = jsonSymbolEvents(folder);
  ASSERT_EQ(static_cast<int>(raised.size()), alertLines(folder));
  ASSERT_GE(raised.size(), 4u);
  EXPECT_LT(test::SplitLines(test::ReadFile(folder.file("commands.txt"))).size(), raised.size());
  EXPECT_TRUE(test::FileExists(folder.file("Alerts.pending")));

  // The next run raises nothing new and, waiting as long as it needs, gives the command the rest.
  args.resize(args.size() - 2);
  run = test::RunProgram("velmora-monitor", args, folder.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(alertLines(folder), static_cast<int>(raised.size()));
  EXPECT_EQ(jsonSymbolEvents(folder), raised);
  EXPECT_EQ(sorted(test::SplitLines(test::ReadFile(folder.file("commands.txt")))), raised);
  EXPECT_FALSE(test::FileExists(folder.file("Alerts.pending")));
  const auto log = test::MonitorLog(folder);
  EXPECT_GE(test::CountIn(log, "Alert command: VELMORA_ALERT_SYMBOL=DJIA"), 1);
  for (const std::string& line : log)
    for (const auto& [name, value] : secrets)
      EXPECT_TRUE(line.find(name) == std::string::npos && line.find(value) == std::string::npos) << line;
}

}  // namespace
}  // namespace velmora
