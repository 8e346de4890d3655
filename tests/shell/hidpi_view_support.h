#pragma once

// A loaded chart for the view tests: `count` trading days of a wavy walk
// ending on Friday 4 Dec 2026, computed by the engine, every panel shown.

#include <QDate>
#include <algorithm>
#include <cmath>

#include "chart/chart_model.h"
#include "core/compute_indicators.h"

namespace velmora::test {

inline void FillLoadedChart(ChartViewModel& m, int count) {
  m.settings.symbol = "MSFT";
  m.settings.showVolume = m.settings.showRsi = m.settings.showStochastics = m.settings.showMacd = 1;
  ChartData& d = m.data;
  d.bars.count = count;
  QDate day(2026, 12, 4);
  double close = 50;
  for (int i = 0; i < count; ++i, day = day.addDays(-1)) {
    while (day.dayOfWeek() > 5) day = day.addDays(-1);
    QuoteBar& b = d.bars[i];
    b.SetDate(day.toString("d-MMM-yy").toLatin1().constData());
    b.SetTime("00:00AM");
    b.open = close + std::sin(i * 0.7) * 0.8;
    b.close = close;
    b.high = std::max(b.open, b.close) + 0.6;
    b.low = std::min(b.open, b.close) - 0.6;
    b.volume = 100000 + (i * 7919) % 50000;
    close = std::max(5.0, close + std::sin(i * 0.05) * 0.9 + std::cos(i * 0.31) * 0.5);
  }
  computeIndicators(false, false, 14, 14, 3, 3, count - 1, 0, BarsOf(d.bars), d.signalState, 2);
  d.newestVisible = 0;
  d.oldestVisible = count - 1;
  d.visibleCount = count;
  d.priceMax = 0, d.priceMin = 1e12, d.volumeMax = 0, d.volumeMin = 99999999;
  for (int i = 0; i < count; ++i) {
    d.priceMax = std::max(d.priceMax, d.bars[i].high);
    d.priceMin = std::min(d.priceMin, d.bars[i].low);
    d.volumeMax = std::max(d.volumeMax, d.bars[i].volume);
    d.volumeMin = std::min(d.volumeMin, d.bars[i].volume);
  }
  m.updateBarSpacing();
}

}  // namespace velmora::test
