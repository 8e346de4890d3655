#pragma once

#include "core/quote_bar.h"
#include "core/signal_state.h"

namespace velmora {

// A chart's own data: its series and trend state, the visible window and
// its extents. Filled once by the chart's data preparation; read by the
// chart view's layout, painters and pointer overlays.
struct ChartData {
  QuoteSeries bars;  // newest first; bars.count is the bar count
  SignalState signalState;
  int newestVisible = 0;
  int oldestVisible = 0;
  int visibleCount = 0;
  double priceMax = 0;
  double priceMin = 9999999999.99;
  std::int64_t volumeMax = 0;
  std::int64_t volumeMin = 99999999;

  int barCount() const { return bars.count; }
};

}  // namespace velmora
