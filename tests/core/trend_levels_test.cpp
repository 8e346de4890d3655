// Break levels, break state and the confirmed trend.
#include "core/trend_levels.h"

#include <gtest/gtest.h>

#include "support/engine_fixtures.h"

namespace velmora {
namespace {

using test::BarsOldestFirst;

struct Levels {
  double upper, lower;
  int breakState, trend, changed, since;
};

void expectLevels(const QuoteBar& b, const Levels& e, int index) {
  SCOPED_TRACE("bar " + std::to_string(index));
  EXPECT_DOUBLE_EQ(b.upperBreak, e.upper);
  EXPECT_DOUBLE_EQ(b.lowerBreak, e.lower);
  EXPECT_EQ(b.breakState, e.breakState);
  EXPECT_EQ(b.trend, e.trend);
  EXPECT_EQ(b.trendChanged, e.changed);
  EXPECT_EQ(b.barsSinceChange, e.since);
}

// Six bars worked by hand: seeding, support and resistance, a down-break
// confirmed (or not) by the next bar's close with N = 1.
std::vector<QuoteBar> sixBars(double newestClose) {
  return BarsOldestFirst({
      {10, 11, 9, 10.5},            // 5: seed
      {10.5, 10.8, 9.2, 10.6},      // 4: seed; U0 = 11, L0 = 9.2
      {10.6, 10.9, 9.6, 10.7},      // 3: inside; resistance lowers U to 10.9
      {10.7, 10.85, 9.8, 10.8},     // 2: inside; support raises L to P.low 9.6
      {10.8, 10.8, 9.4, 9.5},       // 1: down-break below 9.6
      {9.5, 9.7, 9.3, newestClose}  // 0: confirms bar 1 when below 9.6
  });
}

TEST(TrendLevels, HandWorkedSeriesWithConfirmedDownBreak) {
  auto bars = sixBars(9.55);
  computeTrendLevels(test::FullRange(bars), 1);
  expectLevels(bars[5], {11, 9.2, 1, 0, 0, 0}, 5);
  expectLevels(bars[4], {11, 9.2, 1, 0, 1, 0}, 4);
  expectLevels(bars[3], {10.9, 9.2, 1, 0, 0, 1}, 3);
  expectLevels(bars[2], {10.9, 9.6, 1, 0, 0, 2}, 2);
  // Down-break: L = its low; resistance min(10.9, P.high 10.85) vs high 10.8.
  expectLevels(bars[1], {10.85, 9.4, 2, 2, 1, 0}, 1);
  // Inside (9.55 is not below 9.4); resistance: max(min(10.85, 10.8), 9.7).
  expectLevels(bars[0], {10.8, 9.4, 1, 2, 0, 1}, 0);
}

TEST(TrendLevels, UnconfirmedDownBreakPutsTheLowerLevelBack) {
  auto bars = sixBars(9.7);  // the confirming close is not below 9.6
  computeTrendLevels(test::FullRange(bars), 1);
  expectLevels(bars[1], {10.85, 9.6, 2, 0, 0, 3}, 1);
  EXPECT_EQ(bars[0].trend, kUp);
  EXPECT_EQ(bars[0].barsSinceChange, 4);
}

TEST(TrendLevels, SeedTakesTheLargerOfBothLows) {
  auto bars = BarsOldestFirst({{5, 6, 4.5, 5}, {5, 5.5, 4.8, 5}, {5, 5.2, 4.9, 5}});
  computeTrendLevels(test::FullRange(bars), 2);
  EXPECT_EQ(bars[2].upperBreak, 6);
  EXPECT_EQ(bars[2].lowerBreak, 4.8);
  EXPECT_EQ(bars[1].lowerBreak, 4.8);
  EXPECT_EQ(bars[2].trendChanged, 0);
  EXPECT_EQ(bars[1].trendChanged, 1);
  EXPECT_EQ(bars[1].trend, kUp);
}

TEST(TrendLevels, TwoBarsGetNoLevels) {
  auto bars = BarsOldestFirst({{5, 6, 4, 5}, {5, 7, 3, 6}});
  computeTrendLevels(test::FullRange(bars), 2);
  for (const QuoteBar& b : bars) {
    EXPECT_EQ(b.breakState, kInside);
    EXPECT_EQ(b.trend, kUp);
    EXPECT_EQ(b.upperBreak, 0);
  }
}

// Bar 3 is a hand-set predecessor; the incremental run starts at bar 2.
std::vector<QuoteBar> afterLevels(double upper, double lower, int trend, double close2) {
  auto bars = BarsOldestFirst(
      {{10, 10, 10, 10}, {close2, close2, close2, close2}, {10, 10, 9.5, 9.9}, {9.9, 9.9, 9.5, 9.9}});
  bars[3].upperBreak = upper;
  bars[3].lowerBreak = lower;
  bars[3].trend = trend;
  bars[3].high = 10;
  bars[3].low = 9;
  return bars;
}

TEST(TrendLevels, BreakTestComparesWholeThousandths) {
  auto same = afterLevels(10.0001, 9, kUp, 10.0004);
  computeTrendLevels(test::IncrementalRange(same, 2), 2);
  EXPECT_EQ(same[2].breakState, kInside);  // both are 10000 thousandths

  auto above = afterLevels(10.0001, 9, kUp, 10.0014);
  computeTrendLevels(test::IncrementalRange(above, 2), 2);
  EXPECT_EQ(above[2].breakState, kUp);
  EXPECT_EQ(above[2].upperBreak, 10.0014);  // the bar's high
}

TEST(TrendLevels, UnconfirmedUpBreakKeepsTrendAndPreviousUpperLevel) {
  // Down trend, bar 2 breaks above 10.2; N = 2 judges it on bar 0's 9.9.
  auto bars = afterLevels(10.2, 9, kDown, 10.5);
  computeTrendLevels(test::IncrementalRange(bars, 2), 2);
  EXPECT_EQ(bars[2].breakState, kUp);
  EXPECT_EQ(bars[2].trend, kDown);
  EXPECT_EQ(bars[2].trendChanged, 0);
  EXPECT_EQ(bars[2].upperBreak, 10.2);
}

TEST(TrendLevels, ConfirmationCompareUsesFullValues) {
  // The confirming close 10.2004 is above 10.2 only in full value.
  auto bars = afterLevels(10.2, 9, kDown, 10.5);
  bars[0].close = 10.2004;
  computeTrendLevels(test::IncrementalRange(bars, 2), 2);
  EXPECT_EQ(bars[2].trendChanged, 1);
  EXPECT_EQ(bars[2].trend, kUp);
}

// Eight flat bars with a down-break on bar `breakBar`; `confirmBar` closes
// low (confirming) and every other bar closes inside.
std::vector<QuoteBar> downBreakAt(int breakBar, int lowBar) {
  std::vector<QuoteBar> bars(8);
  for (int i = 0; i < 8; ++i) {
    bars[i].open = bars[i].close = 10;
    bars[i].high = 10.5;
    bars[i].low = 9.5;
  }
  bars[breakBar].close = bars[breakBar].low = 9.0;
  bars[lowBar].close = 9.2;
  bars[lowBar].low = 9.2;
  return bars;
}

TEST(TrendLevels, LookAheadOfTwoBarsJudgesOnTheCloseTwoBarsLater) {
  auto confirmed = downBreakAt(5, 3);
  computeTrendLevels(test::FullRange(confirmed), 2);
  EXPECT_EQ(confirmed[5].trendChanged, 1);
  EXPECT_EQ(confirmed[5].trend, kDown);

  auto nextBarOnly = downBreakAt(5, 4);  // bar 4 is not the judge
  computeTrendLevels(test::FullRange(nextBarOnly), 2);
  EXPECT_EQ(nextBarOnly[5].trendChanged, 0);
  EXPECT_EQ(nextBarOnly[5].trend, kUp);
}

TEST(TrendLevels, BarsNearTheNewestAreJudgedOnTheNewestClose) {
  auto confirmed = downBreakAt(1, 0);
  computeTrendLevels(test::FullRange(confirmed), 2);
  EXPECT_EQ(confirmed[1].trendChanged, 1);

  auto notConfirmed = downBreakAt(1, 1);  // bar 0 closes inside
  notConfirmed[1].close = 9.0;
  computeTrendLevels(test::FullRange(notConfirmed), 2);
  EXPECT_EQ(notConfirmed[1].trendChanged, 0);
}

TEST(TrendLevels, ZeroConfirmDaysJudgesEveryBreakOnTheNewestClose) {
  auto confirmed = downBreakAt(5, 0);
  computeTrendLevels(test::FullRange(confirmed), 0);
  EXPECT_EQ(confirmed[5].trendChanged, 1);

  auto ownClose = downBreakAt(5, 3);  // bar 5's own low close does not count
  computeTrendLevels(test::FullRange(ownClose), 0);
  EXPECT_EQ(ownClose[5].trendChanged, 0);
}

// Bar 3 (P): levels 11 / 10, open 10.5, close 10.6. Bar 2 stays inside.
std::vector<QuoteBar> bearishCase(double open2) {
  auto bars = BarsOldestFirst({{10, 10, 10, 10},
                               {10.5, 10.7, 10.2, 10.6},
                               {open2, 11.5, 10.1, 10.4},
                               {10.4, 10.5, 10.3, 10.4},
                               {10.4, 10.5, 10.3, 10.4}});
  bars[3].upperBreak = 11;
  bars[3].lowerBreak = 10;
  bars[3].trend = kUp;
  return bars;
}

TEST(TrendLevels, BearishBarRaisesResistanceToItsHigh) {
  auto dropOfThreePercent = bearishCase(10.8);  // (10.8 - 10.4) / 10.8 > 2.5 %
  computeTrendLevels(test::IncrementalRange(dropOfThreePercent, 2), 2);
  EXPECT_EQ(dropOfThreePercent[2].breakState, kInside);
  EXPECT_EQ(dropOfThreePercent[2].upperBreak, 11.5);
  EXPECT_EQ(dropOfThreePercent[2].lowerBreak, 10.1);  // support: min(max(10, 10.2), 10.1)

  auto openAboveBody = bearishCase(10.65);  // 2.3 %, but above P's open and close
  computeTrendLevels(test::IncrementalRange(openAboveBody, 2), 2);
  EXPECT_EQ(openAboveBody[2].upperBreak, 11.5);

  auto neither = bearishCase(10.55);
  computeTrendLevels(test::IncrementalRange(neither, 2), 2);
  EXPECT_EQ(neither[2].upperBreak, 11);
}

TEST(TrendLevels, IncrementalRunNeedsThreeBarsToo) {
  auto bars = sixBars(9.55);
  computeTrendLevels(test::FullRange(bars), 1);
  auto before = bars;
  bars[0].close = 20;
  bars[1].close = 20;
  computeTrendLevels(test::IncrementalRange(bars, 1), 1);
  EXPECT_EQ(bars[0].breakState, before[0].breakState);
  EXPECT_EQ(bars[1].upperBreak, before[1].upperBreak);
}

}  // namespace
}  // namespace velmora
