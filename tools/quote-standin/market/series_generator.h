#pragma once

#include <string_view>

#include "market/price_series.h"

namespace velmora::standin {

// The first day of generated data: Thursday, 1 January 1970.
inline constexpr int kFirstGeneratedDay = 0;

// Deterministic prices for `symbol` (upper case) from 1970 through
// `quoteDay`: the same symbol always gives the same bars, and a later quote
// day only appends bars (adjusted closes follow later splits and dividends).
// Symbols starting with '^' are indices: no splits, no dividends.
PriceSeries GenerateSeries(std::string_view symbol, int quoteDay);

}  // namespace velmora::standin
