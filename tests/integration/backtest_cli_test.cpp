// velmora-analyze --backtest and velmora-backtest run as real programs, on
// history files that velmora-monitor loaded from the real quote-standin.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "backtest/backtest_series.h"
#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::BinPath;
using test::ChildProcess;
using test::FileExists;
using test::ReadFile;
using test::SplitLines;
using test::TempFolder;
using test::WriteFile;

using Outcome = test::ProgramOutcome;

Outcome run(const std::string& program, const std::vector<std::string>& args, const std::string& dir = "") {
  return test::RunProgram(program, args, dir);
}

// The parts of a line between separators (runs of blanks count as one
// with ' ').
std::vector<std::string> fields(const std::string& line, char separator = ',') {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string part; std::getline(in, part, separator);)
    if (separator != ' ' || !part.empty()) out.push_back(part);
  if (separator == ',' && !line.empty() && line.back() == ',') out.push_back("");
  return out;
}

std::vector<std::string> words(const std::string& line) { return fields(line, ' '); }

// A newest-first history file of `n` generated market days.
std::string marketFile(int n, std::uint32_t seed) {
  return test::HistoryFileText(test::DatedMarketBars(n, seed));
}

// Today as MM/DD/YYYY.
std::string today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%m/%d/%Y", &local);
  return text;
}

// Four securities loaded by velmora-monitor from the stand-in, one of
// them an index (^DJI, kept as DJIA.csv).
class LoadedListThreads : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempFolder;
    test::StandinServer standin;
    ASSERT_TRUE(standin.ok());
    test::WriteMonitorConfig(*folder_, standin.port(), "ThreadLoadQuoteNum=2\nQuoteInterval=0");
    WriteFile(folder_->file("List.dat"), "MSFT\nIBM\n^DJI\nORCL\n");
    ChildProcess monitor({BinPath("velmora-monitor"), "--passes", "1"}, folder_->path());
    std::vector<std::string> out;
    ASSERT_EQ(test::RunToEnd(monitor, out, 60s), 0);
    for (const char* file : {"MSFT.csv", "IBM.csv", "DJIA.csv", "ORCL.csv"})
      ASSERT_TRUE(FileExists(folder_->file(file))) << file;
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static TempFolder* folder_;
};
TempFolder* LoadedListThreads::folder_ = nullptr;

TEST_F(LoadedListThreads, AnalyzePrintsTradesThenTheSummaryTheyAddUpTo) {
  const Outcome r = run("velmora-analyze", {"--backtest", "--commission", "5", folder_->file("MSFT.csv")});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_GE(r.out.size(), 5u);
  EXPECT_EQ(r.out[0], "side,signalDate,entryDate,entryPrice,exitDate,exitPrice,barsHeld,returnPercent,open");
  const auto blank = std::find(r.out.begin(), r.out.end(), "");
  ASSERT_NE(blank, r.out.end());
  ASSERT_EQ(r.out.end() - blank, 3);
  const auto header = fields(blank[1]);
  const auto values = fields(blank[2]);
  ASSERT_EQ(header.size(), values.size());
  std::map<std::string, std::string> summary;
  for (std::size_t i = 0; i < header.size(); ++i) summary[header[i]] = values[i];

  // Every trade line: the mark's day, then the entry the next trading day,
  // the exit later; the account compounds the returns of all of them.
  int closed = 0;
  double account = 1;
  std::string previousExit;
  for (auto line = r.out.begin() + 1; line != blank; ++line) {
    const auto f = fields(*line);
    ASSERT_EQ(f.size(), 9u) << *line;
    EXPECT_EQ(f[0], "long") << *line;
    EXPECT_LT(f[1].substr(6) + f[1].substr(0, 5), f[2].substr(6) + f[2].substr(0, 5)) << *line;
    EXPECT_LE(f[2].substr(6) + f[2].substr(0, 5), f[4].substr(6) + f[4].substr(0, 5)) << *line;
    EXPECT_LE(previousExit, f[2].substr(6) + f[2].substr(0, 5)) << *line;
    previousExit = f[4].substr(6) + f[4].substr(0, 5);
    closed += f[8] == "0";
    account *= 1 + std::stod(f[7]) / 100;
  }
  EXPECT_GT(closed, 3);
  EXPECT_EQ(std::stoi(summary["trades"]), closed);
  EXPECT_NEAR(std::stod(summary["totalReturnPercent"]), (account - 1) * 100, 0.01);
  // The newest bar is today's quote, dated by the program's clock.
  EXPECT_EQ(summary["lastDate"], today());
}

TEST_F(LoadedListThreads, BacktestOfListDatMatchesAnalyzeFileByFile) {
  const std::string csv = folder_->file("trades.csv");
  const Outcome r = run("velmora-backtest", {"--short", "--csv", csv, "--threads", "2"}, folder_->path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.out.size(), 1u);
  EXPECT_EQ(r.out[0].rfind("4 securities back-tested, 0 skipped: pooled total return ", 0), 0u) << r.out[0];

  // The table: an empty line, the header, a row per security by total
  // return, then the pooled row.
  const auto table = SplitLines(ReadFile(folder_->file("Backtest.txt")));
  ASSERT_EQ(table.size(), 7u);
  EXPECT_EQ(table[0], "");
  EXPECT_EQ(
      table[1],
      "  Symbol       From         To  Bars Trades   Win%  AvgWin% AvgLoss%      PF    Total%   Annual%  "
      "MaxDD%  InMkt%      B&H% Open");
  std::vector<std::string> symbols;
  double previous = 1e300;
  for (std::size_t row = 2; row < 6; ++row) {
    ASSERT_EQ(table[row].size(), table[1].size()) << table[row];
    const auto w = words(table[row]);
    ASSERT_EQ(w.size(), 15u) << table[row];
    symbols.push_back(w[0]);
    EXPECT_EQ(w[2], today());
    EXPECT_LE(std::stod(w[9]), previous);
    previous = std::stod(w[9]);
  }
  std::sort(symbols.begin(), symbols.end());
  EXPECT_EQ(symbols, (std::vector<std::string>{"DJIA", "IBM", "MSFT", "ORCL"}));
  EXPECT_EQ(words(table[6])[0], "Pooled");

  // The list's CSV holds, security by security, the very trades velmora-analyze
  // prints for that file (DJIA as the index List.dat makes it).
  const auto lines = SplitLines(ReadFile(csv));
  ASSERT_GT(lines.size(), 8u);
  EXPECT_EQ(lines[0].rfind("symbol,side,", 0), 0u);
  for (const char* symbol : {"MSFT", "IBM", "DJIA", "ORCL"}) {
    std::vector<std::string> fromList;
    for (const std::string& l : lines)
      if (l.rfind(std::string(symbol) + ",", 0) == 0) fromList.push_back(l.substr(l.find(',') + 1));
    std::vector<std::string> args{"--backtest", "--short", folder_->file(std::string(symbol) + ".csv")};
    if (std::string(symbol) == "DJIA") args.insert(args.begin(), "--index");
    const Outcome one = run("velmora-analyze", args);
    ASSERT_EQ(one.status, 0) << one.err;
    const auto blank = std::find(one.out.begin(), one.out.end(), "");
    EXPECT_EQ(fromList, std::vector<std::string>(one.out.begin() + 1, blank)) << symbol;
    EXPECT_FALSE(fromList.empty()) << symbol;
  }

  // One thread gives the same table, and so does the folder of files, which
  // knows DJIA.csv for an index from the list beside it, and without one
  // from its name.
  const std::string first = ReadFile(folder_->file("Backtest.txt"));
  ASSERT_EQ(run("velmora-backtest", {"--short", "--threads", "1"}, folder_->path()).status, 0);
  EXPECT_EQ(ReadFile(folder_->file("Backtest.txt")), first);
  TempFolder elsewhere;
  const std::vector<std::string> folderMode{"--short", "--csv", csv, folder_->path()};
  ASSERT_EQ(run("velmora-backtest", folderMode, elsewhere.path()).status, 0);
  EXPECT_EQ(ReadFile(elsewhere.file("Backtest.txt")), first);
  for (const char* symbol : {"MSFT", "IBM", "DJIA", "ORCL"})
    WriteFile(elsewhere.file(std::string(symbol) + ".csv"),
              ReadFile(folder_->file(std::string(symbol) + ".csv")));
  ASSERT_EQ(run("velmora-backtest", {"--short", elsewhere.path()}, folder_->path()).status, 0);
  EXPECT_EQ(ReadFile(folder_->file("Backtest.txt")), first);
}

TEST(BacktestCli, AFolderOfFilesSkipsWhatCannotBeTestedAndKeepsTheRest) {
  TempFolder data, work;
  WriteFile(data.file("SWING.csv"), marketFile(600, 1));
  WriteFile(data.file("^SWING.csv"), marketFile(500, 2));
  WriteFile(data.file("NOTES.csv"), "no history here\n");
  WriteFile(data.file("TWO.csv"),
            "1/2/2020,1,2,0.5,1.5,100\n1/3/2020,1,2,0.5,1.5,100\n1/6/2020,1,2,0.5,1.5,100\n");
  WriteFile(data.file("README.txt"), "1/2/2020,1,2,0.5,1.5,100\n");
  // The list's own CSV, written into the folder, is no input the next time.
  const Outcome r = run("velmora-backtest", {"--csv", data.file("all.csv"), data.path()}, work.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("skipped NOTES: '" + data.file("NOTES.csv") + "' holds fewer than two dated lines"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("skipped TWO: '" + data.file("TWO.csv") + "' gives 2 bars, too few for a mark"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.out.at(0).rfind("2 securities back-tested, 2 skipped", 0), 0u);
  auto table = SplitLines(ReadFile(work.file("Backtest.txt")));
  ASSERT_EQ(table.size(), 5u);
  EXPECT_FALSE(FileExists(data.file("Backtest.txt")));

  const Outcome again = run("velmora-backtest", {"--csv", data.file("all.csv"), data.path()}, work.path());
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.err.find("skipped all"), std::string::npos) << again.err;
  EXPECT_EQ(SplitLines(ReadFile(work.file("Backtest.txt"))), table);
}

TEST(BacktestCli, ExitStatusesTellWhatWentWrong) {
  TempFolder work, empty;
  // No List.dat and no folder: nothing to back-test, and no List.dat made.
  Outcome r = run("velmora-backtest", {}, work.path());
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("no List.dat in the current folder"), std::string::npos) << r.err;
  EXPECT_FALSE(FileExists(work.file("List.dat")));
  EXPECT_EQ(run("velmora-backtest", {empty.path()}, work.path()).status, 3);
  EXPECT_EQ(run("velmora-backtest", {work.file("missing")}, work.path()).status, 3);

  // Backtest.txt cannot replace a folder of that name.
  WriteFile(empty.file("A.csv"), marketFile(300, 3));
  ASSERT_EQ(::mkdir(work.file("Backtest.txt").c_str(), 0755), 0);
  r = run("velmora-backtest", {empty.path()}, work.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot write Backtest.txt"), std::string::npos) << r.err;

  for (const auto& args : std::vector<std::vector<std::string>>{{"--threads", "0"},
                                                                {"--threads"},
                                                                {"--slippage-bp", "-1"},
                                                                {"--slippage-bp", "2000"},
                                                                {"--commission", "ten"},
                                                                {"--capital", "0"},
                                                                {"--confirm-days", "x"},
                                                                {"--csv"},
                                                                {"--bogus"},
                                                                {"a", "b"}}) {
    r = run("velmora-backtest", args, work.path());
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_NE(r.err.find("Usage: velmora-backtest"), std::string::npos) << args[0];
  }
  r = run("velmora-backtest", {"--help"});
  EXPECT_EQ(r.status, 0);
  std::string help;
  for (const std::string& l : r.out) help += l + "\n";
  for (const char* word : {"--short", "--commission MONEY", "--slippage-bp BP", "--capital MONEY",
                           "--csv FILE", "--threads N", "--confirm-days N", "Exit status"})
    EXPECT_NE(help.find(word), std::string::npos) << word;
}

TEST(BacktestCli, AnalyzeTakesTradingOptionsOnlyWithBacktest) {
  TempFolder dir;
  const std::string file = dir.file("s.csv");
  WriteFile(file, marketFile(400, 4));
  for (const auto& args : std::vector<std::vector<std::string>>{{"--short", file},
                                                                {"--commission", "1", file},
                                                                {"--backtest", "--segments", file},
                                                                {"--backtest", "--slippage-bp", "x", file}}) {
    const Outcome r = run("velmora-analyze", args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_NE(r.err.find("Usage: velmora-analyze"), std::string::npos);
  }
  // Costs only take away; the short side trades both ways.
  const Outcome plain = run("velmora-analyze", {"--backtest", "--slippage-bp=0", file});
  const Outcome costly =
      run("velmora-analyze", {"--backtest", "--commission=25", "--slippage-bp", "20", file});
  const Outcome both = run("velmora-analyze", {"--backtest", "--short", file});
  ASSERT_EQ(plain.status, 0);
  ASSERT_EQ(costly.status, 0);
  ASSERT_EQ(both.status, 0);
  const auto total = [](const Outcome& o) { return std::stod(fields(o.out.back())[8]); };
  EXPECT_LT(total(costly), total(plain));
  int shorts = 0;
  for (const std::string& l : both.out) shorts += l.rfind("short,", 0) == 0;
  EXPECT_GT(shorts, 0);
  const Outcome help = run("velmora-analyze", {"--help"});
  std::string text;
  for (const std::string& l : help.out) text += l + "\n";
  for (const char* word :
       {"--backtest", "--short", "--commission MONEY", "--slippage-bp BP", "--capital MONEY"})
    EXPECT_NE(text.find(word), std::string::npos) << word;
}

}  // namespace
}  // namespace velmora
