// The text of one security's local history files (".csv" and ".txt") for
// three years of computed daily bars: what the loader formats per security.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "core/compute_indicators.h"
#include "monitor/local_history_writer.h"
#include "monitor/security_entry.h"

namespace {

using namespace velmora;

std::unique_ptr<QuoteSeries> computedHistory() {
  auto series = std::make_unique<QuoteSeries>();
  series->count = QuoteSeries::kCapacity;
  double close = 40;
  for (int i = series->count - 1; i >= 0; --i) {
    QuoteBar& b = (*series)[i];
    b.Reset();
    char date[16];
    std::snprintf(date, sizeof date, "%d/%d/%d", i % 12 + 1, i % 28 + 1, 2020 + i / 365);
    b.SetDate(date);
    const double open = close;
    close = std::max(1.0, close * (1 + 0.02 * std::sin(i * 0.37) + 0.004 * std::cos(i * 1.3)));
    b.open = open;
    b.close = close;
    b.high = std::max(open, close) * 1.01;
    b.low = std::min(open, close) * 0.99;
    b.volume = 2000000 + (i * 7919) % 900000;
  }
  SignalState state;
  computeIndicators(false, false, 14, 14, 3, 3, series->count - 1, 0, BarsOf(*series), state, 2);
  return series;
}

void BM_LocalHistoryFilesText(benchmark::State& state) {
  const auto series = computedHistory();
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string csv = FormatLocalHistoryCsv(series->count, series->data());
    const std::string text = FormatLocalHistoryText("MSFT.txt", false, series->count, series->data());
    bytes = csv.size() + text.size();
    benchmark::DoNotOptimize(bytes);
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_LocalHistoryFilesText)->Unit(benchmark::kMillisecond);

// Both files formatted and written (each to a temporary beside it, then
// renamed over the old one), as a loader thread does after a history load:
// the CPU time is the figure that counts, the files stay in the page cache.
void BM_LocalHistoryFilesWritten(benchmark::State& state) {
  const auto series = computedHistory();
  SecurityData entry;
  if (!InitSecurityEntry(entry, "MSFT", kRealTimeYahoo)) {
    state.SkipWithError("no entry");
    return;
  }
  char folder[] = "/tmp/velmora-bench-XXXXXX";  // the disk the data folder is usually on
  if (::mkdtemp(folder) == nullptr || ::chdir(folder) != 0) {
    state.SkipWithError("no scratch folder");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(WriteLocalHistoryFiles(entry, series->count, series->data()));
  std::remove("MSFT.csv");
  std::remove("MSFT.txt");
  if (::chdir("/") == 0) ::rmdir(folder);
}
BENCHMARK(BM_LocalHistoryFilesWritten)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
