// Wilder's RSI.
#include "core/rsi.h"

#include <gtest/gtest.h>

#include "support/engine_fixtures.h"

namespace velmora {
namespace {

using test::ClosesOldestFirst;

TEST(Rsi, HandWorkedPeriodTwo) {
  // Changes oldest first: +1, -0.5 (the seed), then +1, 0, -0.5.
  auto bars = ClosesOldestFirst({10, 11, 10.5, 11.5, 11.5, 11});
  computeRsi(test::FullRange(bars), 2);
  EXPECT_EQ(bars[3].rsiAvgGain, 0.5);
  EXPECT_EQ(bars[3].rsiAvgLoss, 0.25);
  EXPECT_EQ(bars[3].rsi, 0);  // the seed bar gets averages only
  EXPECT_EQ(bars[2].rsiAvgGain, 0.75);
  EXPECT_EQ(bars[2].rsiAvgLoss, 0.125);
  EXPECT_DOUBLE_EQ(bars[2].rsi, 100 - 100 / 7.0);
  EXPECT_EQ(bars[1].rsiAvgGain, 0.375);
  EXPECT_EQ(bars[1].rsiAvgLoss, 0.0625);
  EXPECT_EQ(bars[0].rsiAvgGain, 0.1875);
  EXPECT_EQ(bars[0].rsiAvgLoss, 0.28125);
  EXPECT_DOUBLE_EQ(bars[0].rsi, 40);
  EXPECT_EQ(bars[5].rsiAvgGain, 0);  // older than the seed: untouched
}

TEST(Rsi, NoLossesGiveOneHundredAndNoMovesFifty) {
  auto rising = ClosesOldestFirst({1, 2, 3, 4, 5});
  computeRsi(test::FullRange(rising), 2);
  EXPECT_EQ(rising[0].rsiAvgLoss, 0);
  EXPECT_EQ(rising[0].rsi, 100);

  auto flat = ClosesOldestFirst({3, 3, 3, 3});
  computeRsi(test::FullRange(flat), 2);
  EXPECT_EQ(flat[0].rsi, 50);
}

TEST(Rsi, NeedsMoreBarsThanThePeriod) {
  auto bars = ClosesOldestFirst({1, 2, 3});  // start - end = 2, not above 2
  bars[0].rsi = -1;
  computeRsi(test::FullRange(bars), 2);
  EXPECT_EQ(bars[0].rsi, -1);
  EXPECT_EQ(bars[0].rsiAvgGain, 0);
}

}  // namespace
}  // namespace velmora
