#include "provider_api/yahoo_chart.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "market/calendar.h"

namespace velmora::standin {

namespace {

using Json = nlohmann::ordered_json;

// Unix seconds a request may name: far beyond any bar on either side.
constexpr long long kUnixLimit = 100000000000LL;

double price(std::int32_t cents) { return static_cast<double>(cents) / 100.0; }

int dayKey(int day) { return day; }

int (*groupKeyOf(char period))(int) { return period == 'w' ? WeekKey : period == 'm' ? MonthKey : dayKey; }

}  // namespace

bool ReadYahooQuery(const QueryParams& params, YahooQuery& query, std::string& error) {
  query = YahooQuery{};
  if (const std::string* interval = FindParam(params, "interval")) {
    if (*interval == "1d" || *interval == "1wk" || *interval == "1mo") {
      query.period = *interval == "1d" ? 'd' : *interval == "1wk" ? 'w' : 'm';
    } else {
      error = "Invalid input - interval=" + *interval + " is not supported (1d, 1wk or 1mo)";
      return false;
    }
  }
  const std::string* period1 = FindParam(params, "period1");
  if (period1 != nullptr) {
    long long from = 0;
    if (!ParseWholeNumber(*period1, -kUnixLimit, kUnixLimit, from)) {
      error = "Invalid input - period1 is no time";
      return false;
    }
    query.period1 = from;
    if (const std::string* period2 = FindParam(params, "period2")) {
      long long to = 0;
      if (!ParseWholeNumber(*period2, -kUnixLimit, kUnixLimit, to)) {
        error = "Invalid input - period2 is no time";
        return false;
      }
      query.period2 = to;
    }
    return true;
  }
  const std::string* range = FindParam(params, "range");
  long long days = 0;
  if (range == nullptr || range->size() < 2 || range->back() != 'd' ||
      !ParseWholeNumber(range->substr(0, range->size() - 1), 1, 100000, days) || (*range)[0] == '+') {
    error = range == nullptr ? "Invalid input - period1 or range=Nd is required"
                             : "Invalid input - range=" + *range + " is not supported (Nd)";
    return false;
  }
  query.byRange = true;
  query.rangeDays = static_cast<int>(days);
  return true;
}

std::vector<PriceBar> YahooDays(const std::vector<PriceBar>& daily, const PriceBar* today,
                                const YahooQuery& query) {
  // The first day asked for, as an index into daily and today.
  std::size_t first = daily.size();
  if (query.byRange) {
    const std::size_t total = daily.size() + (today != nullptr ? 1 : 0);
    first = total - std::min(total, static_cast<std::size_t>(query.rangeDays));
  } else {
    // Opening bells grow with the day: the days before period1 are one stretch.
    first =
        static_cast<std::size_t>(std::partition_point(daily.begin(), daily.end(),
                                                      [&](const PriceBar& bar) {
                                                        return SessionOpenUnixTime(bar.day) < query.period1;
                                                      }) -
                                 daily.begin());
  }
  // From the start of its week or month, so that the groups come whole.
  std::size_t from = first;
  if (first < daily.size()) {
    const auto key = groupKeyOf(query.period);
    const int firstKey = key(daily[first].day);
    from = static_cast<std::size_t>(
        std::partition_point(daily.begin(), daily.begin() + first,
                             [&](const PriceBar& bar) { return key(bar.day) < firstKey; }) -
        daily.begin());
  }
  std::vector<PriceBar> days(daily.begin() + static_cast<std::ptrdiff_t>(from), daily.end());
  if (today != nullptr) days.push_back(*today);
  return days;
}

std::vector<PriceBar> YahooBars(std::vector<PriceBar> days, const YahooQuery& query) {
  if (query.period != 'd') days = AggregateBars(days, query.period == 'w' ? WeekKey : MonthKey);
  if (!query.byRange) {
    std::erase_if(days, [&query](const PriceBar& bar) {
      const std::int64_t bell = SessionOpenUnixTime(bar.day);
      return bell < query.period1 || bell >= query.period2;
    });
  }
  return days;
}

std::string YahooChartJson(const std::string& symbol, const CurrentQuote& quote,
                           std::span<const PriceBar> bars, bool nullEveryFifth) {
  Json meta = {{"currency", "USD"},
               {"symbol", symbol},
               {"exchangeTimezoneName", "America/New_York"},
               {"gmtoffset", quote.utcOffsetSeconds},
               {"regularMarketPrice", price(quote.last)},
               {"regularMarketTime", quote.unixTime},
               {"regularMarketDayHigh", price(quote.high)},
               {"regularMarketDayLow", price(quote.low)},
               {"regularMarketVolume", quote.volume},
               {"chartPreviousClose", nullptr}};
  if (quote.previousClose > 0) meta["chartPreviousClose"] = price(quote.previousClose);

  // Objects are made with their keys first and filled after: an ordered
  // object that grows copies its members, whole arrays of bars included.
  Json columns = {
      {"open", nullptr}, {"high", nullptr}, {"low", nullptr}, {"close", nullptr}, {"volume", nullptr}};
  Json& open = columns["open"] = Json::array();
  Json& high = columns["high"] = Json::array();
  Json& low = columns["low"] = Json::array();
  Json& close = columns["close"] = Json::array();
  Json& volume = columns["volume"] = Json::array();
  Json adjclose = Json::array();
  Json timestamps = Json::array();
  for (Json* column : {&open, &high, &low, &close, &volume, &adjclose, &timestamps}) {
    column->get_ref<Json::array_t&>().reserve(bars.size());
  }
  for (std::size_t i = 0; i < bars.size(); ++i) {
    const PriceBar& bar = bars[i];
    timestamps.push_back(SessionOpenUnixTime(bar.day));
    if (nullEveryFifth && i % 5 == 4) {
      for (Json* column : {&open, &high, &low, &close, &volume, &adjclose}) column->push_back(nullptr);
      continue;
    }
    open.push_back(price(bar.open));
    high.push_back(price(bar.high));
    low.push_back(price(bar.low));
    close.push_back(price(bar.close));
    volume.push_back(bar.volume);
    adjclose.push_back(price(bar.adjClose));
  }
  Json result = {{"meta", std::move(meta)}, {"timestamp", nullptr}, {"indicators", nullptr}};
  result["timestamp"] = std::move(timestamps);
  Json& indicators = result["indicators"] = {{"quote", nullptr}, {"adjclose", nullptr}};
  indicators["quote"] = Json::array({std::move(columns)});
  indicators["adjclose"] = Json::array({Json{{"adjclose", nullptr}}});
  indicators["adjclose"][0]["adjclose"] = std::move(adjclose);
  Json answer = {{"chart", {{"result", Json::array()}, {"error", nullptr}}}};
  answer["chart"]["result"].push_back(std::move(result));
  return answer.dump();
}

}  // namespace velmora::standin
