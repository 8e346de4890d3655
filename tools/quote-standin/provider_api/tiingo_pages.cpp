#include "provider_api/tiingo_pages.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>

#include "market/calendar.h"
#include "market/text_out.h"

namespace velmora::standin {

namespace {

using Json = nlohmann::ordered_json;

// One row of the answer.
struct TiingoRow {
  int day = 0;
  std::int32_t close = 0, high = 0, low = 0, open = 0;
  std::int64_t volume = 0;
  std::int32_t adjClose = 0, adjHigh = 0, adjLow = 0, adjOpen = 0;
  std::int64_t adjVolume = 0;
  std::int64_t divCash = 0;  // cents
  double splitFactor = 1;
};

int dayKey(int day) { return day; }

int (*groupKeyOf(char period))(int) { return period == 'w' ? WeekKey : period == 'm' ? MonthKey : dayKey; }

std::int32_t scaled(std::int32_t cents, double by) {
  return static_cast<std::int32_t>(std::clamp(static_cast<double>(cents) * by + 0.5, 0.0, 2.0e9));
}

// The daily row of `bar`; `previousDay` is the day of the bar before it
// (a split or dividend between the two shows on this row).
TiingoRow dailyRow(const PriceBar& bar, int previousDay, const PriceSeries& series,
                   const std::vector<SplitEvent>& allSplits, const std::vector<SplitEvent>& providerSplits) {
  const int lastDay = series.quote.day;
  TiingoRow row;
  row.day = bar.day;
  row.close = bar.close;
  row.high = bar.high;
  row.low = bar.low;
  row.open = bar.open;
  row.volume = bar.volume;
  row.adjClose = DivideCents(bar.adjClose, SplitFactorAfter(providerSplits, bar.day, lastDay));
  const double adjust = bar.close > 0 ? static_cast<double>(row.adjClose) / bar.close : 1.0;
  row.adjHigh = scaled(bar.high, adjust);
  row.adjLow = scaled(bar.low, adjust);
  row.adjOpen = scaled(bar.open, adjust);
  row.adjVolume = MultiplyVolume(bar.volume, SplitFactorAfter(allSplits, bar.day, lastDay));
  for (const SplitEvent& split : allSplits) {
    if (split.day > previousDay && split.day <= bar.day) row.splitFactor *= split.ratio;
  }
  auto action = std::upper_bound(series.actions.begin(), series.actions.end(), previousDay,
                                 [](int day, const CorporateAction& a) { return day < a.day; });
  for (; action != series.actions.end() && action->day <= bar.day; ++action) row.divCash += action->dividend;
  return row;
}

void merge(TiingoRow& group, const TiingoRow& row) {
  group.close = row.close;
  group.high = std::max(group.high, row.high);
  group.low = std::min(group.low, row.low);
  group.volume += row.volume;
  group.adjClose = row.adjClose;
  group.adjHigh = std::max(group.adjHigh, row.adjHigh);
  group.adjLow = std::min(group.adjLow, row.adjLow);
  group.adjVolume += row.adjVolume;
  group.divCash += row.divCash;
  group.splitFactor *= row.splitFactor;
}

void appendIsoDate(std::string& out, int day) {
  int y, m, d;
  CivilFromDays(day, y, m, d);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
  out += text;
}

// "1.0", "2.0", "1.5": the shortest text that reads back as the number.
void appendFactor(std::string& out, double factor) {
  char text[32];
  const auto r = std::to_chars(text, text + sizeof text, factor);
  std::string number(text, r.ptr);
  if (number.find_first_of(".e") == std::string::npos) number += ".0";
  out += number;
}

void appendRow(std::string& out, const TiingoRow& row) {
  appendIsoDate(out, row.day);
  for (std::int32_t cents : {row.close, row.high, row.low, row.open}) {
    out += ',';
    AppendCents(out, cents);
  }
  out += ',';
  AppendInt(out, row.volume);
  for (std::int32_t cents : {row.adjClose, row.adjHigh, row.adjLow, row.adjOpen}) {
    out += ',';
    AppendCents(out, cents);
  }
  out += ',';
  AppendInt(out, row.adjVolume);
  out += ',';
  AppendCents(out, row.divCash);
  out += ',';
  appendFactor(out, row.splitFactor);
  out += '\n';
}

[[nodiscard]] bool readDate(const QueryParams& params, const char* key, bool& given, int& day,
                            std::string& error) {
  const std::string* text = FindParam(params, key);
  given = text != nullptr;
  if (!given) return true;
  if (text->size() != 10 || !ParseIsoDate(*text, day)) {
    error = std::string(key) + " must be a date YYYY-MM-DD";
    return false;
  }
  return true;
}

}  // namespace

bool ReadTiingoQuery(const QueryParams& params, TiingoQuery& query, std::string& error) {
  query = TiingoQuery{};
  const std::string* format = FindParam(params, "format");
  if (format == nullptr || *format != "csv") {
    error = "this service answers format=csv only";
    return false;
  }
  bool hasEnd = false;
  if (!readDate(params, "startDate", query.hasStart, query.firstDay, error) ||
      !readDate(params, "endDate", hasEnd, query.lastDay, error)) {
    return false;
  }
  if (!hasEnd) query.lastDay = DaysFromCivil(9999, 12, 31);
  if (const std::string* freq = FindParam(params, "resampleFreq")) {
    if (*freq == "daily" || *freq == "weekly" || *freq == "monthly") {
      query.period = (*freq)[0] == 'd' ? 'd' : (*freq)[0] == 'w' ? 'w' : 'm';
    } else {
      error = "resampleFreq must be daily, weekly or monthly";
      return false;
    }
  }
  return true;
}

std::string TiingoPricesCsv(const PriceSeries& series, const TiingoQuery& query,
                            const std::vector<SplitEvent>& providerSplits) {
  std::string out =
      "date,close,high,low,open,volume,adjClose,adjHigh,adjLow,adjOpen,adjVolume,divCash,splitFactor\n";
  const std::vector<PriceBar>& daily = series.daily;
  const auto key = groupKeyOf(query.period);
  std::vector<SplitEvent> allSplits = SeriesSplits(series);
  allSplits.insert(allSplits.end(), providerSplits.begin(), providerSplits.end());

  // The groups whose first trading day lies in the range, from the daily bars.
  std::size_t i = 0;
  if (query.hasStart) {
    i = static_cast<std::size_t>(
        std::lower_bound(daily.begin(), daily.end(), query.firstDay,
                         [](const PriceBar& bar, int day) { return bar.day < day; }) -
        daily.begin());
    // A group that began before the range is not the range's.
    while (i > 0 && i < daily.size() && key(daily[i].day) == key(daily[i - 1].day)) ++i;
  } else {
    // Only the newest group up to the end of the range.
    std::size_t end = static_cast<std::size_t>(
        std::upper_bound(daily.begin(), daily.end(), query.lastDay,
                         [](int day, const PriceBar& bar) { return day < bar.day; }) -
        daily.begin());
    if (end == 0) return out;
    i = end - 1;
    while (i > 0 && key(daily[i].day) == key(daily[i - 1].day)) --i;
    if (daily[i].day > query.lastDay) return out;
  }
  while (i < daily.size() && daily[i].day <= query.lastDay) {
    const int groupKey = key(daily[i].day);
    TiingoRow group =
        dailyRow(daily[i], i > 0 ? daily[i - 1].day : daily[i].day - 1, series, allSplits, providerSplits);
    for (++i; i < daily.size() && key(daily[i].day) == groupKey; ++i) {
      merge(group, dailyRow(daily[i], daily[i - 1].day, series, allSplits, providerSplits));
    }
    appendRow(out, group);
    if (!query.hasStart) break;
  }
  return out;
}

std::string TiingoIexJson(const std::vector<TiingoIexEntry>& entries) {
  const auto price = [](std::int32_t cents) { return static_cast<double>(cents) / 100.0; };
  Json answer = Json::array();
  for (const TiingoIexEntry& entry : entries) {
    const CurrentQuote& q = entry.quote;
    Json item = {{"ticker", entry.ticker}, {"last", nullptr},       {"tngoLast", price(q.last)},
                 {"prevClose", nullptr},   {"open", price(q.open)}, {"high", price(q.high)},
                 {"low", price(q.low)},    {"volume", q.volume},    {"timestamp", QuoteTimeWithOffset(q)}};
    if (q.trading) item["last"] = price(q.last);
    if (q.previousClose > 0) item["prevClose"] = price(q.previousClose);
    answer.push_back(std::move(item));
  }
  return answer.dump();
}

}  // namespace velmora::standin
