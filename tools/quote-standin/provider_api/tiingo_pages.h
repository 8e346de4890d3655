#pragma once

#include <string>
#include <vector>

#include "market/price_series.h"
#include "market/query_params.h"
#include "provider_api/current_quote.h"
#include "provider_api/provider_splits.h"

namespace velmora::standin {

// A prices request: startDate and endDate (YYYY-MM-DD, both included; without
// startDate only the newest bar up to endDate), resampleFreq=daily|weekly|
// monthly, format=csv.
struct TiingoQuery {
  bool hasStart = false;
  int firstDay = 0;
  int lastDay = 0;
  char period = 'd';
};

// False with a short message for a bad key.
[[nodiscard]] bool ReadTiingoQuery(const QueryParams& params, TiingoQuery& query, std::string& error);

// The prices as CSV, oldest first, under the line
// "date,close,high,low,open,volume,adjClose,adjHigh,adjLow,adjOpen,adjVolume,divCash,splitFactor".
// close, high, low, open and volume are the series' own (unadjusted); the
// adjusted close is the series' divided by the factor of `providerSplits`,
// and the other adjusted values follow the close's adjustment. Weekly and
// monthly rows are built from the daily ones and dated by their first
// trading day, as the series' own.
std::string TiingoPricesCsv(const PriceSeries& series, const TiingoQuery& query,
                            const std::vector<SplitEvent>& providerSplits);

// One object of a quotes answer.
struct TiingoIexEntry {
  std::string ticker;  // as the answer names it ("MSFT", "BRK-B")
  CurrentQuote quote;
};

// [{"ticker":"MSFT","last":415.2,"tngoLast":415.2,"prevClose":412.3,...},...];
// "last" is null while the session does not run.
std::string TiingoIexJson(const std::vector<TiingoIexEntry>& entries);

}  // namespace velmora::standin
