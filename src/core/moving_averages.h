#pragma once

#include "core/series_range.h"

namespace velmora {

// The six exponential averages of the close (5, 10, 20, 50, 100, 200 bars)
// with their above flags, toEma10Percent and the 50-bar volume average.
// A full computation seeds each average with the plain mean of its first
// `period` closes and leaves it 0 before that.
void computeMovingAverages(const SeriesRange& range);

}  // namespace velmora
