// The engine's results, pinned bit for bit: every field of every bar after
// full and incremental runs over long series (generated markets, awkward
// prices, the real S&P 500 history) is folded into one fingerprint per
// stage and compared with the fingerprints of today's engine. Work on the
// engine's speed must leave every one of them as it is; a deliberate change
// of results shows here which stage and series moved (and the new value).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/compute_indicators.h"
#include "core/signal_engine.h"
#include "support/engine_fixtures.h"
#include "support/test_support.h"

namespace velmora {
namespace {

struct Fingerprints {
  std::uint64_t change, trend, rsi, stochastics, averages, signals;
};

class Folder {
 public:
  template <typename T>
  void Add(T value) {
    std::uint64_t word = 0;
    std::memcpy(&word, &value, sizeof value);
    hash_ = (hash_ ^ word) * 0x100000001b3ull;
    hash_ ^= hash_ >> 29;
  }
  std::uint64_t Value() const { return hash_; }

 private:
  std::uint64_t hash_ = 0xcbf29ce484222325ull;
};

Fingerprints fingerprintsOf(const std::vector<QuoteBar>& bars, const SignalState& state) {
  Folder change, trend, rsi, stochastics, averages, signals;
  for (const QuoteBar& b : bars) {
    change.Add(b.change);
    change.Add(b.changePercent);
    for (std::int32_t v : {b.breakState, b.trend, b.trendChanged, b.barsSinceChange}) trend.Add(v);
    trend.Add(b.upperBreak);
    trend.Add(b.lowerBreak);
    for (double v : {b.rsi, b.rsiAvgGain, b.rsiAvgLoss}) rsi.Add(v);
    for (double v : {b.stochRawK, b.stochSlowRaw, b.stochK, b.stochD}) stochastics.Add(v);
    for (double v : {b.ema5, b.ema10, b.ema20, b.ema50, b.ema100, b.ema200, b.toEma10Percent})
      averages.Add(v);
    for (char v : {b.aboveEma5, b.aboveEma10, b.aboveEma20, b.aboveEma50, b.aboveEma100, b.aboveEma200})
      averages.Add(v);
    averages.Add(b.volumeAvg50);
    for (char v : b.signalMark) signals.Add(v);
  }
  signals.Add(state.segmentCount());
  signals.Add(state.current());
  for (int p = 0; p < kSegmentRingSize; ++p) {
    const TrendSegment& s = *state.segment(p);
    for (std::int32_t v : {s.direction, s.startBar, s.endBar, s.signalCount, s.valid}) signals.Add(v);
    for (double v :
         {s.startPrice, s.range, s.rangePercent, s.highestClose, s.lowestClose, s.highestHigh, s.lowestLow})
      signals.Add(v);
  }
  return {change.Value(), trend.Value(), rsi.Value(), stochastics.Value(), averages.Value(), signals.Value()};
}

void expectPinned(const std::string& series, const std::vector<QuoteBar>& bars, const SignalState& state,
                  const Fingerprints& pinned) {
  const Fingerprints now = fingerprintsOf(bars, state);
  const std::pair<const char*, std::uint64_t Fingerprints::*> stages[] = {
      {"change", &Fingerprints::change},     {"trend", &Fingerprints::trend},
      {"rsi", &Fingerprints::rsi},           {"stochastics", &Fingerprints::stochastics},
      {"averages", &Fingerprints::averages}, {"signals", &Fingerprints::signals}};
  for (const auto& [name, field] : stages) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(now.*field));
    EXPECT_EQ(now.*field, pinned.*field)
        << series << ": the " << name << " results moved (now " << text << ")";
  }
}

// A market of its own (not shared with other tests, so it never moves):
// trending regimes, gaps, whole-cent prices for even seeds and unrounded
// ones for odd seeds.
std::vector<QuoteBar> market(int n, std::uint32_t seed) {
  std::uint64_t s = seed * 0x9E3779B97F4A7C15ull + 7;
  auto next = [&s] {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(s >> 11) / 9007199254740992.0;
  };
  auto price = [seed](double v) { return seed % 2 ? v : RoundTo2Decimals(v); };
  std::vector<QuoteBar> bars(static_cast<std::size_t>(n));
  double close = 30 + 40 * next(), drift = 0;
  for (int k = 0; k < n; ++k) {
    if (k % 30 == 0) drift = (next() - 0.5) * 0.02;
    const double gap = next() < 0.05 ? (next() - 0.5) * 0.1 : 0;
    QuoteBar& b = bars[static_cast<std::size_t>(n - 1 - k)];
    b.open = price(close * (1 + gap + (next() - 0.5) * 0.01));
    b.close = price(std::fmax(close * (1 + drift + gap + (next() - 0.5) * 0.04), 0.5));
    b.high = price(std::fmax(b.open, b.close) * (1 + next() * 0.015));
    b.low = price(std::fmin(b.open, b.close) * (1 - next() * 0.015));
    b.volume = 50000 + static_cast<std::int64_t>(next() * 5e9);
    close = b.close;
  }
  return bars;
}

// Prices from a few values: ties, zeros of both signs, flat stretches.
std::vector<QuoteBar> awkward(int n) {
  static const double values[] = {0.0, -0.0, 1, 2, 2, 3, 5, 5, 0.125, 1.005, 2.345, 9999999999.99, 7.5, -3};
  std::uint64_t s = 99;
  auto pick = [&s] {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return values[(s >> 33) % 14];
  };
  std::vector<QuoteBar> bars(static_cast<std::size_t>(n));
  for (QuoteBar& b : bars) {
    b.open = pick();
    b.high = pick();
    b.low = pick();
    b.close = pick();
    b.volume = 1000;
  }
  return bars;
}

struct Computed {
  std::vector<QuoteBar> bars;
  SignalState state;
};

Computed full(std::vector<QuoteBar> bars, bool isIndex, int rsi, int k, int n, int s, int confirmDays) {
  Computed run{std::move(bars), {}};
  computeIndicators(false, isIndex, rsi, k, n, s, static_cast<int>(run.bars.size()) - 1, 0, run.bars,
                    run.state, confirmDays);
  return run;
}

// The loader's update: roll the newest N + 1 bars back, a new close on bar
// 0, and those bars recomputed on a copy of the state.
Computed loaderUpdate(const Computed& computed, bool isIndex, int confirmDays) {
  Computed run = computed;
  rollBackNewestBars(run.bars, confirmDays + 1, run.state);
  run.bars[0].close = RoundTo2Decimals(run.bars[0].close * 1.0371);
  computeIndicators(true, isIndex, 14, 14, 3, 3, confirmDays, 0, run.bars, run.state, confirmDays);
  return run;
}

TEST(EngineResultsPinned, GeneratedAndAwkwardSeries) {
  const Computed stock = full(market(1095, 2), false, 14, 14, 3, 3, 2);
  expectPinned("market 2, full", stock.bars, stock.state,
               {0x6c26fcd246c5ed72, 0xf02379a47bb75b0c, 0x920197db28faaab6, 0x8782d1680cf680b3,
                0x6bb31336a69a8105, 0x3e30e04701d8b6ab});
  const Computed update = loaderUpdate(stock, false, 2);
  expectPinned("market 2, loader update", update.bars, update.state,
               {0xdc5f053b28177252, 0x5b86ddf1150d8dc2, 0xefed2ca9cee79b62, 0x5b7eb7858665f1b7,
                0xa920a7c1f9fb763f, 0x9f2ad33d66df0f03});

  const Computed index = full(market(1095, 3), true, 9, 5, 2, 4, 0);
  expectPinned("market 3 (index, unrounded), full, 9/5/2/4, N 0", index.bars, index.state,
               {0xf26509c0b19a74e3, 0x850723a0a0ffa8a0, 0x4d36e76859b6055e, 0x70b30bdfcf83b733,
                0x7a77ec372afb6fc6, 0xa42775e74e51c7f1});

  // Walked forward in chunks of three bars after a full run up to bar 120.
  Computed walk{market(600, 4), {}};
  computeIndicators(false, false, 2, 1, 1, 1, 599, 120, walk.bars, walk.state, 5);
  for (int newest = 120; newest > 0; newest -= 3)
    computeIndicators(true, false, 2, 1, 1, 1, newest - 1, newest - 3, walk.bars, walk.state, 5);
  expectPinned("market 4, walked in chunks, 2/1/1/1, N 5", walk.bars, walk.state,
               {0x1c21ff00768680b6, 0xb11b7e9cf625794b, 0x3f536df92764eceb, 0x160ea9791fef3682,
                0x33f8e4953050ac3b, 0x87fd31e823130559});

  // A monitored security's 32 bars recomputed from the oldest: windows and
  // averages reach past the series.
  Computed kept{std::vector<QuoteBar>(stock.bars.begin(), stock.bars.begin() + kMonitoredBars), stock.state};
  computeIndicators(true, false, 14, 14, 3, 3, kMonitoredBars - 1, 0, kept.bars, kept.state, 2);
  expectPinned("market 2, 32 kept bars from the oldest", kept.bars, kept.state,
               {0xcb6586b4cfd829df, 0x3c4717c9ca3889ee, 0x01d6a2fc815d7e07, 0x4ee461d2d7267e9f,
                0xa46ed9f8383c17b4, 0x2736323ef45bd5cc});

  const Computed longWindows = full(market(1095, 5), false, 30, 150, 10, 20, 3);
  expectPinned("market 5 (unrounded), full, 30/150/10/20, N 3", longWindows.bars, longWindows.state,
               {0x2771112d276bcb74, 0x43edee71f8eef495, 0x7260d3371b99ee24, 0xdd51e4e60240074f,
                0x7eca0f33f991fd6a, 0x27bb83dcc8f843c4});

  const Computed odd = full(awkward(400), false, 14, 14, 3, 3, 2);
  expectPinned("awkward prices, full", odd.bars, odd.state,
               {0x6b961ae6647906fd, 0xa0e43384a9a00cd9, 0xacc2330c080fc795, 0x07688abfe637de0d,
                0x21cf139efc55d509, 0x1c7633dda4f9126d});
}

TEST(EngineResultsPinned, RealStandardAndPoorsHistory) {
  const std::string source =
      std::string(VELMORA_SOURCE_DIR) + "/build/test-data/node_modules/vega-datasets/data/sp500-2000.csv";
  if (!test::FileExists(source)) GTEST_SKIP() << "no S&P 500 test data (scripts/fetch-test-data.sh)";
  std::FILE* file = std::fopen(source.c_str(), "r");
  ASSERT_NE(file, nullptr);
  std::vector<QuoteBar> rows;  // oldest first
  char line[256];
  while (std::fgets(line, sizeof line, file)) {
    QuoteBar b;
    double adjusted;
    long long volume;
    if (std::sscanf(line, "%*[^,],%lf,%lf,%lf,%lf,%lf,%lld", &b.open, &b.high, &b.low, &b.close, &adjusted,
                    &volume) != 6)
      continue;
    b.volume = volume;
    rows.push_back(b);
  }
  std::fclose(file);
  ASSERT_GT(rows.size(), 5000u);
  // The newest 1095 days, and 1095 days ending in 2008, newest first.
  auto days = [&rows](std::size_t newest) {
    return std::vector<QuoteBar>(
        rows.rbegin() + static_cast<long>(rows.size() - 1 - newest),
        rows.rbegin() + static_cast<long>(rows.size() - 1 - newest + kHistoryCapacity));
  };
  const Computed recent = full(days(rows.size() - 1), true, 14, 14, 3, 3, 2);
  expectPinned("S&P 500, newest 1095 days", recent.bars, recent.state,
               {0x0a2b519c34c44b35, 0x0b5724f30705397e, 0x3cf9cf7d4441d660, 0x025af59e887311d3,
                0xec2f5b844980e0c1, 0x24204c6f9b33b970});
  const Computed update = loaderUpdate(recent, true, 2);
  expectPinned("S&P 500, loader update", update.bars, update.state,
               {0x64ebf1148eb414d7, 0x0b5724f30705397e, 0xf74b3572747cedad, 0xa641da79f1fd2ed6,
                0x3ba25f75580f2635, 0x708cdce5be38cc8f});
  const Computed crisis = full(days(2200), false, 9, 21, 5, 3, 1);
  expectPinned("S&P 500, 1095 days to 2008, 9/21/5/3, N 1", crisis.bars, crisis.state,
               {0x0013996df8d38b67, 0xc4828bf973d15fb8, 0x6d6fe8d6b0fcc800, 0x6895f743cd7ad8b5,
                0xd77539205b8957b1, 0x5d93ff637b84bc34});
}

}  // namespace
}  // namespace velmora
