// A chart's data preparation after the load: the full indicator run with
// the chart's periods and the window over three years of daily bars.

#include <benchmark/benchmark.h>

#include <cstdio>

#include "core/chart_window.h"
#include "core/compute_indicators.h"

namespace velmora {
namespace {

// 1095 weekdays of gently wandering prices, bar 0 today's quote.
void fillSeries(ChartData& data) {
  data.bars.ResetAll();
  data.bars.count = kHistoryCapacity;
  CalendarDate day{2026, 12, 7};
  double price = 100.0;
  for (int i = 0; i < kHistoryCapacity; ++i) {
    QuoteBar& b = data.bars[i];
    char text[16];
    std::snprintf(text, sizeof text, "%d/%d/%d", day.month, day.day, day.year);
    b.SetDate(text);
    b.SetTime("00:00AM");
    price += (i * 7919 % 13) * 0.1 - 0.6;
    b.open = price;
    b.close = price + 0.3;
    b.high = price + 1.0;
    b.low = price - 1.0;
    b.volume = 100000 + i * 37 % 5000;
    do day = AddDays(day, -1);
    while ((DaysFromCivil(day) + 4) % 7 == 0 || (DaysFromCivil(day) + 4) % 7 == 6);
  }
}

ChartSettings fiveYears() {
  ChartSettings s;
  s.duration = "5 years";
  s.period = "Daily";
  s.startDate = "12/08/2021";  // older than the series: the window runs to its oldest bar
  s.endDate = "12/07/2026";
  return s;
}

void BM_ChartWindowOf1095Bars(benchmark::State& state) {
  ChartData data;
  fillSeries(data);
  const ChartSettings s = fiveYears();
  for (auto _ : state) {
    FixChartWindow(s, data);
    benchmark::DoNotOptimize(data.priceMax);
  }
}
BENCHMARK(BM_ChartWindowOf1095Bars);

void BM_ChartComputeAndWindowOf1095Bars(benchmark::State& state) {
  ChartData data;
  fillSeries(data);
  const ChartSettings s = fiveYears();
  for (auto _ : state) {
    computeIndicators(false, false, s.rsiPeriod, s.stochFirst, s.stochSecond, s.stochThird,
                      data.barCount() - 1, 0, BarsOf(data.bars), data.signalState, 2);
    FixChartWindow(s, data);
    benchmark::DoNotOptimize(data.priceMax);
  }
}
BENCHMARK(BM_ChartComputeAndWindowOf1095Bars);

}  // namespace
}  // namespace velmora
