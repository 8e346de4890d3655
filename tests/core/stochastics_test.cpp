// Stochastic %K and %D.
#include "core/stochastics.h"

#include <gtest/gtest.h>

#include "support/engine_fixtures.h"

namespace velmora {
namespace {

using test::BarsOldestFirst;

// Look-back 3, %K smoothing 3, slowing 2. Bars 3 and 4 hold older values
// (raw 40 and 20, %K 30) that the first windows read as they stand.
std::vector<QuoteBar> sixBars() {
  auto bars = BarsOldestFirst({{10, 12, 8, 10},
                               {10, 11, 9, 10},
                               {12, 13, 10, 12},
                               {11, 12, 10, 11},
                               {13, 14, 11, 13},
                               {12.5, 13, 12, 12.5}});
  bars[3].stochRawK = 40;
  bars[4].stochRawK = 20;
  bars[3].stochK = 30;
  return bars;
}

TEST(Stochastics, HandWorkedWindows) {
  auto bars = sixBars();
  computeStochastics(test::FullRange(bars), 3, 3, 2);
  // Bar 2: highs 12, 13, 11 and lows 10, 10, 9 -> (11 - 9) * 100 / 4.
  EXPECT_EQ(bars[2].stochRawK, 50);
  EXPECT_EQ(bars[2].stochSlowRaw, 45);
  EXPECT_DOUBLE_EQ(bars[2].stochK, 110.0 / 3);
  EXPECT_DOUBLE_EQ(bars[2].stochD, (110.0 / 3 + 30) / 2);
  // Bar 1: highest 14, lowest 10.
  EXPECT_EQ(bars[1].stochRawK, 75);
  EXPECT_EQ(bars[1].stochSlowRaw, 62.5);
  EXPECT_EQ(bars[1].stochK, 55);
  EXPECT_DOUBLE_EQ(bars[1].stochD, (55 + 110.0 / 3) / 2);
  EXPECT_EQ(bars[0].stochRawK, 62.5);
  EXPECT_EQ(bars[0].stochSlowRaw, 68.75);
  EXPECT_EQ(bars[0].stochK, 62.5);
  EXPECT_EQ(bars[0].stochD, 58.75);
  EXPECT_EQ(bars[3].stochRawK, 40);  // older than start - lookback: untouched
}

TEST(Stochastics, FlatWindowGivesFifty) {
  auto bars = BarsOldestFirst({{5, 5, 5, 5}, {5, 5, 5, 5}, {5, 5, 5, 5}});
  computeStochastics(test::FullRange(bars), 2, 1, 1);
  EXPECT_EQ(bars[0].stochRawK, 50);
  EXPECT_EQ(bars[0].stochD, 50);
}

TEST(Stochastics, NeedsOneBarMoreThanTheLookBack) {
  auto bars = sixBars();
  bars.resize(3);
  computeStochastics(test::FullRange(bars), 3, 3, 3);
  for (const QuoteBar& b : bars) EXPECT_EQ(b.stochK, 0);
}

TEST(Stochastics, WindowsPastTheSeriesSeeFreshBars) {
  // An incremental run on two bars: the windows reach two bars that do not
  // exist; they read as fresh bars (high and low 0), never past the array.
  auto bars = BarsOldestFirst({{9, 10, 8, 9}, {10, 11, 9, 10}});
  computeStochastics(test::IncrementalRange(bars, 1), 3, 3, 3);
  EXPECT_EQ(bars[1].stochRawK, 90);  // lowest 0, highest 10
  EXPECT_EQ(bars[1].stochK, 30);     // (90 + 0 + 0) / 3
}

TEST(Stochastics, SlidingWindowFindsWhatAScanFinds) {
  // Highs, lows and closes from a few values: many ties, zeros of both signs.
  const double values[] = {0.0, -0.0, 1, 2, 2, 3, 5, 5, 9999999999.99, 1e11};
  std::uint64_t seed = 99;
  auto pick = [&] {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return values[(seed >> 33) % 10];
  };
  for (int lookback : {1, 2, 5, 14}) {
    std::vector<QuoteBar> bars(300);
    for (QuoteBar& b : bars) {
      b.high = pick();
      b.low = pick();
      b.close = pick();
    }
    computeStochastics(test::FullRange(bars), lookback, 1, 1);
    for (int i = 299 - lookback; i >= 0; --i) {
      double highest = 0, lowest = 9999999999.99;  // the rule, bar by bar
      for (int j = i; j < i + lookback; ++j) {
        if (bars[j].high > highest) highest = bars[j].high;
        if (bars[j].low < lowest) lowest = bars[j].low;
      }
      const double raw = highest == lowest ? 50 : (bars[i].close - lowest) * 100 / (highest - lowest);
      ASSERT_TRUE(test::SameBits(bars[i].stochRawK, raw)) << "look-back " << lookback << ", bar " << i;
    }
  }
}

}  // namespace
}  // namespace velmora
