#include "providers/finnhub_provider.h"

#include <nlohmann/json.hpp>

#include "net/url_parts.h"
#include "providers/provider_support.h"
#include "providers/provider_symbols.h"

namespace velmora {

namespace {

using nlohmann::json;

// Finnhub's {"error": "..."} where a quote belongs, by its text.
ProviderOutcome errorOutcome(const std::string& error, const std::string& key) {
  if (BodyContains(error, "API limit")) return MakeOutcome(ProviderStatus::kRateLimited, "API limit reached");
  if (BodyContains(error, "access") || BodyContains(error, "API key"))
    return MakeOutcome(ProviderStatus::kBadKey, "the key is refused");
  return MakeOutcome(ProviderStatus::kBadData, "error: " + ReasonText(error, key));
}

// Unix times before 2100.
constexpr double kLatestTime = 4102444800.0;

}  // namespace

FinnhubProvider::FinnhubProvider(ProviderSettings settings) : settings_(std::move(settings)) {}

ProviderAbilities FinnhubProvider::abilities() const {
  ProviderAbilities a;
  a.singleQuote = true;
  a.needsKey = true;
  return a;
}

std::string FinnhubProvider::MapSymbol(std::string_view symbol) const { return FinnhubSymbol(symbol); }

ProviderRequest FinnhubProvider::HistoryRequest(const std::string&, ProviderDate, ProviderDate,
                                                ProviderPeriod) const {
  return {};
}

ProviderHistory FinnhubProvider::ReadHistory(const ProviderAnswer&) const {
  ProviderHistory history;
  history.outcome = MakeOutcome(ProviderStatus::kNotFound, "Finnhub serves no history");
  return history;
}

ProviderRequest FinnhubProvider::QuoteRequest(const std::vector<std::string>& mapped) const {
  if (mapped.empty()) return {};
  ProviderRequest request;
  request.url = BaseUrl(settings_, ProviderId::kFinnhub) +
                "/api/v1/quote?symbol=" + PercentEncode(mapped.front()) +
                "&token=" + PercentEncode(settings_.key);
  return request;
}

ProviderQuotes FinnhubProvider::ReadQuotes(const ProviderAnswer& answer) const {
  ProviderQuotes quotes;
  quotes.outcome = CommonOutcome(answer);
  if (quotes.outcome.status == ProviderStatus::kBadKey && BodyContains(answer.body, "don't have access"))
    quotes.outcome.reason += " (the key does not cover it)";
  if (quotes.outcome.status != ProviderStatus::kOk) return quotes;
  try {
    const json document = ParseJsonAnswer(answer.body);
    if (document.is_discarded() || !document.is_object()) {
      quotes.outcome = MakeOutcome(ProviderStatus::kBadData, "no quote object");
      return quotes;
    }
    if (const json* error = JsonMember(&document, "error")) {
      quotes.outcome =
          errorOutcome(error->is_string() ? error->get<std::string>() : std::string(), settings_.key);
      return quotes;
    }
    ProviderQuote q;
    double time = 0;
    if (!ReadJsonPrice(&document, "c", q.last) || !ReadJsonPrice(&document, "pc", q.previousClose) ||
        !ReadJsonPrice(&document, "o", q.open) || !ReadJsonPrice(&document, "h", q.high) ||
        !ReadJsonPrice(&document, "l", q.low) || !ReadJsonPrice(&document, "t", time) || time > kLatestTime) {
      quotes.outcome = MakeOutcome(ProviderStatus::kBadData, "a quote that does not read");
      return quotes;
    }
    // An unknown symbol answers with zeros: no price, not a price of 0.
    if (q.last == 0) {
      quotes.outcome = MakeOutcome(ProviderStatus::kNotFound, "a quote of zeros");
      return quotes;
    }
    q.time = static_cast<std::int64_t>(time);
    quotes.quotes.push_back(std::move(q));
  } catch (...) {
    quotes.quotes.clear();
    quotes.outcome = MakeOutcome(ProviderStatus::kBadData, "the answer could not be read");
  }
  return quotes;
}

}  // namespace velmora
