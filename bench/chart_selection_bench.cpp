// One pointer move while a range is being selected on a 1920 x 1080 chart
// of 1095 daily bars: the old band off and the new one on, both in XOR,
// after the highest high and lowest low of the covered bars are found.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "chart/chart_painter.h"
#include "chart/selection_band.h"

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

// A painted chart of 1095 bars with every panel (the layout fixes the scales).
struct PaintedChart {
  std::unique_ptr<ChartViewModel> model = std::make_unique<ChartViewModel>();
  QImage canvas{1920, 1080, QImage::Format_RGB32};

  PaintedChart() {
    ChartViewModel& m = *model;
    ChartData& d = m.data;
    m.settings.showVolume = m.settings.showRsi = m.settings.showStochastics = m.settings.showMacd = 1;
    const int count = kHistoryCapacity;
    d.bars.count = count;
    double close = 50;
    for (int i = 0; i < count; ++i) {
      QuoteBar& b = d.bars[i];
      char date[16];
      std::snprintf(date, sizeof date, "%d-Jun-%02d", 1 + i % 28, (26 - i / 252) % 100);
      b.SetDate(date);
      b.open = close + std::sin(i * 0.7) * 0.8;
      b.close = close;
      b.high = std::max(b.open, close) + 0.6;
      b.low = std::min(b.open, close) - 0.6;
      b.volume = 1000000 + (i * 7919) % 500000;
      close = std::max(5.0, close + std::sin(i * 0.05) * 0.9 + std::cos(i * 0.31) * 0.5);
    }
    d.newestVisible = 0;
    d.oldestVisible = count - 1;
    d.visibleCount = count;
    for (int i = 0; i < count; ++i) {
      d.priceMax = std::max(d.priceMax, d.bars[i].high);
      d.priceMin = std::min(d.priceMin, d.bars[i].low);
      d.volumeMax = std::max(d.volumeMax, d.bars[i].volume);
    }
    m.clientWidth = canvas.width();
    m.clientHeight = canvas.height();
    m.updateBarSpacing();
    Surface surface(canvas);
    beginChartPaint(surface, m);
    paintChart(surface, m);
  }
};

// The band pressed at x = 200 and dragged to two points in turn; the
// range argument is the width reached (pixels), up to the whole plot.
void BM_SelectionBandMove(benchmark::State& state) {
  ensureGui();
  PaintedChart chart;
  ChartViewModel& m = *chart.model;
  const int y = m.priceTop + 200;
  const int reach = static_cast<int>(state.range(0));
  startSelection(m, 200, y);
  bool odd = false;
  for (auto _ : state) {
    Surface surface(chart.canvas);
    odd = !odd;
    updateSelectionBand(surface, m, 200 + reach + (odd ? 0 : 7), y + (odd ? 0 : 40));
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
