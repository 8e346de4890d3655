#pragma once

#include "core/series_range.h"

namespace velmora {

// stochRawK over `lookback` bars, its `slowing` average (stochSlowRaw), its
// `smoothing` average (stochK) and the `slowing` average of stochK (stochD).
// Windows that reach older bars not computed by this call use the values
// stored there as they stand.
void computeStochastics(const SeriesRange& range, int lookback, int smoothing, int slowing);

}  // namespace velmora
