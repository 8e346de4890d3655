// A whole chart paint: 1095 daily bars at 1920 x 1080 with every panel, on
// a plain canvas and on one of device pixel ratio 2.

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

// Full paints of the chart on `canvas`, 1920 x 1080 logical pixels.
void fullPaints(benchmark::State& state, QImage& canvas) {
  bench::EnsureGuiApplication();
  auto m = bench::ThreeYearChart(1920, 1080);
  for (auto _ : state) {
    Surface surface(canvas);
    BeginChartPaint(surface, *m);
    PaintChart(surface, *m);
    surface.flush();
    benchmark::DoNotOptimize(canvas.constBits());
  }
}

void BM_ChartFullPaint(benchmark::State& state) {
  QImage canvas(1920, 1080, QImage::Format_RGB32);
  fullPaints(state, canvas);
}
BENCHMARK(BM_ChartFullPaint)->Unit(benchmark::kMillisecond);

// The same chart on a high-density screen: a 3840 x 2160 canvas of device
// pixel ratio 2.
void BM_ChartFullPaintRatio2(benchmark::State& state) {
  QImage canvas(3840, 2160, QImage::Format_RGB32);
  canvas.setDevicePixelRatio(2);
  fullPaints(state, canvas);
}
BENCHMARK(BM_ChartFullPaintRatio2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora
