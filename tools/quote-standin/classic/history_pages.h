#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "market/price_series.h"
#include "market/query_params.h"

namespace velmora::standin {

// A history request as the system sends it (months counted from 0).
struct HistoryQuery {
  std::string symbol;  // upper case
  int startMonth0 = 0, startDay = 1, startYear = 1970;
  int endMonth0 = 0, endDay = 1, endYear = 1970;
  char period = 'd';
  long long span = 0;
  int offset = 0;
  int firstDay = 0;  // day numbers of the range, both ends included
  int lastDay = 0;
};

// Reads the range, period, span and offset keys of a history request
// (a, b, c, d, e, f required; g, z, y optional). False with a short
// message for a missing key or a bad value.
[[nodiscard]] bool ReadHistoryQuery(const QueryParams& params, HistoryQuery& query, std::string& error);

// The rows of one page, newest first: bars[newest], bars[newest - 1], ...
struct HistoryPage {
  const std::vector<PriceBar>* bars = nullptr;
  std::size_t newest = 0;
  std::size_t count = 0;
  std::size_t inRange = 0;  // rows of the whole range
};

// Rows whose date lies in the range (for weekly and monthly bars: the date of
// their first trading day), newest first, from row `offset`, at most pageSize.
HistoryPage SelectHistoryPage(const PriceSeries& series, const HistoryQuery& query, int pageSize);

// "Date,Open,High,Low,Close,Volume,Adj Close" and one line per row:
// "6-Dec-05,27.03,27.20,26.85,27.00,60302500,26.50".
std::string HistoryCsv(const HistoryPage& page);

// The same rows as an HTML page: a table whose first row holds the column
// titles, one <tr> line per row with the cells side by side (volumes with
// thousands separators), and the footnote line after the table.
std::string HistoryHtml(const HistoryQuery& query, const HistoryPage& page, int pageSize);

}  // namespace velmora::standin
