// A whole chart paint: 1095 daily bars at 1920 x 1080 with every panel.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "bench_support.h"
#include "chart/chart_painter.h"
#include "core/compute_indicators.h"

namespace velmora {
namespace {

void BM_ChartFullPaint(benchmark::State& state) {
  bench::EnsureGuiApplication();
  auto m = bench::ThreeYearChart(1920, 1080);
  QImage canvas(1920, 1080, QImage::Format_RGB32);
  for (auto _ : state) {
    Surface surface(canvas);
    BeginChartPaint(surface, *m);
    PaintChart(surface, *m);
    surface.flush();
    benchmark::DoNotOptimize(canvas.constBits());
  }
}
BENCHMARK(BM_ChartFullPaint)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora
