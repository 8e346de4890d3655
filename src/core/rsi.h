#pragma once

#include "core/series_range.h"

namespace velmora {

// Wilder's RSI with the given period: rsiAvgGain, rsiAvgLoss and rsi. A
// full computation seeds both averages with plain means on bar
// start - period (whose rsi stays as it is); an incremental one continues
// from the averages of bar start + 1.
void computeRsi(const SeriesRange& range, int period);

}  // namespace velmora
