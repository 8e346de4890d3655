#pragma once

#include "core/series_range.h"

namespace velmora {

// stochRawK over `lookback` bars, its `slowing` average (stochSlowRaw), its
// `smoothing` average (stochK) and the `slowing` average of stochK (stochD).
// Windows that reach older bars not computed by this call use the values
// stored there as they stand. Any length of 0 or less sets the four fields
// of every bar of the range to 0.
void computeStochastics(const SeriesRange& range, int lookback, int smoothing, int slowing);

}  // namespace velmora
