// The analysis engine over a three-year daily series (1095 bars): the full
// computation, the loader's incremental update of the newest N + 1 bars,
// and each stage alone to show where the time goes. "per_bar" is the time
// per analysed bar.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "base/text_helpers.h"
#include "core/change_stage.h"
#include "core/compute_indicators.h"
#include "core/moving_averages.h"
#include "core/rsi.h"
#include "core/signal_engine.h"
#include "core/stochastics.h"
#include "core/trend_levels.h"

namespace {

using velmora::QuoteBar;
using velmora::SeriesRange;
using velmora::SignalState;

constexpr int kBars = velmora::kHistoryCapacity;
constexpr int kConfirmDays = 2;

// A deterministic market with trending regimes, prices on whole cents.
std::vector<QuoteBar> marketBars(int n) {
  std::uint64_t s = 12345;
  auto next = [&s]() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(s >> 11) / 9007199254740992.0;
  };
  std::vector<QuoteBar> bars(static_cast<std::size_t>(n));
  double close = 50, drift = 0;
  for (int k = 0; k < n; ++k) {
    if (k % 25 == 0) drift = (next() - 0.5) * 0.02;
    QuoteBar& b = bars[static_cast<std::size_t>(n - 1 - k)];
    b.open = velmora::RoundTo2Decimals(close * (1 + (next() - 0.5) * 0.01));
    b.close = velmora::RoundTo2Decimals(close * (1 + drift + (next() - 0.5) * 0.04));
    b.high = velmora::RoundTo2Decimals((b.open > b.close ? b.open : b.close) * (1 + next() * 0.015));
    b.low = velmora::RoundTo2Decimals((b.open < b.close ? b.open : b.close) * (1 - next() * 0.015));
    b.volume = 100000 + static_cast<int>(next() * 900000);
    close = b.close;
  }
  return bars;
}

void perBar(benchmark::State& state, int bars) {
  state.counters["per_bar"] =
      benchmark::Counter(bars, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_FullComputation(benchmark::State& state) {
  auto bars = marketBars(kBars);
  SignalState signals;
  const bool isIndex = state.range(0) != 0;
  for (auto _ : state) {
    velmora::computeIndicators(false, isIndex, 14, 14, 3, 3, kBars - 1, 0, bars, signals, kConfirmDays);
    benchmark::ClobberMemory();
  }
  perBar(state, kBars);
}
BENCHMARK(BM_FullComputation)->Arg(0)->Arg(1)->ArgName("index");

// The loader's real-time update: a copy of the rolled-back state, then the
// newest N + 1 bars recomputed.
void BM_IncrementalUpdate(benchmark::State& state) {
  auto bars = marketBars(kBars);
  SignalState stored;
  velmora::computeIndicators(false, false, 14, 14, 3, 3, kBars - 1, 0, bars, stored, kConfirmDays);
  velmora::rollBackNewestBars(bars, kConfirmDays + 1, stored);
  for (auto _ : state) {
    SignalState work = stored;
    velmora::computeIndicators(true, false, 14, 14, 3, 3, kConfirmDays, 0, bars, work, kConfirmDays);
    benchmark::DoNotOptimize(work);
    benchmark::ClobberMemory();
  }
  perBar(state, kConfirmDays + 1);
}
BENCHMARK(BM_IncrementalUpdate);

// One stage over the whole series (after a full run, so its inputs hold).
template <typename Stage>
void stageBench(benchmark::State& state, Stage stage) {
  auto bars = marketBars(kBars);
  SignalState signals;
  velmora::computeIndicators(false, false, 14, 14, 3, 3, kBars - 1, 0, bars, signals, kConfirmDays);
  SeriesRange range;
  (void)velmora::MakeSeriesRange(bars, false, kBars - 1, 0, range);  // a whole series always makes a range
  for (auto _ : state) {
    stage(range, signals);
    benchmark::ClobberMemory();
  }
  perBar(state, kBars);
}

void BM_StageChange(benchmark::State& s) {
  stageBench(s, [](const SeriesRange& r, SignalState&) { velmora::computeChange(r); });
}
void BM_StageTrendLevels(benchmark::State& s) {
  stageBench(s, [](const SeriesRange& r, SignalState&) { velmora::computeTrendLevels(r, kConfirmDays); });
}
void BM_StageRsi(benchmark::State& s) {
  stageBench(s, [](const SeriesRange& r, SignalState&) { velmora::computeRsi(r, 14); });
}
void BM_StageStochastics(benchmark::State& s) {
  stageBench(s, [](const SeriesRange& r, SignalState&) { velmora::computeStochastics(r, 14, 3, 3); });
}
void BM_StageMovingAverages(benchmark::State& s) {
  stageBench(s, [](const SeriesRange& r, SignalState&) { velmora::computeMovingAverages(r); });
}
void BM_StageSignals(benchmark::State& s) {
  stageBench(
      s, [](const SeriesRange& r, SignalState& st) { velmora::computeSignals(false, r, st, kConfirmDays); });
}
BENCHMARK(BM_StageChange);
BENCHMARK(BM_StageTrendLevels);
BENCHMARK(BM_StageRsi);
BENCHMARK(BM_StageStochastics);
BENCHMARK(BM_StageMovingAverages);
BENCHMARK(BM_StageSignals);

}  // namespace
