// The stochastics stage finds its windows' extremes a run of bars at a time;
// every field of every bar must still be what the rule gives when applied
// bar by bar (each window scanned newest first, each mean summed newest
// first), across runs, block edges, the look-back above which windows are
// scanned, windows past the series, ties, zeros of both signs and NaN.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/stochastics.h"
#include "support/engine_fixtures.h"

namespace velmora {
namespace {

// The rule on bars start .. end; bars at or past `readable` read as fresh.
void ruleByBar(std::vector<QuoteBar>& bars, bool incremental, int start, int end, int lookback, int smoothing,
               int slowing) {
  const int readable = incremental ? static_cast<int>(bars.size()) : start + 1;
  const QuoteBar fresh;
  auto at = [&](int j) -> const QuoteBar& {
    return j < readable ? bars[static_cast<std::size_t>(j)] : fresh;
  };
  auto mean = [&](int i, int length, double QuoteBar::*field) {
    double sum = at(i).*field;
    for (int j = i + 1; j < i + length; ++j) sum += at(j).*field;
    return sum / length;
  };
  for (int i = incremental ? start : start - lookback; i >= end; --i) {
    double highest = 0, lowest = 9999999999.99;
    for (int j = i; j < i + lookback; ++j) {
      if (at(j).high > highest) highest = at(j).high;
      if (at(j).low < lowest) lowest = at(j).low;
    }
    QuoteBar& bar = bars[static_cast<std::size_t>(i)];
    bar.stochRawK = highest == lowest ? 50 : (bar.close - lowest) * 100 / (highest - lowest);
    bar.stochSlowRaw = mean(i, slowing, &QuoteBar::stochRawK);
    bar.stochK = mean(i, smoothing, &QuoteBar::stochRawK);
    bar.stochD = mean(i, slowing, &QuoteBar::stochK);
  }
}

// Prices from a few values: many ties, zeros of both signs, NaN, values
// beyond the lowest low's starting 9999999999.99; stored stochastic values
// of an earlier run in every bar.
std::vector<QuoteBar> awkwardBars(int n, std::uint64_t seed) {
  static const double values[] = {0.0, -0.0, 1, 2, 2, 3, 5, 5, 7.25, -1, 9999999999.99, 1e11, NAN, 1e-300};
  auto pick = [&seed] {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return values[(seed >> 33) % 14];
  };
  std::vector<QuoteBar> bars(static_cast<std::size_t>(n));
  for (QuoteBar& b : bars) {
    b.high = pick();
    b.low = pick();
    b.close = pick();
    b.stochRawK = pick();
    b.stochK = pick();
  }
  return bars;
}

std::string firstStochasticDifference(const std::vector<QuoteBar>& a, const std::vector<QuoteBar>& b) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (auto [name, field] : {std::pair{"stochRawK", &QuoteBar::stochRawK},
                               {"stochSlowRaw", &QuoteBar::stochSlowRaw},
                               {"stochK", &QuoteBar::stochK},
                               {"stochD", &QuoteBar::stochD}}) {
      if (!test::SameBits(a[i].*field, b[i].*field)) return "bar " + std::to_string(i) + ": " + name;
    }
  }
  return "";
}

struct Lengths {
  int smoothing, slowing;
};

TEST(StochasticsWindows, FullRunsAgreeWithTheRuleOnEveryBar) {
  // 700 bars: several runs of windows; look-backs about the block and run
  // edges and either side of the longest look-back found by runs.
  for (int lookback : {1, 2, 3, 13, 14, 15, 64, 127, 128, 129, 200}) {
    for (Lengths l : {Lengths{3, 3}, Lengths{1, 5}, Lengths{4, 2}}) {
      for (bool awkward : {true, false}) {
        SCOPED_TRACE("look-back " + std::to_string(lookback) + ", " + std::to_string(l.smoothing) + "/" +
                     std::to_string(l.slowing) + (awkward ? ", awkward" : ", market"));
        auto bars = awkward ? awkwardBars(700, 17 + lookback) : test::MarketBars(700, 3);
        auto expected = bars;
        computeStochastics(test::FullRange(bars), lookback, l.smoothing, l.slowing);
        ruleByBar(expected, false, 699, 0, lookback, l.smoothing, l.slowing);
        ASSERT_EQ(firstStochasticDifference(bars, expected), "");
      }
    }
  }
}

TEST(StochasticsWindows, IncrementalAndPartialRunsAgreeWithTheRule) {
  // Incremental runs over 40 bars whose windows reach past the series (read
  // as fresh bars), and full runs over part of a series.
  for (int lookback : {2, 14, 50, 130}) {
    for (int start : {39, 20, 2, 0}) {
      for (int end : {0, 3}) {
        if (end > start) continue;
        SCOPED_TRACE("look-back " + std::to_string(lookback) + ", start " + std::to_string(start) + ", end " +
                     std::to_string(end));
        auto bars = awkwardBars(40, 5 + lookback + start);
        auto expected = bars;
        SeriesRange range;
        ASSERT_TRUE(MakeSeriesRange(bars, true, start, end, range));
        computeStochastics(range, lookback, 3, 4);
        ruleByBar(expected, true, start, end, lookback, 3, 4);
        ASSERT_EQ(firstStochasticDifference(bars, expected), "");
      }
    }
  }
  auto bars = test::MarketBars(400, 9);
  auto expected = bars;
  SeriesRange range;
  ASSERT_TRUE(MakeSeriesRange(bars, false, 300, 17, range));
  computeStochastics(range, 14, 3, 3);
  ruleByBar(expected, false, 300, 17, 14, 3, 3);
  EXPECT_EQ(firstStochasticDifference(bars, expected), "");
}

}  // namespace
}  // namespace velmora
