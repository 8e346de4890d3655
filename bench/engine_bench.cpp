// The analysis engine over a three-year daily series (1095 bars): the full
// computation, the loader's incremental update of the newest N + 1 bars,
// each stage alone to show where the time goes, and for scale a plain
// C-style computation of six EMAs, RSI and stochastics over arrays of
// doubles, the way a tuned indicator library does it. "per_bar" is the
// time per analysed bar.
#include <benchmark/benchmark.h>

#include <array>
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

// The engine's share of the work the plain computation below does: RSI,
// stochastics and the moving averages (with the volume average and flags).
void BM_StagesRsiStochasticsAverages(benchmark::State& s) {
  stageBench(s, [](const SeriesRange& r, SignalState&) {
    velmora::computeRsi(r, 14);
    velmora::computeStochastics(r, 14, 3, 3);
    velmora::computeMovingAverages(r);
  });
}
BENCHMARK(BM_StagesRsiStochasticsAverages);

// The plain computation: arrays oldest first, each indicator in one tight
// loop of its own, as a library's one call per indicator runs them (so the
// six EMAs are six passes). EMAs seeded with their simple mean; Wilder's
// RSI as 100 * gain / (gain + loss); %K over 14 bars whose extremes are
// searched again only when the bar holding one leaves the window, %K and %D
// as 3-bar means kept by running sums.
struct Plain {
  std::vector<double> high, low, close;
  std::array<std::vector<double>, 6> ema;
  std::vector<double> rsi, k, d, fastK;

  explicit Plain(const std::vector<QuoteBar>& bars) {
    const std::size_t n = bars.size();
    for (std::size_t t = 0; t < n; ++t) {  // oldest first
      const QuoteBar& b = bars[n - 1 - t];
      high.push_back(b.high);
      low.push_back(b.low);
      close.push_back(b.close);
    }
    for (auto& e : ema) e.assign(n, 0);
    rsi.assign(n, 0);
    k.assign(n, 0);
    d.assign(n, 0);
    fastK.assign(n, 0);
  }
  int size() const { return static_cast<int>(close.size()); }
};

void plainEma(const double* close, int n, int period, double* out) {
  if (n < period) return;
  double sum = 0;
  for (int t = 0; t < period; ++t) sum += close[t];
  double e = sum / period;
  out[period - 1] = e;
  const double w = 2.0 / (period + 1);
  for (int t = period; t < n; ++t) {
    e += w * (close[t] - e);
    out[t] = e;
  }
}

void plainRsi(const double* close, int n, int period, double* out) {
  if (n <= period) return;
  double gain = 0, loss = 0;
  auto add = [&](int t) {
    const double diff = close[t] - close[t - 1];
    if (diff > 0) {
      gain += diff;
    } else {
      loss -= diff;
    }
  };
  for (int t = 1; t <= period; ++t) add(t);
  gain /= period;
  loss /= period;
  for (int t = period + 1; t < n; ++t) {
    gain *= period - 1;
    loss *= period - 1;
    add(t);
    gain /= period;
    loss /= period;
    out[t] = gain + loss != 0 ? 100 * gain / (gain + loss) : 50;
  }
}

void plainStochastics(const double* high, const double* low, const double* close, int n, int lookback,
                      int smoothing, double* fastK, double* k, double* d) {
  int highestAt = -1, lowestAt = -1;
  double highest = 0, lowest = 0;
  for (int t = lookback - 1; t < n; ++t) {
    const int oldest = t - lookback + 1;
    if (highestAt < oldest) {
      highestAt = oldest;
      for (int j = oldest + 1; j <= t; ++j)
        if (high[j] >= high[highestAt]) highestAt = j;
      highest = high[highestAt];
    } else if (high[t] >= highest) {
      highestAt = t;
      highest = high[t];
    }
    if (lowestAt < oldest) {
      lowestAt = oldest;
      for (int j = oldest + 1; j <= t; ++j)
        if (low[j] <= low[lowestAt]) lowestAt = j;
      lowest = low[lowestAt];
    } else if (low[t] <= lowest) {
      lowestAt = t;
      lowest = low[t];
    }
    const double span = highest - lowest;
    fastK[t] = span != 0 ? (close[t] - lowest) * 100 / span : 50;
  }
  double kSum = 0, dSum = 0;
  for (int t = lookback - 1; t < n; ++t) {
    kSum += fastK[t];
    if (t >= lookback - 1 + smoothing) kSum -= fastK[t - smoothing];
    k[t] = kSum / smoothing;
    dSum += k[t];
    if (t >= lookback - 1 + smoothing) dSum -= k[t - smoothing];
    d[t] = dSum / smoothing;
  }
}

constexpr int kPlainPeriods[6] = {5, 10, 20, 50, 100, 200};

template <typename Work>
void plainBench(benchmark::State& state, Work work) {
  Plain p(marketBars(kBars));
  for (auto _ : state) {
    work(p);
    benchmark::ClobberMemory();
  }
  perBar(state, kBars);
}

void plainEmas(Plain& p) {
  for (int e = 0; e < 6; ++e) plainEma(p.close.data(), p.size(), kPlainPeriods[e], p.ema[e].data());
}
void plainRsi(Plain& p) { plainRsi(p.close.data(), p.size(), 14, p.rsi.data()); }
void plainStochastics(Plain& p) {
  plainStochastics(p.high.data(), p.low.data(), p.close.data(), p.size(), 14, 3, p.fastK.data(), p.k.data(),
                   p.d.data());
}

void BM_PlainEmasRsiStochastics(benchmark::State& s) {
  plainBench(s, [](Plain& p) {
    plainRsi(p);
    plainStochastics(p);
    plainEmas(p);
  });
}
void BM_PlainSixEmas(benchmark::State& s) {
  plainBench(s, [](Plain& p) { plainEmas(p); });
}
void BM_PlainRsi(benchmark::State& s) {
  plainBench(s, [](Plain& p) { plainRsi(p); });
}
void BM_PlainStochastics(benchmark::State& s) {
  plainBench(s, [](Plain& p) { plainStochastics(p); });
}
BENCHMARK(BM_PlainEmasRsiStochastics);
BENCHMARK(BM_PlainSixEmas);
BENCHMARK(BM_PlainRsi);
BENCHMARK(BM_PlainStochastics);

}  // namespace
