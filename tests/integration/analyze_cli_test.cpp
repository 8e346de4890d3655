// velmora-analyze run as a real program.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/monitor_process_helpers.h"
#include "support/sp500_rows.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::BinPath;
using test::ChildProcess;
using test::ReadFile;
using test::SplitLines;
using test::TempFolder;
using test::WriteFile;

using Outcome = test::ProgramOutcome;

Outcome analyze(const std::vector<std::string>& args, const std::string& dir = "") {
  return test::RunProgram("velmora-analyze", args, dir);
}

std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (std::size_t at; (at = line.find(',', from)) != std::string::npos; from = at + 1)
    fields.push_back(line.substr(from, at - from));
  fields.push_back(line.substr(from));
  return fields;
}

std::string fixture(const std::string& name) {
  return std::string(VELMORA_SOURCE_DIR) + "/tests/core/fixtures/" + name;
}

// The expected output without its '#' lines.
std::vector<std::string> expected(const std::string& name) {
  std::vector<std::string> lines;
  for (const std::string& l : SplitLines(ReadFile(fixture(name))))
    if (l.empty() || l[0] != '#') lines.push_back(l);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

// A newest-first file of `n` rows with a slow up and down swing.
std::string swingFile(int n) {
  std::string text;
  for (int k = n - 1; k >= 0; --k) {
    const int day = k % 28 + 1, month = k / 28 % 12 + 1, year = 1990 + k / 336;
    const double close = 50 + 10 * ((k / 40) % 2 ? (k % 40) / 40.0 : 1 - (k % 40) / 40.0) + (k % 7) * 0.1;
    char row[128];
    std::snprintf(row, sizeof row, "%d/%d/%d,%.2f,%.2f,%.2f,%.2f,%d\n", month, day, year, close - 0.2,
                  close + 0.5, close - 0.6, close, 100000 + k);
    text += row;
  }
  return text;
}

TEST(AnalyzeCli, HandWorkedThreeBarsWithSegments) {
  const Outcome r = analyze({"--segments", fixture("three_bars.csv")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, expected("three_bars.expected"));
  EXPECT_EQ(r.err, "");
}

TEST(AnalyzeCli, OldestFirstReversesTheBarLines) {
  const Outcome r = analyze({"--oldest-first", fixture("three_bars.csv")});
  ASSERT_EQ(r.out.size(), 4u);
  const auto want = expected("three_bars.expected");
  EXPECT_EQ(r.out[0], want[0]);
  EXPECT_EQ(r.out[1], want[3]);
  EXPECT_EQ(r.out[3], want[1]);
}

TEST(AnalyzeCli, AnalysesEveryEntryButTheLast) {
  TempFolder dir;
  WriteFile(dir.file("big.csv"), swingFile(1500));
  const Outcome r = analyze({dir.file("big.csv")});
  ASSERT_EQ(r.status, 0);
  ASSERT_EQ(r.out.size(), 1 + 1094u);
  EXPECT_EQ(r.out[1].rfind("0,", 0), 0u);
  EXPECT_EQ(r.out.back().rfind("1093,", 0), 0u);
  int buys = 0, sells = 0;
  for (const std::string& l : r.out) {
    buys += l.back() == 'B';
    sells += l.back() == 'S';
  }
  EXPECT_GT(buys + sells, 0);
}

TEST(AnalyzeCli, OptionsChangeTheComputation) {
  TempFolder dir;
  WriteFile(dir.file("s.csv"), swingFile(300));
  WriteFile(dir.file("^S.csv"), swingFile(300));
  const Outcome plain = analyze({dir.file("s.csv")});
  const Outcome rsi = analyze({"--rsi", "5", "--stoch=5,3,3", "--confirm-days", "0", dir.file("s.csv")});
  EXPECT_EQ(rsi.status, 0);
  EXPECT_NE(plain.out[1], rsi.out[1]);
  // An index by name or by option: the same analysis.
  const Outcome byName = analyze({dir.file("^S.csv")});
  const Outcome byOption = analyze({"--index", dir.file("s.csv")});
  EXPECT_EQ(byName.out, byOption.out);
}

TEST(AnalyzeCli, NoBarsIsExitOneWithAMessage) {
  TempFolder dir;
  WriteFile(dir.file("one.csv"), "1/2/2020,1,2,0.5,1.5,100\n");
  const Outcome one = analyze({dir.file("one.csv")});
  EXPECT_EQ(one.status, 1);
  EXPECT_TRUE(one.out.empty());
  EXPECT_NE(one.err.find("fewer than two dated lines"), std::string::npos);
  const Outcome missing = analyze({dir.file("missing.csv")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

TEST(AnalyzeCli, BadOptionsGiveUsageAndExitTwo) {
  const std::string file = fixture("three_bars.csv");
  for (const auto& args : std::vector<std::vector<std::string>>{{"--rsi", "0", file},
                                                                {"--rsi", file},
                                                                {"--stoch", "14,3", file},
                                                                {"--stoch", "14,3,x", file},
                                                                {"--confirm-days", "-1", file},
                                                                {"--bogus", file},
                                                                {file, file},
                                                                {}}) {
    const Outcome r = analyze(args);
    EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args[0]);
    EXPECT_NE(r.err.find("Usage: velmora-analyze"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
  }
}

TEST(AnalyzeCli, HelpExplainsItAll) {
  const Outcome r = analyze({"--help"});
  EXPECT_EQ(r.status, 0);
  std::string text;
  for (const std::string& l : r.out) text += l + "\n";
  for (const char* word :
       {"--rsi N", "--stoch K,N,S", "--confirm-days N", "--index", "--oldest-first", "--segments"})
    EXPECT_NE(text.find(word), std::string::npos) << word;
}

// The real S&P 500 history (2000-2020), whose daily volumes are mostly
// above 2^31: every volume comes through whole, and the 50-day average of
// the newest bar is what a plain loop over those volumes gives.
TEST(AnalyzeCli, RealIndexVolumesAboveThirtyTwoBits) {
  if (!test::FileExists(test::Sp500Path()))
    GTEST_SKIP() << "no S&P 500 test data (scripts/fetch-test-data.sh)";
  // date,open,high,low,close,adjclose,volume -> date,open,high,low,close,volume
  std::string local;
  for (const test::Sp500Row& row : test::Sp500Rows()) {
    char line[160];
    std::snprintf(line, sizeof line, "%s,%.2f,%.2f,%.2f,%.2f,%lld\n", row.date, row.open, row.high, row.low,
                  row.close, row.volume);
    local += line;
  }
  TempFolder folder;
  WriteFile(folder.file("sp500.csv"), local);
  const Outcome r = analyze({"--index", "--oldest-first", folder.file("sp500.csv")});
  ASSERT_EQ(r.status, 0) << r.err;
  ASSERT_GT(r.out.size(), 1000u);

  // Columns by name from the header.
  const auto header = splitFields(r.out[0]);
  const auto column = [&](const char* name) {
    for (std::size_t i = 0; i < header.size(); ++i)
      if (header[i] == name) return i;
    ADD_FAILURE() << "no column " << name;
    return std::size_t{0};
  };
  const std::size_t dateColumn = column("date"), volumeColumn = column("volume"),
                    averageColumn = column("volumeAvg50");
  std::vector<long long> volumes;  // oldest first
  long long lastAverage = -1;
  bool sawThe16th = false;
  for (std::size_t row = 1; row < r.out.size(); ++row) {
    const auto fields = splitFields(r.out[row]);
    const long long volume = std::stoll(fields[volumeColumn]);
    EXPECT_NE(volume, 2147483647LL) << r.out[row];
    volumes.push_back(volume);
    lastAverage = std::stoll(fields[averageColumn]);
    if (fields[dateColumn].rfind("2020-04-16", 0) == 0) {
      EXPECT_EQ(volume, 5179990000LL);
      sawThe16th = true;
    }
  }
  EXPECT_TRUE(sawThe16th);
  // The average: the first 50 volumes summed and times 0.02, then
  // prev + 2/51 (volume - prev), truncated toward zero on every bar.
  double average = 0;
  long long sum = 0;
  for (std::size_t q = 1; q <= volumes.size(); ++q) {
    const long long v = volumes[q - 1];
    if (q < 50) {
      sum += v;
    } else if (q == 50) {
      sum += v;
      average = std::trunc(static_cast<double>(sum) * 0.02);
    } else {
      average = std::trunc(average + 2.0 / 51 * (static_cast<double>(v) - average));
    }
  }
  EXPECT_EQ(lastAverage, static_cast<long long>(average));
  EXPECT_GT(lastAverage, 2147483647LL);
}

}  // namespace
}  // namespace velmora
