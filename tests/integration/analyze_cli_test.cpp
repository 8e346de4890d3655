// velmora-analyze run as a real program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

struct Outcome {
  int status = -1;
  std::vector<std::string> out;
  std::string err;
};

Outcome analyze(const std::vector<std::string>& args, const std::string& dir = "") {
  std::vector<std::string> argv{BinPath("velmora-analyze")};
  argv.insert(argv.end(), args.begin(), args.end());
  ChildProcess child(argv, dir);
  Outcome r;
  if (!child.started()) return r;
  std::string line;
  while (child.ReadLine(line, 10s)) r.out.push_back(line);
  r.status = child.Wait(10s);
  r.err = child.DrainStderr();
  return r;
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

}  // namespace
}  // namespace velmora
