#pragma once

#include "core/series_range.h"

namespace velmora {

// Wilder's RSI with the given period: rsiAvgGain, rsiAvgLoss and rsi. A
// full computation seeds both averages with plain means on bar
// start - period (whose rsi stays as it is); an incremental one continues
// from the averages of bar start + 1. A period of 0 or less sets the three
// fields of every bar of the range to 0.
void computeRsi(const SeriesRange& range, int period);

}  // namespace velmora
