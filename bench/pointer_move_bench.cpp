// One pointer move over a 1920 x 1080 chart of 1095 daily bars with every
// panel: the old cross-hair off, the new one on, the price label put back
// and drawn again, and the information lines for the bar under the pointer.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "bench_support.h"
#include "chart/chart_painter.h"
#include "chart/pointer_overlays.h"
#include "core/compute_indicators.h"

namespace velmora {
namespace {

// A painted three-year daily chart with every panel shown.
struct PaintedChart {
  std::unique_ptr<ChartViewModel> model = bench::ThreeYearChart(1920, 1080);
  PointerOverlayState overlays;
  QImage canvas{1920, 1080, QImage::Format_RGB32};

  PaintedChart() {
    Surface surface(canvas);
    BeginChartPaint(surface, *model);
    PaintChart(surface, *model,
               [this](Surface& sf, ChartViewModel& mm) { DrawOverlaysAfterPaint(sf, mm, overlays); });
  }
};

// Alternates between two points of the price panel, a surface per move as
// the view obtains one.
void BM_PointerMove(benchmark::State& state) {
  bench::EnsureGuiApplication();
  PaintedChart chart;
  const int y0 = chart.model->priceTop + 200, y1 = chart.model->priceTop + 260;
  bool odd = false;
  for (auto _ : state) {
    Surface surface(chart.canvas);
    odd = !odd;
    const OverlayDamage damage =
        OnPointerMove(surface, *chart.model, chart.overlays, odd ? 700 : 1100, odd ? y0 : y1, true);
    benchmark::DoNotOptimize(damage.size());
  }
}
BENCHMARK(BM_PointerMove)->Unit(benchmark::kMicrosecond);

// The pieces: the cross-hair off and on, the label restored and drawn, the
// information lines.
void BM_PointerMovePieces(benchmark::State& state) {
  bench::EnsureGuiApplication();
  PaintedChart chart;
  ChartViewModel& m = *chart.model;
  const int piece = static_cast<int>(state.range(0));
  const int y = m.priceTop + 200;
  Surface surface(chart.canvas);
  for (auto _ : state) {
    switch (piece) {
      case 0:
        DrawCrossHair(surface, m, 700, y);
        DrawCrossHair(surface, m, 700, y);
        break;
      case 1:
        RestorePriceLabel(surface, m, chart.overlays);
        DrawPriceLabel(surface, m, chart.overlays, 700, y);
        break;
      default:
        DrawBarInfo(surface, m, 700);
        break;
    }
  }
  benchmark::DoNotOptimize(chart.canvas.constBits());
}
BENCHMARK(BM_PointerMovePieces)->ArgName("hair_label_info")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora
