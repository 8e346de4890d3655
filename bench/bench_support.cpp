#include "bench_support.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/compute_indicators.h"

namespace velmora::bench {

void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "velmora-bench";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

std::unique_ptr<ChartViewModel> ThreeYearChart(int width, int height) {
  auto m = std::make_unique<ChartViewModel>();
  ChartData& d = m->data;
  ChartSettings& s = m->settings;
  s.showVolume = s.showRsi = s.showStochastics = s.showMacd = 1;
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

}  // namespace velmora::bench
