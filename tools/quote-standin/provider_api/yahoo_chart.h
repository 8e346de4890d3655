#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "market/price_series.h"
#include "market/query_params.h"
#include "provider_api/current_quote.h"

namespace velmora::standin {

// A chart request: interval=1d|1wk|1mo and either period1/period2 (Unix
// seconds; a bar is in when its opening bell lies in [period1, period2)) or
// range=Nd (the newest N trading days, the quote's day among them, for
// weekly and monthly bars the periods that hold them).
struct YahooQuery {
  char period = 'd';
  bool byRange = false;
  int rangeDays = 0;
  std::int64_t period1 = 0;
  std::int64_t period2 = std::numeric_limits<std::int64_t>::max();
};

// False with a short message for a missing or bad key.
[[nodiscard]] bool ReadYahooQuery(const QueryParams& params, YahooQuery& query, std::string& error);

// The daily bars an answer is built from: the stretch of `daily` the query
// reaches (from the week or month that holds its first day), then `today`,
// the bar of the quote's day so far, when there is one.
std::vector<PriceBar> YahooDays(const std::vector<PriceBar>& daily, const PriceBar* today,
                                const YahooQuery& query);

// The bars of the answer from those days: weekly and monthly ones built
// from them (dated by their first trading day), and of a period1/period2
// query only those whose opening bell lies in [period1, period2).
std::vector<PriceBar> YahooBars(std::vector<PriceBar> days, const YahooQuery& query);

// The chart answer: the quote in "meta", each bar's opening bell in
// "timestamp", its prices in "indicators". With `nullEveryFifth` every fifth
// bar's values are null (its timestamp stays).
std::string YahooChartJson(const std::string& symbol, const CurrentQuote& quote,
                           std::span<const PriceBar> bars, bool nullEveryFifth);

}  // namespace velmora::standin
