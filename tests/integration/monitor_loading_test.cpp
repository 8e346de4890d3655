// velmora-monitor loading from the real quote-standin in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::BinPath;
using test::ChildProcess;
using test::CountIn;
using test::FileExists;
using test::IndexIn;
using test::MonitorLog;
using test::ReadFile;
using test::SplitLines;
using test::StandinServer;
using test::TempFolder;
using test::WriteFile;

const char* const kDisplayed[24] = {"DJIA",   "SP500",  "NASDAQ",  "^NDX",      "^GSPTSE", "^FTSE",
                                    "^CDAXX", "^FCHI",  "^MTMS",   "^AORD",     "^N225",   "^HSI",
                                    "^TWII",  "^STI",   "^KS11",   "^BSESN",    "^SSEC",   "MSFT",
                                    "IBM",    "RIM.TO", "0001.HK", "600988.SS", "ABU.L",   "ADCG.DE"};

std::string firstWord(const std::string& row) {
  const auto from = row.find_first_not_of(' ');
  return from == std::string::npos ? "" : row.substr(from, row.find(' ', from) - from);
}

TEST(MonitorLoading, DefaultListOnFourThreadsGivesCompleteReportsFilesAndLog) {
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  TempFolder folder;
  test::WriteMonitorConfig(folder, standin.port(),
                           "ThreadLoadQuoteNum=4\nQuoteInterval=0\nStartRealTimeQuoteLoader=Yes");
  ChildProcess monitor({BinPath("velmora-monitor"), "--passes", "1", "--progress"}, folder.path());
  std::vector<std::string> out;
  ASSERT_EQ(test::RunToEnd(monitor, out), 0);

  // The default list was written, and every security is in the status
  // report, in list order, with a loaded quote.
  EXPECT_EQ(SplitLines(ReadFile(folder.file("List.dat"))).size(), 24u);
  const auto status = SplitLines(ReadFile(folder.file("Status.txt")));
  ASSERT_EQ(status.size(), 26u);
  EXPECT_EQ(status[0], "");
  EXPECT_EQ(status[1].substr(0, 17), "  Symbol     Time");
  for (int i = 0; i < 24; ++i) {
    const std::string& row = status[static_cast<std::size_t>(i) + 2];
    EXPECT_EQ(firstWord(row), kDisplayed[i]);
    EXPECT_NE(row.substr(8, 9), std::string(9, ' ')) << row;  // a quote time
  }
  for (const char* name : {"SecurityWithBuySignal.txt", "SecurityWithSellSignal.txt",
                           "SecurityWithTrendChangedUp.txt", "SecurityWithTrendChangedDown.txt"}) {
    const auto lines = SplitLines(ReadFile(folder.file(name)));
    ASSERT_GE(lines.size(), 2u) << name;
    EXPECT_EQ(lines[1], status[1]) << name;
  }
  for (const char* symbol : kDisplayed) {
    const std::string csv = ReadFile(folder.file(std::string(symbol) + ".csv"));
    EXPECT_GT(SplitLines(csv).size(), 700u) << symbol;  // three years of trading days
    EXPECT_EQ(ReadFile(folder.file(std::string(symbol) + ".txt"))
                  .rfind("File Name: " + std::string(symbol) + ".txt\n\n", 0),
              0u);
  }
  for (const auto& item : std::filesystem::directory_iterator(folder.path()))
    EXPECT_NE(item.path().filename().string().rfind("aaa", 0), 0u) << item.path();

  const auto log = MonitorLog(folder);
  ASSERT_GE(log.size(), 5u);
  EXPECT_EQ(log.front(), "Trevanta Software started.");
  EXPECT_EQ(log.back(), "Trevanta Software finished.");
  for (const char* line : {"Thread 1 ceased.", "Thread 2 ceased.", "Thread 3 ceased."})
    EXPECT_EQ(CountIn(log, line), 1) << line;
  EXPECT_EQ(IndexIn(log, "Thread 4 ceased."), -1);  // 24 securities fill three shares of 10

  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.front(), "Initializing Trevanta Software ......");
  EXPECT_GE(IndexIn(out, "Loading history quote for symbol DJIA ......"), 0);
  EXPECT_GE(IndexIn(out, "Securities loaded: 24 of 24"), 0);
  EXPECT_GE(IndexIn(out, "Current active thread number: 3"), IndexIn(out, "Securities loaded: 24 of 24"));
  EXPECT_GT(IndexIn(out, "Please wait until loading quote threads finish ......"),
            IndexIn(out, "Current active thread number: 3"));
}

TEST(MonitorLoading, UnknownSymbolTriedThreeTimesASecondApartAndSkippedAfterwards) {
  TempFolder folder;
  const std::string requests = folder.file("requests.log");
  StandinServer standin({"--fault", "ZZZZ=404", "--request-log", requests});
  ASSERT_TRUE(standin.ok());
  test::WriteMonitorConfig(folder, standin.port(), "ThreadLoadQuoteNum=1\nQuoteInterval=0");
  WriteFile(folder.file("List.dat"), "MSFT\nZZZZ\nIBM\n");
  ChildProcess monitor({BinPath("velmora-monitor"), "--passes", "3"}, folder.path());
  std::vector<std::string> out;
  ASSERT_EQ(test::RunToEnd(monitor, out), 0);

  std::vector<double> tries;
  int quotesOfUnknown = 0;
  int quotesOfKnown = 0;
  for (const auto& r : test::ReadRequestLog(requests)) {
    if (r.symbol == "ZZZZ" && r.path == "/table.csv") tries.push_back(r.seconds);
    if (r.symbol == "ZZZZ" && r.path == "/d/quotes.csv") ++quotesOfUnknown;
    if (r.symbol == "IBM" && r.path == "/d/quotes.csv") ++quotesOfKnown;
  }
  ASSERT_EQ(tries.size(), 3u);
  EXPECT_GE(tries[1] - tries[0], 0.9);
  EXPECT_GE(tries[2] - tries[1], 0.9);
  EXPECT_EQ(quotesOfUnknown, 0);
  EXPECT_GE(quotesOfKnown, 2 * 3);  // the history quote and two real-time passes, two records each

  const auto log = MonitorLog(folder);
  EXPECT_EQ(CountIn(log, "Symbol ZZZZ not found."), 1);
  EXPECT_FALSE(FileExists(folder.file("ZZZZ.csv")));
}

TEST(MonitorLoading, ThreeFailedSecuritiesEndOneThreadWhileTheOtherGoesOn) {
  TempFolder folder;
  std::string list;
  for (int i = 0; i < 20; ++i) list += "AB" + std::to_string(10 + i) + "\n";
  WriteFile(folder.file("List.dat"), list);
  // AB11, AB14 and AB17 answer with empty bodies: "Failed".
  StandinServer standin({"--fault", "AB11=empty", "--fault", "AB14=empty", "--fault", "AB17=empty"});
  ASSERT_TRUE(standin.ok());
  test::WriteMonitorConfig(folder, standin.port(), "ThreadLoadQuoteNum=2\nQuoteInterval=0");
  test::ScopedVariable retry("VELMORA_RETRY_PAUSE_MS", "20");
  ChildProcess monitor({BinPath("velmora-monitor"), "--passes", "3"}, folder.path());
  std::vector<std::string> out;
  ASSERT_EQ(test::RunToEnd(monitor, out), 0);

  const auto log = MonitorLog(folder);
  const int first = IndexIn(log, "Thread 1 failed to process history quote of AB11.Total failed: 1");
  const int second = IndexIn(log, "Thread 1 failed to process history quote of AB14.Total failed: 2");
  const int third = IndexIn(log, "Thread 1 failed to process history quote of AB17.Total failed: 3");
  const int ceased = IndexIn(log, "Thread 1 ceased.");
  ASSERT_GE(first, 0);
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
  EXPECT_LT(third, ceased);
  EXPECT_LT(ceased, IndexIn(log, "Thread 2 ceased."));  // the other one ran on until shutdown
  EXPECT_TRUE(FileExists(folder.file("AB16.csv")));
  EXPECT_FALSE(FileExists(folder.file("AB18.csv")));  // the rest of the first share is given up
  for (int i = 20; i < 30; ++i) EXPECT_TRUE(FileExists(folder.file("AB" + std::to_string(i) + ".csv"))) << i;
}

TEST(MonitorLoading, QuoteIntervalZeroRunsPassesBackToBack) {
  TempFolder folder;
  const std::string requests = folder.file("requests.log");
  StandinServer standin({"--request-log", requests});
  ASSERT_TRUE(standin.ok());
  test::WriteMonitorConfig(folder, standin.port(), "ThreadLoadQuoteNum=1\nQuoteInterval=0");
  WriteFile(folder.file("List.dat"), "MSFT\nIBM\n");
  const auto before = std::chrono::steady_clock::now();
  ChildProcess monitor({BinPath("velmora-monitor"), "--passes", "6"}, folder.path());
  std::vector<std::string> out;
  ASSERT_EQ(test::RunToEnd(monitor, out), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);

  int msftQuotes = 0;
  for (const auto& r : test::ReadRequestLog(requests))
    msftQuotes += r.symbol == "MSFT" && r.path == "/d/quotes.csv";
  EXPECT_GE(msftQuotes, 2 * 6);
  for (const auto& line : MonitorLog(folder)) EXPECT_EQ(line.find("is sleeping"), std::string::npos) << line;
}

TEST(MonitorLoading, StatusReportIsNeverMissingOrPartialWhilePassesRewriteIt) {
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  TempFolder folder;
  test::WriteMonitorConfig(folder, standin.port(), "ThreadLoadQuoteNum=4\nQuoteInterval=0");
  ChildProcess monitor({BinPath("velmora-monitor")}, folder.path());
  ASSERT_TRUE(test::WaitForLog(folder, "Trevanta Software started."));
  ASSERT_TRUE(test::WaitUntilFile(folder.file("Status.txt")));

  // Reads until passes have rewritten it twice (a busy machine may take a
  // while), every read whole.
  std::set<std::string> versions;
  int reads = 0;
  const auto until = std::chrono::steady_clock::now() + 120s;
  while (versions.size() < 3 && std::chrono::steady_clock::now() < until) {
    const std::string text = ReadFile(folder.file("Status.txt"));
    ++reads;
    ASSERT_FALSE(text.empty()) << "missing after " << reads << " reads";
    ASSERT_EQ(text.back(), '\n');
    ASSERT_EQ(SplitLines(text).size(), 26u) << text;
    versions.insert(text);
  }
  monitor.Signal(SIGTERM);
  EXPECT_EQ(monitor.Wait(30s), 0);
  EXPECT_GE(versions.size(), 3u);
}

// A Config.ini written by an editor of this system: LF line ends, the last
// line without one, a comment and a misspelt key.
TEST(MonitorLoading, ConfigWithLinuxLineEndsIsReadAndItsProblemsLogged) {
  StandinServer standin;
  ASSERT_TRUE(standin.ok());
  TempFolder folder;
  const std::string base = "http://127.0.0.1:" + std::to_string(standin.port());
  const std::string config =
      "# quotes from the stand-in\n"
      "YahooRealTimeQuoteSpreadSheetURL=" +
      base +
      "/d/quotes.csv\n"
      "YahooHistoryQuoteSpreadSheetURL=" +
      base +
      "/table.csv\n"
      "ThreadLoadQuotesNum=2\n"
      "ShowVolume=1\n"
      "StartRealTimeQuoteLoader=yes";
  WriteFile(folder.file("Config.ini"), config);
  WriteFile(folder.file("List.dat"), "MSFT\nIBM\n");
  const test::ProgramOutcome run = test::RunProgram("velmora-monitor", {"--passes", "1"}, folder.path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_GT(SplitLines(ReadFile(folder.file("MSFT.csv"))).size(), 700u);
  const auto log = MonitorLog(folder);
  EXPECT_EQ(
      CountIn(log, "Config.ini line 4: \"ThreadLoadQuotesNum=2\" names no setting; the line is ignored."), 1);
  EXPECT_EQ(ReadFile(folder.file("Config.ini")), config);  // a run never rewrites the user's file
}

}  // namespace
}  // namespace velmora
