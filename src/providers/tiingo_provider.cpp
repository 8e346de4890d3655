#include "providers/tiingo_provider.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "net/url_parts.h"
#include "providers/provider_support.h"
#include "providers/provider_symbols.h"
#include "providers/provider_time.h"

namespace velmora {

namespace {

using nlohmann::json;

const char* resampleOf(ProviderPeriod period) {
  if (period == 'w') return "weekly";
  if (period == 'm') return "monthly";
  return "daily";
}

// Tiingo's refusals come as plain text, the monthly one even with status
// 200; they are read before anything else.
bool refusal(const ProviderAnswer& answer, ProviderOutcome& outcome) {
  if (answer.transferFailed) return false;
  if (BodyContains(answer.body, "You have run over your")) {
    outcome = MakeOutcome(ProviderStatus::kQuotaUsedUp, "quota text");
    return true;
  }
  if (BodyContains(answer.body, "You have exceeded your allocated number of requests")) {
    outcome = MakeOutcome(ProviderStatus::kRateLimited, "hourly cap text");
    outcome.retryAfterSeconds = RetryAfterSeconds(answer.headers);
    return true;
  }
  return false;
}

// A JSON object where data belongs: Tiingo's {"detail": "..."}.
ProviderOutcome detailOutcome(const json& document, const std::string& key) {
  const std::string detail = JsonText(JsonMember(&document, "detail"));
  if (BodyContains(detail, "not found")) return MakeOutcome(ProviderStatus::kNotFound, "ticker not found");
  if (BodyContains(detail, "Invalid token")) return MakeOutcome(ProviderStatus::kBadKey, "invalid token");
  return MakeOutcome(ProviderStatus::kBadData,
                     detail.empty() ? "unexpected JSON" : "detail: " + ReasonText(detail, key));
}

ProviderOutcome answerOutcome(const ProviderAnswer& answer) {
  ProviderOutcome outcome;
  if (refusal(answer, outcome)) return outcome;
  return QuoteProvider::CommonOutcome(answer);
}

// The CSV's columns that make a bar, found by name in the header line.
enum Column { kDate, kOpen, kHigh, kLow, kClose, kVolume, kAdjClose, kColumnCount };
constexpr std::array<std::string_view, kColumnCount> kColumnNames = {"date",  "open",   "high",    "low",
                                                                     "close", "volume", "adjclose"};

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '"'))
    text.remove_prefix(1);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '"'))
    text.remove_suffix(1);
  return text;
}

bool sameName(std::string_view a, std::string_view lowerName) {
  if (a.size() != lowerName.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (c != lowerName[i]) return false;
  }
  return true;
}

void splitFields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = line.find(',', from);
    fields.push_back(
        trimmed(line.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from)));
    if (comma == std::string_view::npos) return;
    from = comma + 1;
  }
}

// The next line of the body without its line end; false at the end.
bool nextLine(std::string_view body, std::size_t& at, std::string_view& line) {
  if (at >= body.size()) return false;
  std::size_t end = body.find('\n', at);
  if (end == std::string_view::npos) end = body.size();
  line = body.substr(at, end - at);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  at = end + 1;
  return true;
}

enum class Field { kNumber, kEmpty, kWrong };

Field readNumber(std::string_view text, double& out) {
  if (text.empty() || text == "null" || text == "NaN") return Field::kEmpty;
  const char* end = text.data() + text.size();
  const auto [p, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && p == end && std::isfinite(out) ? Field::kNumber : Field::kWrong;
}

ProviderOutcome readCsv(std::string_view body, std::vector<ProviderBar>& bars) {
  std::size_t at = 0;
  std::string_view line;
  body = BodyStart(body);
  if (!nextLine(body, at, line)) return MakeOutcome(ProviderStatus::kBadData, "an empty answer");
  std::vector<std::string_view> fields;
  splitFields(line, fields);
  std::array<std::size_t, kColumnCount> index{};
  std::size_t needed = 0;
  for (std::size_t c = 0; c < kColumnCount; ++c) {
    std::size_t i = 0;
    while (i < fields.size() && !sameName(fields[i], kColumnNames[c])) ++i;
    if (i == fields.size())
      return MakeOutcome(ProviderStatus::kBadData, "no " + std::string(kColumnNames[c]) + " column");
    index[c] = i;
    needed = std::max(needed, i + 1);
  }
  int nullRows = 0;
  int inconsistentRows = 0;
  while (nextLine(body, at, line)) {
    if (trimmed(line).empty()) continue;
    splitFields(line, fields);
    if (fields.size() < needed) return MakeOutcome(ProviderStatus::kBadData, "a row shorter than the header");
    ProviderBar bar;
    if (!ReadIsoDate(fields[index[kDate]], bar.date))
      return MakeOutcome(ProviderStatus::kBadData, "a row without a date");
    double* const values[] = {&bar.open, &bar.high, &bar.low, &bar.close, &bar.volume, &bar.adjClose};
    bool empty = false;
    for (std::size_t c = kOpen; c < kColumnCount; ++c) {
      const Field f = readNumber(fields[index[c]], *values[c - kOpen]);
      if (f == Field::kWrong) return MakeOutcome(ProviderStatus::kBadData, "a value that is no number");
      empty = empty || f == Field::kEmpty;
    }
    if (empty) {
      ++nullRows;
      continue;
    }
    const BarCheck check = CheckBar(bar);
    if (check == BarCheck::kBad) return MakeOutcome(ProviderStatus::kBadData, "a price that is no price");
    if (check == BarCheck::kSkip) {
      ++inconsistentRows;
      continue;
    }
    bars.push_back(bar);
  }
  SortBarsByDate(bars);
  return MakeOutcome(ProviderStatus::kOk, SkippedRowsReason(nullRows, inconsistentRows));
}

// One object of the quote array. False when it is bad data; `found` false
// when it has no last price at all (outside hours with nothing traded).
bool readQuote(const json& object, ProviderQuote& q, bool& found) {
  if (!object.is_object()) return false;
  double last = 0, tngoLast = 0;
  if (!ReadJsonPrice(&object, "last", last) || !ReadJsonPrice(&object, "tngoLast", tngoLast) ||
      !ReadJsonPrice(&object, "prevClose", q.previousClose) || !ReadJsonPrice(&object, "open", q.open) ||
      !ReadJsonPrice(&object, "high", q.high) || !ReadJsonPrice(&object, "low", q.low) ||
      !ReadJsonPrice(&object, "volume", q.volume))
    return false;
  q.last = last > 0 ? last : tngoLast;
  q.symbol = JsonText(JsonMember(&object, "ticker"));
  const json* stamp = JsonMember(&object, "timestamp");
  if (stamp == nullptr || stamp->is_null()) stamp = JsonMember(&object, "lastSaleTimestamp");
  if (stamp != nullptr && !stamp->is_null()) {
    if (!stamp->is_string() || !ReadIsoTimestamp(stamp->get_ref<const std::string&>(), q.time) || q.time < 0)
      return false;
  }
  found = q.last > 0;
  return true;
}

}  // namespace

TiingoProvider::TiingoProvider(ProviderSettings settings) : settings_(std::move(settings)) {}

namespace {

// Every Tiingo request carries the key in its Authorization header.
ProviderRequest keyedRequest(std::string url, const ProviderSettings& settings) {
  ProviderRequest request;
  request.url = std::move(url);
  request.headers.push_back("Authorization: Token " + HeaderSafe(settings.key));
  return request;
}

}  // namespace

ProviderAbilities TiingoProvider::abilities() const {
  ProviderAbilities a;
  a.daily = a.weekly = a.monthly = true;
  a.adjusted = true;
  a.singleQuote = a.batchQuote = true;
  a.needsKey = true;
  return a;
}

std::string TiingoProvider::MapSymbol(std::string_view symbol) const { return TiingoSymbol(symbol); }

ProviderRequest TiingoProvider::HistoryRequest(const std::string& mapped, ProviderDate from, ProviderDate to,
                                               ProviderPeriod period) const {
  return keyedRequest(BaseUrl(settings_, ProviderId::kTiingo) + "/tiingo/daily/" + PercentEncode(mapped) +
                          "/prices?startDate=" + IsoDateText(from) + "&endDate=" + IsoDateText(to) +
                          "&resampleFreq=" + resampleOf(period) + "&format=csv",
                      settings_);
}

ProviderHistory TiingoProvider::ReadHistory(const ProviderAnswer& answer) const {
  ProviderHistory history;
  history.outcome = answerOutcome(answer);
  if (history.outcome.status != ProviderStatus::kOk) return history;
  try {
    const std::string_view start = BodyStart(answer.body);
    if (!start.empty() && (start.front() == '{' || start.front() == '[')) {
      const json document = ParseJsonAnswer(answer.body);
      history.outcome = document.is_discarded() ? MakeOutcome(ProviderStatus::kBadData, "no CSV")
                                                : detailOutcome(document, settings_.key);
      return history;
    }
    history.outcome = readCsv(answer.body, history.bars);
  } catch (...) {
    history.outcome = MakeOutcome(ProviderStatus::kBadData, "the answer could not be read");
  }
  if (history.outcome.status != ProviderStatus::kOk) history.bars.clear();
  return history;
}

ProviderRequest TiingoProvider::QuoteRequest(const std::vector<std::string>& mapped) const {
  if (mapped.empty()) return {};
  std::string url = BaseUrl(settings_, ProviderId::kTiingo) + "/iex/";
  for (std::size_t i = 0; i < mapped.size(); ++i) {
    if (i > 0) url += ',';
    url += PercentEncode(mapped[i]);
  }
  return keyedRequest(std::move(url), settings_);
}

ProviderQuotes TiingoProvider::ReadQuotes(const ProviderAnswer& answer) const {
  ProviderQuotes quotes;
  quotes.outcome = answerOutcome(answer);
  if (quotes.outcome.status != ProviderStatus::kOk) return quotes;
  try {
    const json document = ParseJsonAnswer(answer.body);
    if (document.is_discarded()) {
      quotes.outcome = MakeOutcome(ProviderStatus::kBadData, "no JSON");
      return quotes;
    }
    if (document.is_object()) {
      quotes.outcome = detailOutcome(document, settings_.key);
      return quotes;
    }
    if (!document.is_array()) {
      quotes.outcome = MakeOutcome(ProviderStatus::kBadData, "no quote array");
      return quotes;
    }
    for (const json& object : document) {
      ProviderQuote q;
      bool found = false;
      if (!readQuote(object, q, found)) {
        quotes.quotes.clear();
        quotes.outcome = MakeOutcome(ProviderStatus::kBadData, "a quote that does not read");
        return quotes;
      }
      if (found) quotes.quotes.push_back(std::move(q));
    }
    // Unknown tickers are simply left out of the array.
    if (quotes.quotes.empty())
      quotes.outcome = MakeOutcome(ProviderStatus::kNotFound, "no quotes in the answer");
  } catch (...) {
    quotes.quotes.clear();
    quotes.outcome = MakeOutcome(ProviderStatus::kBadData, "the answer could not be read");
  }
  return quotes;
}

}  // namespace velmora
