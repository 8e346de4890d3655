// The back-test over a list of securities: 512 series of 1,095 daily bars,
// walked forward and traded on every core, and the walk of one series
// against one full computation of it (the walk re-evaluates the newest
// bars of every day from a saved signal state).
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "backtest/backtest.h"
#include "backtest/walk_forward.h"
#include "base/text_helpers.h"
#include "core/compute_indicators.h"

namespace {

using velmora::QuoteBar;

constexpr int kBars = velmora::kHistoryCapacity;
constexpr int kSecurities = 512;

// A deterministic market per seed, with trending regimes and dates.
std::vector<QuoteBar> securityBars(std::uint32_t seed) {
  std::uint64_t s = seed * 2654435761u + 1;
  auto next = [&s]() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(s >> 11) / 9007199254740992.0;
  };
  std::vector<QuoteBar> bars(kBars);
  double close = 20 + 60 * next(), drift = 0;
  for (int k = 0; k < kBars; ++k) {
    if (k % 25 == 0) drift = (next() - 0.5) * 0.02;
    QuoteBar& b = bars[static_cast<std::size_t>(kBars - 1 - k)];
    b.open = velmora::RoundTo2Decimals(close * (1 + (next() - 0.5) * 0.01));
    b.close = velmora::RoundTo2Decimals(close * (1 + drift + (next() - 0.5) * 0.04));
    if (b.close < 1) b.close = 1;
    b.high = velmora::RoundTo2Decimals((b.open > b.close ? b.open : b.close) * (1 + next() * 0.015));
    b.low = velmora::RoundTo2Decimals((b.open < b.close ? b.open : b.close) * (1 - next() * 0.015));
    b.volume = 100000 + static_cast<int>(next() * 900000);
    char date[16];
    std::snprintf(date, sizeof date, "%d-%02d-%02d", 2019 + k / 250, k % 250 / 21 + 1, k % 21 + 1);
    b.SetDate(date);
    close = b.close;
  }
  return bars;
}

const std::vector<std::vector<QuoteBar>>& securities() {
  static const auto all = [] {
    std::vector<std::vector<QuoteBar>> list;
    for (int k = 0; k < kSecurities; ++k) list.push_back(securityBars(static_cast<std::uint32_t>(k + 1)));
    return list;
  }();
  return all;
}

// Every security walked and traded, spread over `threads` threads.
void BM_BacktestList(benchmark::State& state) {
  const auto& list = securities();
  const int threads = static_cast<int>(state.range(0));
  velmora::BacktestOptions options;
  for (auto _ : state) {
    std::vector<velmora::BacktestResult> results(list.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      for (std::size_t k; (k = next.fetch_add(1)) < list.size();)
        results[k] = velmora::RunBacktest(list[k], options);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    benchmark::DoNotOptimize(velmora::PoolBacktests(results));
  }
  state.counters["securities"] = kSecurities;
}
BENCHMARK(BM_BacktestList)->Arg(1)->Arg(2)->ArgName("threads")->Unit(benchmark::kMillisecond)->UseRealTime();

// One security: the walk forward alone, the whole back-test, and the full
// computation the walk is measured against.
void BM_WalkForward(benchmark::State& state) {
  const auto& bars = securities()[0];
  const int confirmDays = static_cast<int>(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(velmora::WalkForwardMarks(bars, false, confirmDays));
}
BENCHMARK(BM_WalkForward)->Arg(2)->Arg(5)->Arg(0)->ArgName("confirm")->Unit(benchmark::kMicrosecond);

void BM_BacktestOne(benchmark::State& state) {
  const auto& bars = securities()[0];
  velmora::BacktestOptions options;
  for (auto _ : state) benchmark::DoNotOptimize(velmora::RunBacktest(bars, options));
}
BENCHMARK(BM_BacktestOne)->Unit(benchmark::kMicrosecond);

void BM_OneFullComputation(benchmark::State& state) {
  auto bars = securities()[0];
  velmora::SignalState signals;
  for (auto _ : state) {
    velmora::computeIndicators(false, false, 14, 14, 3, 3, kBars - 1, 0, bars, signals, 2);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_OneFullComputation)->Unit(benchmark::kMicrosecond);

}  // namespace
