#pragma once

#include "core/series_range.h"

namespace velmora {

// Upper and lower break levels, break state, confirmed trend, trendChanged
// and barsSinceChange. A break is confirmed by the close `confirmDays` bars
// later (the newest close for the newest bars); an unconfirmed break puts
// its level back. Needs at least three bars in the range.
void computeTrendLevels(const SeriesRange& range, int confirmDays);

}  // namespace velmora
