// A whole chart paint: 1095 daily bars at 1920 x 1080 with every panel.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "chart/chart_painter.h"
#include "core/compute_indicators.h"

namespace velmora {
namespace {

void ensureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "velmora-bench";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

// Three years of weekday bars with swings, computed by the engine; bars 1
// to 1094 visible, as a three-year daily chart shows them.
std::unique_ptr<ChartViewModel> threeYearChart(int width, int height) {
  auto m = std::make_unique<ChartViewModel>();
  ChartData& d = m->data;
  const int count = kHistoryCapacity;
  d.bars.count = count;
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  double close = 50;
  for (int i = 0; i < count; ++i) {
    QuoteBar& b = d.bars[i];
    const int tradingDay = count - 1 - i;  // 21 trading days a month
    char date[16];
    std::snprintf(date, sizeof date, "%d-%s-%02d", 1 + tradingDay % 21, kMonths[(tradingDay / 21) % 12],
                  (4 + tradingDay / 252) % 100);
    b.SetDate(date);
    b.SetTime("00:00AM");
    const double open = close + std::sin(i * 0.7) * 0.8;
    b.open = open;
    b.close = close;
    b.high = std::max(open, close) + 0.6;
    b.low = std::min(open, close) - 0.6;
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
    d.volumeMin = std::min(d.volumeMin, d.bars[i].volume);
  }
  m->clientWidth = width;
  m->clientHeight = height;
  m->updateBarSpacing();
  return m;
}

void BM_ChartFullPaint(benchmark::State& state) {
  ensureGuiApplication();
  auto m = threeYearChart(1920, 1080);
  QImage canvas(1920, 1080, QImage::Format_RGB32);
  for (auto _ : state) {
    Surface surface(canvas);
    beginChartPaint(surface, *m);
    paintChart(surface, *m);
    surface.flush();
    benchmark::DoNotOptimize(canvas.constBits());
  }
}
BENCHMARK(BM_ChartFullPaint)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora
