// The six averages, their flags, toEma10Percent, volume average.
#include "core/moving_averages.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "support/engine_fixtures.h"

namespace velmora {
namespace {

using test::ClosesOldestFirst;

std::vector<QuoteBar> rising(int n) {
  std::vector<QuoteBar> bars(static_cast<std::size_t>(n));
  for (int q = 1; q <= n; ++q) bars[static_cast<std::size_t>(n - q)].close = q;  // close = q
  return bars;
}

TEST(MovingAverages, SeedOnBarFiveThenExponentialSteps) {
  auto bars = rising(7);
  computeMovingAverages(test::FullRange(bars));
  for (int i = 3; i <= 6; ++i) {
    EXPECT_EQ(bars[i].ema5, 0) << i;
    EXPECT_EQ(bars[i].aboveEma5, 'Y') << i;  // a close above an average still 0
  }
  EXPECT_EQ(bars[2].ema5, 3);  // (5 + 4 + 3 + 2 + 1) / 5
  EXPECT_EQ(bars[1].ema5, 4);  // 3 + 2/6 * (6 - 3)
  EXPECT_EQ(bars[0].ema5, 5);
  EXPECT_EQ(bars[0].ema10, 0);
  EXPECT_EQ(bars[0].toEma10Percent, 0);
}

TEST(MovingAverages, SeedAddsTheNewestCloseFirst) {
  auto bars = ClosesOldestFirst({0.1, 0.2, 0.3, 0.4, 0.7});
  computeMovingAverages(test::FullRange(bars));
  // 0.7 + 0.4 + 0.3 + 0.2 + 0.1 is 1.7000000000000002; the other order
  // gives 1.7 and an average of 0.33999999999999997.
  EXPECT_EQ(bars[0].ema5, 0.34);
}

TEST(MovingAverages, FlagIsStrictlyAbove) {
  auto bars = ClosesOldestFirst({5, 5, 5, 5, 5, 6});
  computeMovingAverages(test::FullRange(bars));
  EXPECT_EQ(bars[1].ema5, 5);
  EXPECT_EQ(bars[1].aboveEma5, 'N');
  EXPECT_EQ(bars[0].aboveEma5, 'Y');
}

TEST(MovingAverages, TwoHundredBarAverageNeedsTwoHundredBars) {
  auto short_ = rising(199);
  computeMovingAverages(test::FullRange(short_));
  for (const QuoteBar& b : short_) {
    ASSERT_EQ(b.ema200, 0);
    ASSERT_EQ(b.aboveEma200, 'Y');
  }
  auto exact = rising(200);
  computeMovingAverages(test::FullRange(exact));
  EXPECT_EQ(exact[0].ema200, 100.5);
  EXPECT_EQ(exact[0].aboveEma200, 'Y');
}

TEST(MovingAverages, ToEma10Percent) {
  auto bars = ClosesOldestFirst({10, 10, 10, 10, 10, 10, 10, 10, 10, 10, 11});
  computeMovingAverages(test::FullRange(bars));
  EXPECT_EQ(bars[1].ema10, 10);
  EXPECT_EQ(bars[1].toEma10Percent, 0);
  const double ema = 10 + 2.0 / 11 * 1;
  EXPECT_EQ(bars[0].ema10, ema);
  EXPECT_EQ(bars[0].toEma10Percent, (11 - ema) / ema * 100);
}

TEST(MovingAverages, VolumeAverageSumsFiftyThenSmooths) {
  std::vector<QuoteBar> bars(51);
  for (int q = 1; q <= 50; ++q) bars[static_cast<std::size_t>(51 - q)].volume = q;  // sum 1275
  bars[0].volume = 100;
  computeMovingAverages(test::FullRange(bars));
  EXPECT_EQ(bars[2].volumeAvg50, 0);
  EXPECT_EQ(bars[1].volumeAvg50, 25);  // 1275 * 0.02 = 25.5, truncated
  EXPECT_EQ(bars[0].volumeAvg50, 27);  // 25 + 2/51 * 75 = 27.94
}

TEST(MovingAverages, VolumeAverageOfHugeVolumesNeverOverflows) {
  std::vector<QuoteBar> bars(60);
  for (QuoteBar& b : bars) b.volume = INT_MAX;
  computeMovingAverages(test::FullRange(bars));
  EXPECT_EQ(bars[10].volumeAvg50, INT_MAX);
  EXPECT_EQ(bars[0].volumeAvg50, INT_MAX);
  // Absurd volumes saturate rather than wrap below zero.
  for (QuoteBar& b : bars) b.volume = LLONG_MAX;
  computeMovingAverages(test::FullRange(bars));
  for (const QuoteBar& b : bars) EXPECT_GE(b.volumeAvg50, 0);
  EXPECT_GT(bars[0].volumeAvg50, bars[10].volumeAvg50);  // still rising toward the volumes
}

// Index volumes of billions a day: the average is the plain loop over the
// whole 64-bit values, full and incremental alike, never a clipped value.
TEST(MovingAverages, VolumeAverageOfVolumesAboveThirtyTwoBits) {
  constexpr int kBars = 300;
  std::vector<QuoteBar> bars(kBars);
  for (int q = 1; q <= kBars; ++q)
    bars[static_cast<std::size_t>(kBars - q)].volume = 3000000000LL + (q * 7919LL % 1000) * 7000000LL;
  computeMovingAverages(test::FullRange(bars));
  double average = 0;
  long long sum = 0;
  for (int q = 1; q <= kBars; ++q) {
    const QuoteBar& bar = bars[static_cast<std::size_t>(kBars - q)];
    if (q <= 50) sum += bar.volume;
    if (q == 50) average = std::trunc(static_cast<double>(sum) * 0.02);
    if (q > 50) average = std::trunc(average + 2.0 / 51 * (static_cast<double>(bar.volume) - average));
    ASSERT_EQ(bar.volumeAvg50, q < 50 ? 0 : static_cast<long long>(average)) << "bar q = " << q;
  }
  EXPECT_GT(bars[0].volumeAvg50, 3000000000LL);

  std::vector<QuoteBar> again = bars;
  for (int i = 0; i < 3; ++i) again[static_cast<std::size_t>(i)].volumeAvg50 = 0;
  computeMovingAverages(test::IncrementalRange(again, 2));
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(again[static_cast<std::size_t>(i)].volumeAvg50, bars[static_cast<std::size_t>(i)].volumeAvg50);
}

}  // namespace
}  // namespace velmora
