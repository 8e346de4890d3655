#include "core/compute_indicators.h"

#include "core/change_stage.h"
#include "core/moving_averages.h"
#include "core/rsi.h"
#include "core/series_range.h"
#include "core/signal_engine.h"
#include "core/stochastics.h"
#include "core/trend_levels.h"

namespace velmora {

void computeIndicators(bool incremental, bool isIndex, int rsiPeriod, int stochLookback, int stochSmoothing,
                       int stochSlowing, int start, int end, std::span<QuoteBar> series, SignalState& state,
                       int confirmDays) {
  SeriesRange range;
  if (!MakeSeriesRange(series, incremental, start, end, range)) return;
  if (confirmDays < 0) confirmDays = 0;
  computeChange(range);
  computeTrendLevels(range, confirmDays);
  computeRsi(range, rsiPeriod);
  computeStochastics(range, stochLookback, stochSmoothing, stochSlowing);
  computeMovingAverages(range);
  computeSignals(isIndex, range, state, confirmDays);
}

}  // namespace velmora
