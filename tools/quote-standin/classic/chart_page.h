#pragma once

#include <string>

#include "market/intraday_quote.h"
#include "market/price_series.h"

namespace velmora::standin {

// A small self-contained HTML page: the latest quote and an SVG candle chart
// of the last six months (the history plus today's quote as the last candle).
// `title` is what the user asked for ("NASDAQ"), `symbol` what it stands for.
std::string ChartPage(const std::string& title, const std::string& symbol, const PriceSeries& series,
                      const QuoteSnapshot& quote);

}  // namespace velmora::standin
