#pragma once

#include <span>
#include <vector>

#include "core/quote_bar.h"

namespace velmora {

// The mark each bar of `bars` (index 0 newest) showed the evening it
// closed: the mark that a full computation over that bar and every older
// one, with nothing newer known, gives it. 'B', 'S' or 0, one per bar, in
// the same order. Only the dates and prices of `bars` are read; the
// derived fields they carry play no part. The marks do not depend on the
// RSI and stochastic periods (no signal rule reads those indicators), so
// none are asked for. `confirmDays` is the trend confirmation delay
// (TrendChangeConfirmDays).
//
// The cost is about that of two full computations: each day only the
// newest bars whose trend the day's close still decides are evaluated
// again, from a saved copy of the signal state. With `confirmDays` 0 every
// candidate of the whole history is judged on the newest close, so each
// day is a full computation of its own.
std::vector<char> WalkForwardMarks(std::span<const QuoteBar> bars, bool isIndex, int confirmDays);

}  // namespace velmora
