#include "providers/yahoo_chart_provider.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "base/system_config.h"
#include "net/url_parts.h"
#include "providers/provider_support.h"
#include "providers/provider_symbols.h"
#include "providers/provider_time.h"

namespace velmora {

namespace {

using nlohmann::json;

// Timestamps outside 1900..2100 are no bar times.
constexpr double kEarliestTime = -2208988800.0;
constexpr double kLatestTime = 4102444800.0;
// No exchange is more than 14 hours from UTC.
constexpr double kLargestOffset = 14 * 3600;

const char* intervalOf(ProviderPeriod period) {
  if (period == 'w') return "1wk";
  if (period == 'm') return "1mo";
  return "1d";
}

// Yahoo needs no key: a 401 ("Invalid Crumb", "Invalid Cookie") or a 403 is
// Yahoo refusing this client, not a key to fix.
bool refusal(const ProviderAnswer& answer, ProviderOutcome& outcome) {
  if (answer.transferFailed || (answer.status != 401 && answer.status != 403)) return false;
  std::string reason = "HTTP " + std::to_string(answer.status);
  if (BodyContains(answer.body, "Invalid Crumb")) reason += " Invalid Crumb";
  if (BodyContains(answer.body, "Invalid Cookie")) reason += " Invalid Cookie";
  outcome = MakeOutcome(ProviderStatus::kBlocked, reason);
  return true;
}

// One column of the chart's indicators: an array as long as the timestamps.
const json::array_t* column(const json* value) {
  return value != nullptr && value->is_array() ? &value->get_ref<const json::array_t&>() : nullptr;
}

const json* firstOf(const json* value) {
  return value != nullptr && value->is_array() && !value->empty() ? &value->front() : nullptr;
}

// What a chart answer holds once read.
struct Chart {
  ProviderOutcome outcome;
  std::vector<ProviderBar> bars;
  bool hasQuote = false;
  ProviderQuote quote;
};

// The one result of a chart answer; null with the outcome set when there is
// none.
const json* chartResult(const json& document, ProviderOutcome& outcome) {
  const json* chart = JsonMember(&document, "chart");
  const json* result = firstOf(JsonMember(chart, "result"));
  if (result != nullptr && result->is_object()) return result;
  const std::string code = JsonText(JsonMember(JsonMember(chart, "error"), "code"));
  if (code == "Not Found") {
    outcome = MakeOutcome(ProviderStatus::kNotFound, "chart error: Not Found");
  } else if (chart == nullptr) {
    outcome = MakeOutcome(ProviderStatus::kBadData, "no chart in the answer");
  } else {
    outcome = MakeOutcome(ProviderStatus::kBadData,
                          code.empty() ? "no chart result" : "chart error: " + ReasonText(code));
  }
  return nullptr;
}

// The bars of a result. False with the outcome set when the answer is bad data.
bool readBars(const json& result, int utcOffset, Chart& chart) {
  const json* timestamps = JsonMember(&result, "timestamp");
  if (timestamps == nullptr || timestamps->is_null()) return true;  // a range without bars
  const json::array_t* times = column(timestamps);
  const json* indicators = JsonMember(&result, "indicators");
  const json* quote = firstOf(JsonMember(indicators, "quote"));
  const json::array_t* open = column(JsonMember(quote, "open"));
  const json::array_t* high = column(JsonMember(quote, "high"));
  const json::array_t* low = column(JsonMember(quote, "low"));
  const json::array_t* close = column(JsonMember(quote, "close"));
  const json::array_t* volume = column(JsonMember(quote, "volume"));
  const json* adjusted = JsonMember(firstOf(JsonMember(indicators, "adjclose")), "adjclose");
  const json::array_t* adjClose = column(adjusted);
  if (times == nullptr || open == nullptr || high == nullptr || low == nullptr || close == nullptr ||
      volume == nullptr || (adjusted != nullptr && adjClose == nullptr)) {
    chart.outcome = MakeOutcome(ProviderStatus::kBadData, "chart columns missing");
    return false;
  }
  const std::size_t n = times->size();
  if (open->size() != n || high->size() != n || low->size() != n || close->size() != n ||
      volume->size() != n || (adjClose != nullptr && adjClose->size() != n)) {
    chart.outcome = MakeOutcome(ProviderStatus::kBadData, "chart columns of different lengths");
    return false;
  }
  chart.bars.reserve(n);
  int nullRows = 0;
  int inconsistentRows = 0;
  for (std::size_t i = 0; i < n; ++i) {
    double t = 0;
    ProviderBar bar;
    const JsonNumber read[] = {
        ReadJsonNumber(&(*times)[i], t),
        ReadJsonNumber(&(*open)[i], bar.open),
        ReadJsonNumber(&(*high)[i], bar.high),
        ReadJsonNumber(&(*low)[i], bar.low),
        ReadJsonNumber(&(*close)[i], bar.close),
        ReadJsonNumber(&(*volume)[i], bar.volume),
        adjClose != nullptr ? ReadJsonNumber(&(*adjClose)[i], bar.adjClose) : JsonNumber::kNumber};
    bool hasNull = false;
    for (const JsonNumber r : read) {
      if (r == JsonNumber::kWrong) {
        chart.outcome = MakeOutcome(ProviderStatus::kBadData, "a chart value that is no number");
        return false;
      }
      hasNull = hasNull || r == JsonNumber::kAbsent;
    }
    if (hasNull) {
      ++nullRows;
      continue;
    }
    if (adjClose == nullptr) bar.adjClose = bar.close;
    if (t < kEarliestTime || t > kLatestTime) {
      chart.outcome = MakeOutcome(ProviderStatus::kBadData, "a timestamp that is no date");
      return false;
    }
    const BarCheck check = CheckBar(bar);
    if (check == BarCheck::kBad) {
      chart.outcome = MakeOutcome(ProviderStatus::kBadData, "a price that is no price");
      return false;
    }
    if (check == BarCheck::kSkip) {
      ++inconsistentRows;
      continue;
    }
    bar.date = ClockAt(static_cast<std::int64_t>(t), utcOffset).date;
    chart.bars.push_back(bar);
  }
  SortBarsByDate(chart.bars);
  chart.outcome.reason = SkippedRowsReason(nullRows, inconsistentRows);
  return true;
}

const ProviderBar* barOf(const std::vector<ProviderBar>& bars, ProviderDate date) {
  for (auto it = bars.rbegin(); it != bars.rend(); ++it)
    if (it->date.key() == date.key()) return &*it;
  return nullptr;
}

// The quote of the meta, with the bar of the quote's day for what the meta
// lacks. False when the meta gives a price that is no price (or none).
bool readQuote(const json& meta, int utcOffset, bool hasOffset, Chart& chart) {
  ProviderQuote& q = chart.quote;
  double time = 0;
  if (ReadJsonNumber(JsonMember(&meta, "regularMarketTime"), time) == JsonNumber::kWrong || time < 0 ||
      time > kLatestTime)
    return false;
  double previousClose = 0;
  double chartPreviousClose = 0;
  if (!ReadJsonPrice(&meta, "regularMarketPrice", q.last) ||
      !ReadJsonPrice(&meta, "regularMarketDayHigh", q.high) ||
      !ReadJsonPrice(&meta, "regularMarketDayLow", q.low) ||
      !ReadJsonPrice(&meta, "regularMarketVolume", q.volume) ||
      !ReadJsonPrice(&meta, "previousClose", previousClose) ||
      !ReadJsonPrice(&meta, "chartPreviousClose", chartPreviousClose) || q.last <= 0)
    return false;
  q.time = static_cast<std::int64_t>(time);
  q.symbol = JsonText(JsonMember(&meta, "symbol"));
  q.timeZone = JsonText(JsonMember(&meta, "exchangeTimezoneName"));
  q.hasUtcOffset = hasOffset;
  q.utcOffsetSeconds = utcOffset;
  // The meta has no open; the bar of the quote's day has it, and the bar
  // before that closed at the previous close (the chart's own previous
  // close is the one before the chart's first bar).
  const std::vector<ProviderBar>& bars = chart.bars;
  const ProviderBar* today = q.time > 0 ? barOf(bars, ClockAt(q.time, utcOffset).date) : nullptr;
  if (today != nullptr) {
    q.open = today->open;
    if (q.high == 0) q.high = today->high;
    if (q.low == 0) q.low = today->low;
    if (q.volume == 0) q.volume = today->volume;
  }
  if (previousClose > 0) {
    q.previousClose = previousClose;
  } else if (today != nullptr && today != &bars.front()) {
    q.previousClose = (today - 1)->close;
  } else {
    q.previousClose = chartPreviousClose;
  }
  return true;
}

Chart readChart(const ProviderAnswer& answer) {
  Chart chart;
  if (refusal(answer, chart.outcome)) return chart;
  chart.outcome = QuoteProvider::CommonOutcome(answer);
  if (chart.outcome.status != ProviderStatus::kOk) return chart;
  try {
    const json document = ParseJsonAnswer(answer.body);
    if (document.is_discarded()) {
      chart.outcome = MakeOutcome(ProviderStatus::kBadData, "no JSON");
      return chart;
    }
    const json* result = chartResult(document, chart.outcome);
    if (result == nullptr) return chart;
    const json* meta = JsonMember(result, "meta");
    double offset = 0;
    const JsonNumber offsetRead = ReadJsonNumber(JsonMember(meta, "gmtoffset"), offset);
    if (offsetRead == JsonNumber::kWrong || std::fabs(offset) > kLargestOffset) {
      chart.outcome = MakeOutcome(ProviderStatus::kBadData, "a time-zone offset that is none");
      return chart;
    }
    // Without an offset the bars' times are taken as UTC dates: a market
    // opening after midnight UTC (every American and European one) keeps
    // its date.
    const int utcOffset = static_cast<int>(offset);
    if (!readBars(*result, utcOffset, chart)) return chart;
    if (meta != nullptr && meta->is_object())
      chart.hasQuote = readQuote(*meta, utcOffset, offsetRead == JsonNumber::kNumber, chart);
    if (!chart.hasQuote) chart.quote = ProviderQuote{};
  } catch (...) {
    // Every access is checked; anything the library still throws (no memory)
    // makes the answer unreadable rather than escaping.
    chart = Chart{};
    chart.outcome = MakeOutcome(ProviderStatus::kBadData, "the answer could not be read");
  }
  return chart;
}

}  // namespace

YahooChartProvider::YahooChartProvider(ProviderSettings settings) : settings_(std::move(settings)) {}

ProviderAbilities YahooChartProvider::abilities() const {
  ProviderAbilities a;
  a.daily = a.weekly = a.monthly = true;
  a.adjusted = true;
  a.singleQuote = true;
  a.indices = true;
  return a;
}

std::string YahooChartProvider::MapSymbol(std::string_view symbol) const { return YahooSymbol(symbol); }

namespace {

ProviderRequest chartRequest(const ProviderSettings& settings, const std::string& symbol,
                             const std::string& query) {
  ProviderRequest request;
  request.url =
      BaseUrl(settings, ProviderId::kYahooChart) + "/v8/finance/chart/" + PercentEncode(symbol) + "?" + query;
  const std::string agent = HeaderSafe(settings.userAgent);
  request.headers.push_back("User-Agent: " + (agent.empty() ? std::string(kDefaultYahooUserAgent) : agent));
  return request;
}

}  // namespace

ProviderRequest YahooChartProvider::HistoryRequest(const std::string& mapped, ProviderDate from,
                                                   ProviderDate to, ProviderPeriod period) const {
  // period1 is the first day's midnight UTC, period2 the midnight after the
  // last day, so the last day is in.
  const std::string query = "period1=" + std::to_string(UnixMidnight(from)) +
                            "&period2=" + std::to_string(UnixMidnight(to) + 86400) +
                            "&interval=" + intervalOf(period) + "&events=div%7Csplit";
  return chartRequest(settings_, mapped, query);
}

ProviderHistory YahooChartProvider::ReadHistory(const ProviderAnswer& answer) const {
  Chart chart = readChart(answer);
  ProviderHistory history;
  history.outcome = std::move(chart.outcome);
  if (history.outcome.status != ProviderStatus::kOk) return history;
  history.bars = std::move(chart.bars);
  history.hasQuote = chart.hasQuote;
  history.quote = std::move(chart.quote);
  // The chart ends with the quote's day so far; the history ends the day
  // before, as the classic history does: the current bar is the quote's.
  if (history.hasQuote && history.quote.time > 0) {
    const int quoteDay = ClockAt(history.quote.time, history.quote.utcOffsetSeconds).date.key();
    while (!history.bars.empty() && history.bars.back().date.key() >= quoteDay) history.bars.pop_back();
  }
  return history;
}

ProviderRequest YahooChartProvider::QuoteRequest(const std::vector<std::string>& mapped) const {
  if (mapped.empty()) return {};
  return chartRequest(settings_, mapped.front(), "range=5d&interval=1d");
}

ProviderQuotes YahooChartProvider::ReadQuotes(const ProviderAnswer& answer) const {
  Chart chart = readChart(answer);
  ProviderQuotes quotes;
  quotes.outcome = std::move(chart.outcome);
  if (quotes.outcome.status != ProviderStatus::kOk) return quotes;
  if (!chart.hasQuote) {
    quotes.outcome = MakeOutcome(ProviderStatus::kBadData, "no price in the chart's meta");
    return quotes;
  }
  quotes.quotes.push_back(std::move(chart.quote));
  return quotes;
}

}  // namespace velmora
