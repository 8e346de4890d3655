// One pointer move over a 1920 x 1080 chart of 1095 daily bars with every
// panel: the old cross-hair off, the new one on, the price label put back
// and drawn again, and the information lines for the bar under the pointer.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "chart/chart_painter.h"
#include "chart/pointer_overlays.h"
#include "core/compute_indicators.h"

namespace velmora {
namespace {

void ensureGui() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "velmora-bench";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

// A painted three-year daily chart with every panel shown.
struct PaintedChart {
  std::unique_ptr<ChartViewModel> model = std::make_unique<ChartViewModel>();
  PointerOverlayState overlays;
  QImage canvas{1920, 1080, QImage::Format_RGB32};

  PaintedChart() {
    ChartViewModel& m = *model;
    ChartData& d = m.data;
    ChartSettings& s = m.settings;
    s.showVolume = s.showRsi = s.showStochastics = s.showMacd = 1;
    const int count = kHistoryCapacity;
    d.bars.count = count;
    double close = 50;
    for (int i = 0; i < count; ++i) {
      QuoteBar& b = d.bars[i];
      const int tradingDay = count - 1 - i;
      char date[16];
      std::snprintf(date, sizeof date, "%d-Jun-%02d", 1 + tradingDay % 28, (4 + tradingDay / 252) % 100);
      b.SetDate(date);
      b.SetTime("00:00AM");
      b.open = close + std::sin(i * 0.7) * 0.8;
      b.close = close;
      b.high = std::max(b.open, close) + 0.6;
      b.low = std::min(b.open, close) - 0.6;
      b.volume = 1000000 + (i * 7919) % 500000;
      close = std::max(5.0, close + std::sin(i * 0.05) * 0.9 + std::cos(i * 0.31) * 0.5);
    }
    computeIndicators(false, false, 14, 14, 3, 3, count - 1, 0, BarsOf(d.bars), d.signalState, 2);
    d.newestVisible = 1;
    d.oldestVisible = count - 1;
    d.visibleCount = count - 1;
    for (int i = 1; i < count; ++i) {
      d.priceMax = std::max(d.priceMax, d.bars[i].high);
      d.priceMin = std::min(d.priceMin, d.bars[i].low);
      d.volumeMax = std::max(d.volumeMax, d.bars[i].volume);
    }
    m.clientWidth = canvas.width();
    m.clientHeight = canvas.height();
    m.updateBarSpacing();
    Surface surface(canvas);
    beginChartPaint(surface, m);
    paintChart(surface, m,
               [this](Surface& sf, ChartViewModel& mm) { drawOverlaysAfterPaint(sf, mm, overlays); });
  }
};

// Alternates between two points of the price panel, a surface per move as
// the view obtains one.
void BM_PointerMove(benchmark::State& state) {
  ensureGui();
  PaintedChart chart;
  const int y0 = chart.model->priceTop + 200, y1 = chart.model->priceTop + 260;
  bool odd = false;
  for (auto _ : state) {
    Surface surface(chart.canvas);
    odd = !odd;
    const OverlayDamage damage =
        onPointerMove(surface, *chart.model, chart.overlays, odd ? 700 : 1100, odd ? y0 : y1, true);
    benchmark::DoNotOptimize(damage.size());
  }
}
BENCHMARK(BM_PointerMove)->Unit(benchmark::kMicrosecond);

// The pieces: the cross-hair off and on, the label restored and drawn, the
// information lines.
void BM_PointerMovePieces(benchmark::State& state) {
  ensureGui();
  PaintedChart chart;
  ChartViewModel& m = *chart.model;
  const int piece = static_cast<int>(state.range(0));
  const int y = m.priceTop + 200;
  Surface surface(chart.canvas);
  for (auto _ : state) {
    switch (piece) {
      case 0:
        drawCrossHair(surface, m, 700, y);
        drawCrossHair(surface, m, 700, y);
        break;
      case 1:
        restorePriceLabel(surface, m, chart.overlays);
        drawPriceLabel(surface, m, chart.overlays, 700, y);
        break;
      default:
        drawBarInfo(surface, m, 700);
        break;
    }
  }
  benchmark::DoNotOptimize(chart.canvas.constBits());
}
BENCHMARK(BM_PointerMovePieces)->ArgName("hair_label_info")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora
