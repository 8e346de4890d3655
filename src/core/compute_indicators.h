#pragma once

#include <span>

#include "core/quote_bar.h"
#include "core/signal_state.h"

namespace velmora {

// The analysis engine. Computes every derived field of the bars `start`
// down to `end` (index 0 newest) in place, in a fixed order of stages:
// change, trend levels, RSI, stochastics, moving averages with the volume
// average, and signals. A full computation (`incremental` false) takes
// `start` as the oldest bar and resets `state`; an incremental one relies
// on bar start + 1 holding the results of an earlier computation with the
// same periods and continues `state`. A period of 0 or less leaves its own
// indicator (RSI, or all of the stochastics) at 0 and every other stage is
// computed as usual.
// No allocation; nothing outside `series` is ever read or written.
// `confirmDays` is the trend confirmation delay (EffectiveConfirmDays of the
// caller's configuration).
void computeIndicators(bool incremental, bool isIndex, int rsiPeriod, int stochLookback, int stochSmoothing,
                       int stochSlowing, int start, int end, std::span<QuoteBar> series, SignalState& state,
                       int confirmDays);

// The bars of a series that hold data: the first `count`.
template <int Capacity>
std::span<QuoteBar> BarsOf(QuoteSeriesOf<Capacity>& series) {
  const int n = series.count < 0 ? 0 : (series.count > Capacity ? Capacity : series.count);
  return std::span<QuoteBar>(series.bars.data(), static_cast<std::size_t>(n));
}

}  // namespace velmora
