#include "providers/provider.h"

#include "base/system_config.h"
#include "providers/finnhub_provider.h"
#include "providers/provider_support.h"
#include "providers/tiingo_provider.h"
#include "providers/yahoo_chart_provider.h"

namespace velmora {

namespace {

constexpr const char* kNames[kProviderCount] = {kClassicProviderName, "YahooChart", "Tiingo", "Finnhub"};

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A transfer error for the log: a query (which may hold a key) is cut out of
// any URL the library names, and the text is kept short.
std::string errorForLog(const std::string& error) {
  std::string out;
  bool inQuery = false;
  for (const char c : error) {
    if (c == '?') {
      inQuery = true;
      out += "?...";
    } else if (c == ' ' || c == '\'' || c == '"') {
      inQuery = false;
    }
    if (!inQuery) out += c;
    if (out.size() >= 160) break;
  }
  return out;
}

}  // namespace

const char* ProviderName(ProviderId id) {
  const int i = static_cast<int>(id);
  return i >= 0 && i < kProviderCount ? kNames[i] : "";
}

bool ParseProviderName(std::string_view text, ProviderId& id) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  for (int i = 0; i < kProviderCount; ++i) {
    const std::string_view name = kNames[i];
    bool same = name.size() == text.size();
    for (std::size_t k = 0; same && k < name.size(); ++k) same = lower(name[k]) == lower(text[k]);
    if (same) {
      id = static_cast<ProviderId>(i);
      return true;
    }
  }
  return false;
}

const char* ProviderStatusText(ProviderStatus status) {
  switch (status) {
    case ProviderStatus::kOk:
      return "ok";
    case ProviderStatus::kNotFound:
      return "not found";
    case ProviderStatus::kRateLimited:
      return "rate limited";
    case ProviderStatus::kQuotaUsedUp:
      return "quota used up";
    case ProviderStatus::kBadKey:
      return "bad key";
    case ProviderStatus::kBlocked:
      return "blocked";
    case ProviderStatus::kTransient:
      return "transient";
    case ProviderStatus::kBadData:
      return "bad data";
  }
  return "";
}

ProviderOutcome QuoteProvider::CommonOutcome(const ProviderAnswer& answer) {
  if (answer.transferFailed) {
    const std::string error = errorForLog(answer.error);
    return MakeOutcome(ProviderStatus::kTransient,
                       error.empty() ? "transfer failed" : "transfer failed: " + error);
  }
  const int status = answer.status;
  const std::string http = "HTTP " + std::to_string(status);
  if (status <= 0) return MakeOutcome(ProviderStatus::kTransient, "no HTTP status");
  if (status >= 500) return MakeOutcome(ProviderStatus::kTransient, http);
  if (status == 429) {
    ProviderOutcome outcome = MakeOutcome(ProviderStatus::kRateLimited, http);
    outcome.retryAfterSeconds = RetryAfterSeconds(answer.headers);
    return outcome;
  }
  if (status == 401 || status == 403) return MakeOutcome(ProviderStatus::kBadKey, http);
  if (status == 404) return MakeOutcome(ProviderStatus::kNotFound, http);
  // A redirect still standing after the one the client follows leads to a
  // page (a consent or sign-in page), not to data.
  if (status >= 300 && status < 400) return MakeOutcome(ProviderStatus::kBlocked, http);
  if (status < 200 || status >= 300) return MakeOutcome(ProviderStatus::kBadData, http);
  const std::string type = HeaderValue(answer.headers, "Content-Type");
  bool html = BodyStart(answer.body).substr(0, 1) == "<";
  if (type.size() >= 9) {
    std::string head = type.substr(0, 9);
    for (char& c : head) c = lower(c);
    html = html || head == "text/html";
  }
  if (html) return MakeOutcome(ProviderStatus::kBlocked, "an HTML page instead of data");
  return MakeOutcome(ProviderStatus::kOk, "");
}

std::unique_ptr<QuoteProvider> MakeQuoteProvider(ProviderId id, const ProviderSettings& settings) {
  switch (id) {
    case ProviderId::kYahooChart:
      return std::make_unique<YahooChartProvider>(settings);
    case ProviderId::kTiingo:
      return std::make_unique<TiingoProvider>(settings);
    case ProviderId::kFinnhub:
      return std::make_unique<FinnhubProvider>(settings);
    case ProviderId::kClassic:
      break;
  }
  return nullptr;
}

const char* DefaultProviderBaseUrl(ProviderId id) {
  switch (id) {
    case ProviderId::kYahooChart:
      return kDefaultYahooChartUrl;
    case ProviderId::kTiingo:
      return kDefaultTiingoUrl;
    case ProviderId::kFinnhub:
      return kDefaultFinnhubUrl;
    case ProviderId::kClassic:
      break;
  }
  return "";
}

}  // namespace velmora
