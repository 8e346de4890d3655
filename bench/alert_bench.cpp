// What alerts add to a loader thread: the detection after a history load
// (one more full computation, of the evening before) and after a real-time
// update, beside the engine work those steps already do.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "alerts/alert_center.h"
#include "alerts/alert_sinks.h"
#include "core/compute_indicators.h"
#include "monitor/local_history_writer.h"

namespace {

using namespace velmora;
namespace fs = std::filesystem;

constexpr int kBars = 783;  // three years of trading days

// Three years of dated daily bars with swings, newest first.
std::unique_ptr<QuoteSeries> marketSeries() {
  auto series = std::make_unique<QuoteSeries>();
  series->count = kBars;
  double close = 50;
  for (int k = 0; k < kBars; ++k) {
    QuoteBar& b = (*series)[kBars - 1 - k];
    const double step = 0.012 * std::sin(k / 17.0) + 0.008 * std::sin(k / 5.3) + 0.004 * std::cos(k * 1.7);
    b.open = close;
    close = std::round(close * (1 + step) * 100) / 100;
    b.close = close;
    b.high = std::max(b.open, close) * 1.006;
    b.low = std::min(b.open, close) * 0.994;
    b.volume = 1000000;
    char date[16];
    std::snprintf(date, sizeof date, "%d/%d/%d", 1 + k / 240 % 12, 1 + k % 20, 2024 + k / 261);
    b.SetDate(date);
  }
  return series;
}

// A center in a folder of its own, and a security as the loader leaves it.
struct AlertScene {
  AlertScene() : previous(fs::current_path()) {
    char pattern[] = "/tmp/velmora-bench-XXXXXX";
    folder = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    fs::current_path(folder);
    history = marketSeries();
    SignalState state;
    computeIndicators(false, false, kLoaderRsiPeriod, kLoaderStochLookback, kLoaderStochSmoothing,
                      kLoaderStochSlowing, kBars - 1, 0, BarsOf(*history), state, 2);
    (void)InitSecurityEntry(data, "MSFT", kRealTimeYahoo);
    for (int i = 0; i < kMonitoredBars; ++i) data.bars[i].CopyFrom((*history)[i]);
    data.bars.count = kMonitoredBars;
    center = MakeAlertCenter(AlertSettings{});
    // The first call remembers what there is; later ones find nothing new.
    center->SecurityLoaded(data, BarsOf(*history), 2);
  }
  ~AlertScene() {
    center.reset();
    std::error_code ec;
    fs::current_path(previous, ec);
    fs::remove_all(folder, ec);
  }
  fs::path previous;
  std::string folder;
  std::unique_ptr<QuoteSeries> history;
  SecurityData data;
  std::unique_ptr<AlertCenter> center;
};

// The history load's own engine run, for scale.
void BM_AlertBaselineFullComputation(benchmark::State& state) {
  auto raw = marketSeries();
  auto work = std::make_unique<QuoteSeries>();
  for (auto _ : state) {
    *work = *raw;
    SignalState signals;
    computeIndicators(false, false, kLoaderRsiPeriod, kLoaderStochLookback, kLoaderStochSmoothing,
                      kLoaderStochSlowing, kBars - 1, 0, BarsOf(*work), signals, 2);
    benchmark::DoNotOptimize(work->bars[0].signalMark);
  }
}
BENCHMARK(BM_AlertBaselineFullComputation)->Unit(benchmark::kMicrosecond);

void BM_AlertAfterHistoryLoad(benchmark::State& state) {
  AlertScene scene;
  for (auto _ : state) scene.center->SecurityLoaded(scene.data, BarsOf(*scene.history), 2);
}
BENCHMARK(BM_AlertAfterHistoryLoad)->Unit(benchmark::kMicrosecond);

void BM_AlertAfterRealTimeUpdate(benchmark::State& state) {
  AlertScene scene;
  for (auto _ : state) scene.center->SecurityRefreshed(scene.data);
}
BENCHMARK(BM_AlertAfterRealTimeUpdate)->Unit(benchmark::kMicrosecond);

// A command that writes N MB without a line end: the sink reads it all and
// logs a line and a count (the time includes the command's own work).
void BM_AlertCommandLongOutput(benchmark::State& state) {
  AlertScene scene;
  const std::string bytes = std::to_string(state.range(0) * 1000000);
  CommandSink sink({"sh", "-c", "head -c " + bytes + " /dev/zero | tr '\\0' x"}, std::chrono::seconds(60));
  for (auto _ : state) sink.Deliver(Alert{});
}
BENCHMARK(BM_AlertCommandLongOutput)->Arg(5)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

}  // namespace
