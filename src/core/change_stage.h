#pragma once

#include "core/series_range.h"

namespace velmora {

// change and changePercent of every bar of the range, against the previous
// bar's close, both rounded to two decimals. The oldest bar of a full
// computation has no previous bar and gets 0 for both.
void computeChange(const SeriesRange& range);

}  // namespace velmora
