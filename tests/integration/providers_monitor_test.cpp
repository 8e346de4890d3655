// velmora-monitor loading its list from the market-data providers that the
// real quote-standin serves: the same local files as the classic services
// give, history that only asks for what is new, fallback and rate budgets.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "net/raw_http_server.h"
#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::FileExists;
using test::ReadFile;
using test::ScopedVariable;
using test::SplitLines;
using test::StandinServer;
using test::TempFolder;
using test::WriteFile;

// A fixed market day for the stand-in: a Thursday at noon, New York time.
constexpr const char* kNow = "2026-12-03T12:00";
constexpr const char* kKey = "k3y-N0T-T0-BE-L0GGED";

std::string base(const StandinServer& standin) { return standin.baseUrl(); }

// Config.ini for the stand-in with the providers' addresses pointing at it.
void writeConfig(const TempFolder& folder, const StandinServer& standin, const std::string& providers) {
  test::WriteMonitorConfig(folder, standin.port(),
                           "YahooChartURL=" + base(standin) + "\nTiingoURL=" + base(standin) +
                               "\nFinnhubURL=" + base(standin) + "\n" + providers);
}

// The request targets the stand-in logged (the fourth field of each line).
// It logs a request once the answer is sent, so the log is read when it has
// stopped growing.
std::vector<std::string> targets(const std::string& logPath) {
  std::string text = ReadFile(logPath);
  for (int wait = 0; wait < 40; ++wait) {
    std::this_thread::sleep_for(50ms);
    std::string again = ReadFile(logPath);
    if (again == text) break;
    text = std::move(again);
  }
  std::vector<std::string> out;
  for (const std::string& line : SplitLines(text)) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (std::size_t at; (at = line.find(' ', from)) != std::string::npos; from = at + 1)
      fields.push_back(line.substr(from, at - from));
    fields.push_back(line.substr(from));
    if (fields.size() > 3) out.push_back(fields[3]);
  }
  return out;
}

int countStarting(const std::vector<std::string>& list, const std::string& prefix) {
  return static_cast<int>(
      std::count_if(list.begin(), list.end(), [&](const std::string& t) { return t.rfind(prefix, 0) == 0; }));
}

int countWith(const std::vector<std::string>& list, const std::string& part) {
  return static_cast<int>(std::count_if(
      list.begin(), list.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; }));
}

// Besides the four history requests, only the quotes of the real-time
// pass that may start before the run ends: at most one for each security.
void expectOnlyQuotesBesides(const std::vector<std::string>& asked) {
  const int quotes = countWith(asked, "range=5d");
  EXPECT_LE(quotes, 4);
  EXPECT_EQ(countWith(asked, "period1=") + quotes, static_cast<int>(asked.size()));
}

// Seconds between period1 and period2 of a chart request; -1 without them.
long long chartSpan(const std::string& target) {
  const auto p1 = target.find("period1=");
  const auto p2 = target.find("period2=");
  if (p1 == std::string::npos || p2 == std::string::npos) return -1;
  return std::atoll(target.c_str() + p2 + 8) - std::atoll(target.c_str() + p1 + 8);
}

test::ProgramOutcome runMonitor(const TempFolder& folder, const std::string& passes = "1") {
  return test::RunProgram("velmora-monitor", {"--passes", passes}, folder.path(), 120s);
}

// Log lines that hold `text`.
int linesWith(const std::vector<std::string>& log, const std::string& text) {
  return static_cast<int>(std::count_if(
      log.begin(), log.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; }));
}

// No file of the folder holds the key.
void expectKeyNowhere(const TempFolder& folder) {
  for (const char* name : {"Config.ini", "Trevanta Software.log", "Status.txt", "Providers.state"})
    EXPECT_EQ(ReadFile(folder.file(name)).find(kKey), std::string::npos) << name;
}

// The classic service dates the current bar by this machine's day, a
// provider by its quote's own: `name` of `folder` with the classic date.
std::string withClassicQuoteDate(const TempFolder& folder, const TempFolder& classic, const char* name) {
  const auto firstDate = [](const std::string& csv) { return csv.substr(0, csv.find(',')); };
  std::string text = ReadFile(folder.file(name));
  const std::string theirs =
      firstDate(ReadFile(classic.file(std::string(name, std::strlen(name) - 4) + ".csv")));
  const std::string ours =
      firstDate(ReadFile(folder.file(std::string(name, std::strlen(name) - 4) + ".csv")));
  const auto at = text.find(ours);
  if (at != std::string::npos && ours.size() == theirs.size()) text.replace(at, ours.size(), theirs);
  return text;
}

// A request for the days after a local file's newest, seen from a machine
// whose day may be a few days past the stand-in's: far below a history's
// three years.
constexpr long long kNewDaysSpan = 31LL * 86400;

TEST(ProvidersMonitor, YahooChartGivesTheClassicFilesThenAsksOnlyForTheNewDays) {
  TempFolder logs;
  StandinServer standin({"--now", kNow, "--request-log", logs.file("requests.log")});
  ASSERT_TRUE(standin.ok());
  const std::string list = "MSFT\nIBM\n^GSPC\nNASDAQ\n";

  // The classic services, for the files to compare with.
  TempFolder classic;
  WriteFile(classic.file("List.dat"), list);
  test::WriteMonitorConfig(classic, standin.port(), "");
  ASSERT_EQ(runMonitor(classic).status, 0);

  // A long quote interval: a run of one pass is the history pass and at
  // most one real-time pass.
  TempFolder folder;
  WriteFile(folder.file("List.dat"), list);
  writeConfig(folder, standin, "HistoryProvider=YahooChart\nQuoteProvider=YahooChart\nQuoteInterval=3600");
  WriteFile(logs.file("requests.log"), "");
  const test::ProgramOutcome cold = runMonitor(folder);
  ASSERT_EQ(cold.status, 0) << cold.err;
  std::vector<std::string> asked = targets(logs.file("requests.log"));
  // History and the quote of each security come in one request.
  EXPECT_EQ(countWith(asked, "period1="), 4);
  expectOnlyQuotesBesides(asked);
  EXPECT_EQ(countStarting(asked, "/v8/finance/chart/MSFT?period1="), 1);
  EXPECT_EQ(countStarting(asked, "/v8/finance/chart/%5EGSPC?period1="), 1);
  EXPECT_EQ(countStarting(asked, "/v8/finance/chart/%5EIXIC?period1="), 1);
  for (const char* name : {"MSFT.csv", "IBM.csv", "SP500.csv", "NASDAQ.csv", "MSFT.txt"})
    EXPECT_EQ(withClassicQuoteDate(folder, classic, name), ReadFile(classic.file(name))) << name;

  // A warm start: the local files are there, so only the days after their
  // newest (with a week of overlap) are asked for, one request a security.
  WriteFile(logs.file("requests.log"), "");
  const test::ProgramOutcome warm = runMonitor(folder);
  ASSERT_EQ(warm.status, 0) << warm.err;
  asked = targets(logs.file("requests.log"));
  EXPECT_EQ(countWith(asked, "period1="), 4);
  expectOnlyQuotesBesides(asked);
  // From a week before the file's newest day to this machine's today.
  for (const std::string& t : asked) EXPECT_LE(chartSpan(t), kNewDaysSpan) << t;
  for (const char* name : {"MSFT.csv", "IBM.csv", "SP500.csv", "NASDAQ.csv"})
    EXPECT_EQ(withClassicQuoteDate(folder, classic, name), ReadFile(classic.file(name))) << name;
}

TEST(ProvidersMonitor, SplitInTheOverlapReloadsTheWholeHistory) {
  TempFolder logs;
  TempFolder folder;
  WriteFile(folder.file("List.dat"), "MSFT\nIBM\n");
  {
    StandinServer standin({"--now", kNow});
    ASSERT_TRUE(standin.ok());
    writeConfig(folder, standin, "HistoryProvider=YahooChart\nQuoteProvider=YahooChart");
    ASSERT_EQ(runMonitor(folder).status, 0);
  }
  // MSFT split two for one two days before the stand-in's day.
  StandinServer standin(
      {"--now", kNow, "--request-log", logs.file("requests.log"), "--provider-split", "MSFT=2026-12-01:2"});
  ASSERT_TRUE(standin.ok());
  writeConfig(folder, standin, "HistoryProvider=YahooChart\nQuoteProvider=YahooChart");
  const test::ProgramOutcome run = runMonitor(folder);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> asked = targets(logs.file("requests.log"));
  long long msftLongest = 0;
  long long ibmLongest = 0;
  for (const std::string& t : asked) {
    if (t.rfind("/v8/finance/chart/MSFT?period1=", 0) == 0) msftLongest = std::max(msftLongest, chartSpan(t));
    if (t.rfind("/v8/finance/chart/IBM?period1=", 0) == 0) ibmLongest = std::max(ibmLongest, chartSpan(t));
  }
  EXPECT_GT(msftLongest, 365LL * 86400);  // the whole history again
  EXPECT_LE(ibmLongest, kNewDaysSpan);    // only the new days
  EXPECT_GE(linesWith(test::MonitorLog(folder), "full reload"), 1);
}

TEST(ProvidersMonitor, BlockedProviderFallsBackWithOneLogLineAndTheKeyStaysSecret) {
  TempFolder logs;
  StandinServer standin({"--now", kNow, "--request-log", logs.file("requests.log"), "--require-key", kKey,
                         "--provider-fault", "yahoo=challenge"});
  ASSERT_TRUE(standin.ok());
  ScopedVariable key("VELMORA_TIINGO_KEY", kKey);
  TempFolder folder;
  WriteFile(folder.file("List.dat"), "MSFT\nIBM\nAAPL\nORCL\n");
  writeConfig(folder, standin,
              "HistoryProvider=YahooChart\nQuoteProvider=YahooChart\nFallbackProviders=Tiingo");
  const test::ProgramOutcome run = runMonitor(folder);
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* name : {"MSFT.csv", "IBM.csv", "AAPL.csv", "ORCL.csv"})
    EXPECT_TRUE(FileExists(folder.file(name)));
  const std::vector<std::string> asked = targets(logs.file("requests.log"));
  EXPECT_GE(countStarting(asked, "/tiingo/daily/"), 4);
  // Yahoo was asked once, then left alone for its cooling time.
  EXPECT_EQ(countStarting(asked, "/v8/finance/chart/"), 1);
  const std::vector<std::string> log = test::MonitorLog(folder);
  EXPECT_EQ(linesWith(log, "YahooChart"), 1);
  expectKeyNowhere(folder);
}

TEST(ProvidersMonitor, TiingoQuotaAndRefusedKeyGoToTheNextProvider) {
  TempFolder logs;
  StandinServer standin({"--now", kNow, "--request-log", logs.file("requests.log"), "--require-key", kKey,
                         "--provider-fault", "tiingo=quota"});
  ASSERT_TRUE(standin.ok());
  ScopedVariable tiingo("VELMORA_TIINGO_KEY", kKey);
  ScopedVariable finnhub("VELMORA_FINNHUB_KEY", "wrong-key");
  TempFolder folder;
  WriteFile(folder.file("List.dat"), "MSFT\nIBM\n");
  writeConfig(folder, standin,
              "HistoryProvider=Tiingo\nQuoteProvider=Finnhub\nFallbackProviders=YahooChart,Tiingo");
  const test::ProgramOutcome run = runMonitor(folder);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> asked = targets(logs.file("requests.log"));
  EXPECT_EQ(countStarting(asked, "/tiingo/daily/"), 1);  // the quota text, then cooled
  EXPECT_EQ(countStarting(asked, "/api/v1/quote"), 1);   // the refused key, then cooled
  EXPECT_GE(countStarting(asked, "/v8/finance/chart/"), 2);
  EXPECT_TRUE(FileExists(folder.file("MSFT.csv")));
  const std::vector<std::string> log = test::MonitorLog(folder);
  EXPECT_EQ(linesWith(log, "Tiingo"), 1);
  EXPECT_EQ(linesWith(log, "Finnhub"), 1);
  for (const std::string& line : log) EXPECT_EQ(line.find("wrong-key"), std::string::npos) << line;
  expectKeyNowhere(folder);
}

// Providers that echo the key in their error text: the log shows the
// reason with the key masked.
TEST(ProvidersMonitor, AKeyEchoedInAnErrorTextIsMaskedInTheLog) {
  test::RawHttpServer echo([](const std::string& head) {
    std::smatch key;
    std::regex_search(head, key, std::regex("(Token |token=)([^\\r& ]+)"));
    const std::string field = head.find("/api/v1/quote") != std::string::npos ? "error" : "detail";
    return test::RawHttpServer::Answer(
        200, "{\"" + field + "\":\"Error: the key " + key.str(2) + " may not ask for this\"}");
  });
  StandinServer standin({"--now", kNow});
  ASSERT_TRUE(standin.ok());
  ScopedVariable tiingo("VELMORA_TIINGO_KEY", "sekret-123");
  ScopedVariable finnhub("VELMORA_FINNHUB_KEY", "fh-sekret-456");
  ScopedVariable pause("VELMORA_RETRY_PAUSE_MS", "0");
  const struct {
    std::string history;  // Finnhub serves the quotes
    std::string logLine;
  } cases[] = {{"Tiingo", "Tiingo ECHO: bad data (detail: Error: the key *** may not ask for this)."},
               {"YahooChart", "Finnhub ECHO: bad data (error: Error: the key *** may not ask for this)."}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.history);
    TempFolder folder;
    WriteFile(folder.file("List.dat"), "ECHO\n");
    test::WriteMonitorConfig(folder, standin.port(),
                             "YahooChartURL=" + base(standin) + "\nTiingoURL=" + echo.base() +
                                 "\nFinnhubURL=" + echo.base() + "\nHistoryProvider=" + c.history +
                                 "\nQuoteProvider=Finnhub");
    ASSERT_NE(runMonitor(folder).status, -1);
    const std::vector<std::string> log = test::MonitorLog(folder);
    EXPECT_GE(test::CountIn(log, c.logLine), 1);
    for (const std::string& line : log) EXPECT_EQ(line.find("sekret-"), std::string::npos) << line;
  }
}

// Sixteen threads share Finnhub's sixty requests a minute: the provider is
// never asked more often, and Yahoo serves the rest.
TEST(ProvidersMonitorThreads, FinnhubBudgetHoldsAcrossSixteenThreads) {
  TempFolder logs;
  StandinServer standin({"--now", kNow, "--request-log", logs.file("requests.log")});
  ASSERT_TRUE(standin.ok());
  ScopedVariable key("VELMORA_FINNHUB_KEY", kKey);
  constexpr int kSymbols = 80;
  TempFolder folder;
  std::string list;
  for (int i = 0; i < kSymbols; ++i) {
    char symbol[8];
    std::snprintf(symbol, sizeof symbol, "FB%02d", i);
    list += std::string(symbol) + "\n";
  }
  WriteFile(folder.file("List.dat"), list);
  writeConfig(folder, standin,
              "ThreadLoadQuoteNum=16\nQuoteInterval=0\nHistoryProvider=YahooChart\nQuoteProvider=Finnhub\n"
              "FallbackProviders=YahooChart");
  const auto started = std::chrono::steady_clock::now();
  const test::ProgramOutcome run = runMonitor(folder);
  const auto took = std::chrono::steady_clock::now() - started;
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> asked = targets(logs.file("requests.log"));
  const int finnhub = countStarting(asked, "/api/v1/quote");
  EXPECT_GT(finnhub, 0);
  // The run may pass a minute on a slow machine: then a second minute's
  // budget is open to it.
  const int minutes = 1 + static_cast<int>(std::chrono::duration_cast<std::chrono::minutes>(took).count());
  EXPECT_LE(finnhub, 60 * minutes);
  int loaded = 0;
  for (int i = 0; i < kSymbols; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "FB%02d.csv", i);
    loaded += FileExists(folder.file(name)) ? 1 : 0;
  }
  EXPECT_EQ(loaded, kSymbols);
}

}  // namespace
}  // namespace velmora
