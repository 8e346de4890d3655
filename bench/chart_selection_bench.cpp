// One pointer move while a range is being selected on a 1920 x 1080 chart
// of 1095 daily bars: the old band off and the new one on, both in XOR,
// after the highest high and lowest low of the covered bars are found.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "bench_support.h"
#include "chart/chart_painter.h"
#include "chart/selection_band.h"

namespace velmora {
namespace {

// A painted chart of 1095 bars with every panel (the layout fixes the scales).
struct PaintedChart {
  std::unique_ptr<ChartViewModel> model = bench::ThreeYearChart(1920, 1080);
  QImage canvas{1920, 1080, QImage::Format_RGB32};

  PaintedChart() {
    Surface surface(canvas);
    BeginChartPaint(surface, *model);
    PaintChart(surface, *model);
  }
};

// The band pressed at x = 200 and dragged to two points in turn; the
// range argument is the width reached (pixels), up to the whole plot.
void BM_SelectionBandMove(benchmark::State& state) {
  bench::EnsureGuiApplication();
  PaintedChart chart;
  ChartViewModel& m = *chart.model;
  const int y = m.priceTop + 200;
  const int reach = static_cast<int>(state.range(0));
  StartSelection(m, 200, y);
  bool odd = false;
  for (auto _ : state) {
    Surface surface(chart.canvas);
    odd = !odd;
    UpdateSelectionBand(surface, m, 200 + reach + (odd ? 0 : 7), y + (odd ? 0 : 40));
    benchmark::DoNotOptimize(surface.dirtyRect());
  }
}
BENCHMARK(BM_SelectionBandMove)
    ->ArgName("width")
    ->Arg(100)
    ->Arg(800)
    ->Arg(1600)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora
