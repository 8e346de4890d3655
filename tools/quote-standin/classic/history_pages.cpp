#include "classic/history_pages.h"

#include <algorithm>
#include <cstdio>

#include "market/calendar.h"
#include "market/text_out.h"

namespace velmora::standin {

namespace {

[[nodiscard]] bool readKey(const QueryParams& params, const char* key, long long lo, long long hi,
                           long long& value, std::string& error) {
  const std::string* text = FindParam(params, key);
  if (text == nullptr) {
    error = std::string("missing key '") + key + "'";
    return false;
  }
  if (!ParseWholeNumber(*text, lo, hi, value)) {
    error = std::string("bad value for key '") + key + "'";
    return false;
  }
  return true;
}

}  // namespace

bool ReadHistoryQuery(const QueryParams& params, HistoryQuery& query, std::string& error) {
  long long a, b, c, d, e, f;
  if (!readKey(params, "a", 0, 11, a, error) || !readKey(params, "b", 1, 31, b, error) ||
      !readKey(params, "c", 1, 9999, c, error) || !readKey(params, "d", 0, 11, d, error) ||
      !readKey(params, "e", 1, 31, e, error) || !readKey(params, "f", 1, 9999, f, error)) {
    return false;
  }
  query.startMonth0 = static_cast<int>(a);
  query.startDay = static_cast<int>(b);
  query.startYear = static_cast<int>(c);
  query.endMonth0 = static_cast<int>(d);
  query.endDay = static_cast<int>(e);
  query.endYear = static_cast<int>(f);
  // A day past the month's end (31 February) counts on into the next month.
  query.firstDay = DaysFromCivil(query.startYear, query.startMonth0 + 1, 1) + query.startDay - 1;
  query.lastDay = DaysFromCivil(query.endYear, query.endMonth0 + 1, 1) + query.endDay - 1;

  query.period = 'd';
  if (const std::string* g = FindParam(params, "g")) {
    if (*g == "d" || *g == "w" || *g == "m") {
      query.period = (*g)[0];
    } else {
      error = "bad value for key 'g' (d, w or m)";
      return false;
    }
  }
  query.span = 0;
  if (FindParam(params, "z") != nullptr && !readKey(params, "z", -4000000, 4000000, query.span, error))
    return false;
  long long offset = 0;
  if (FindParam(params, "y") != nullptr && !readKey(params, "y", 0, 2147483647, offset, error)) return false;
  query.offset = static_cast<int>(offset);
  return true;
}

HistoryPage SelectHistoryPage(const PriceSeries& series, const HistoryQuery& query, int pageSize) {
  HistoryPage page;
  const std::vector<PriceBar>& bars = series.ForPeriod(query.period);
  page.bars = &bars;
  if (query.firstDay > query.lastDay) return page;
  const auto lo = std::lower_bound(bars.begin(), bars.end(), query.firstDay,
                                   [](const PriceBar& bar, int day) { return bar.day < day; });
  const auto hi = std::upper_bound(bars.begin(), bars.end(), query.lastDay,
                                   [](int day, const PriceBar& bar) { return day < bar.day; });
  page.inRange = static_cast<std::size_t>(hi - lo);
  const auto offset = static_cast<std::size_t>(query.offset);
  if (offset >= page.inRange) return page;
  page.newest = static_cast<std::size_t>(hi - bars.begin()) - 1 - offset;
  page.count = std::min(static_cast<std::size_t>(pageSize), page.inRange - offset);
  return page;
}

namespace {

template <typename RowWriter>
void forEachRow(const HistoryPage& page, RowWriter write) {
  for (std::size_t i = 0; i < page.count; ++i) write((*page.bars)[page.newest - i]);
}

}  // namespace

std::string HistoryCsv(const HistoryPage& page) {
  std::string out;
  out.reserve(48 + page.count * 56);
  out += "Date,Open,High,Low,Close,Volume,Adj Close\n";
  forEachRow(page, [&out](const PriceBar& bar) {
    AppendShortDate(out, bar.day);
    out += ',';
    AppendCents(out, bar.open);
    out += ',';
    AppendCents(out, bar.high);
    out += ',';
    AppendCents(out, bar.low);
    out += ',';
    AppendCents(out, bar.close);
    out += ',';
    AppendInt(out, bar.volume);
    out += ',';
    AppendCents(out, bar.adjClose);
    out += '\n';
  });
  return out;
}

namespace {

const char* periodName(char period) { return period == 'w' ? "Weekly" : period == 'm' ? "Monthly" : "Daily"; }

void appendPageLink(std::string& out, const HistoryQuery& q, int offset, const char* text) {
  out += "<a href=\"/q/hp?s=";
  AppendHtml(out, q.symbol);
  char query[160];
  std::snprintf(query, sizeof query,
                "&amp;a=%02d&amp;b=%d&amp;c=%d&amp;d=%02d&amp;e=%d&amp;f=%d&amp;g=%c&amp;z=%lld&amp;y=%d",
                q.startMonth0, q.startDay, q.startYear, q.endMonth0, q.endDay, q.endYear, q.period, q.span,
                offset);
  out += query;
  out += "\">";
  out += text;
  out += "</a>\n";
}

}  // namespace

std::string HistoryHtml(const HistoryQuery& query, const HistoryPage& page, int pageSize) {
  std::string out;
  out.reserve(1500 + page.count * 110);
  out += "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>";
  AppendHtml(out, query.symbol);
  out +=
      " Historical Prices</title>\n"
      "<style>body{font-family:sans-serif}table{border-collapse:collapse}"
      "td{padding:2px 8px;text-align:right}.note{font-size:small}</style>\n"
      "</head><body>\n<h1>Historical Prices: ";
  AppendHtml(out, query.symbol);
  out += "</h1>\n<p>";
  out += periodName(query.period);
  out += " prices from ";
  out += LongDate(query.firstDay);
  out += " to ";
  out += LongDate(query.lastDay);
  out += "</p>\n<table class=\"prices\">\n";
  out +=
      "<tr><td>Date</td><td>Open</td><td>High</td><td>Low</td><td>Close</td><td>Volume</td><td>Adj "
      "Close*</td></tr>\n";
  forEachRow(page, [&out](const PriceBar& bar) {
    out += "<tr><td>";
    AppendShortDate(out, bar.day);
    out += "</td><td>";
    AppendCents(out, bar.open);
    out += "</td><td>";
    AppendCents(out, bar.high);
    out += "</td><td>";
    AppendCents(out, bar.low);
    out += "</td><td>";
    AppendCents(out, bar.close);
    out += "</td><td>";
    AppendThousands(out, bar.volume);
    out += "</td><td>";
    AppendCents(out, bar.adjClose);
    out += "</td></tr>\n";
  });
  out += "</table>\n<p class=\"note\">* Close price adjusted for dividends and splits.</p>\n<p>\n";
  // Paging links come after the footnote, where readers of the table stop.
  if (query.offset > 0) appendPageLink(out, query, std::max(0, query.offset - pageSize), "Previous page");
  if (static_cast<std::size_t>(query.offset) + page.count < page.inRange) {
    appendPageLink(out, query, query.offset + pageSize, "Next page");
  }
  out += "</p>\n</body></html>\n";
  return out;
}

}  // namespace velmora::standin
