#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// The market-data providers a user can pick besides the classic services.
// Classic means the services of HistoryQuoteServer and RealTimeQuoteServer,
// untouched.
enum class ProviderId { kClassic, kYahooChart, kTiingo, kFinnhub };
inline constexpr int kProviderCount = 4;

// "Classic", "YahooChart", "Tiingo", "Finnhub": the names Config.ini uses.
const char* ProviderName(ProviderId id);
// Reads a name in any letter case, blanks around it ignored; false when it
// names no provider.
[[nodiscard]] bool ParseProviderName(std::string_view text, ProviderId& id);

// What a provider can serve.
struct ProviderAbilities {
  bool daily = false;
  bool weekly = false;
  bool monthly = false;
  bool adjusted = false;     // an adjusted close beside the close
  bool singleQuote = false;  // a quote request for one symbol
  bool batchQuote = false;   // a quote request for many symbols at once
  bool indices = false;      // market indices (^DJI, ^GSPC, ^IXIC)
  bool needsKey = false;
  bool history() const { return daily || weekly || monthly; }
  bool quotes() const { return singleQuote || batchQuote; }
};

// How one request to a provider ended.
enum class ProviderStatus {
  kOk,
  kNotFound,     // the provider does not know the symbol
  kRateLimited,  // too many requests now: wait (retryAfterSeconds when told)
  kQuotaUsedUp,  // a monthly or daily allowance is spent
  kBadKey,       // the key is missing, wrong or does not cover the request
  kBlocked,      // a page that is no data (HTML, a challenge) with status 200
  kTransient,    // time-out, 5xx, a transfer cut short: worth another try
  kBadData,      // an answer that does not read, or prices that are no prices
};
// "ok", "not found", "rate limited", "quota used up", "bad key", "blocked",
// "transient", "bad data".
const char* ProviderStatusText(ProviderStatus status);

struct ProviderOutcome {
  ProviderStatus status = ProviderStatus::kOk;
  int retryAfterSeconds = -1;  // from Retry-After where the answer gave one
  std::string reason;          // for the log; never holds a key
};

// A calendar date (month 1-12).
struct ProviderDate {
  int year = 0;
  int month = 0;
  int day = 0;
  int key() const { return year * 10000 + month * 100 + day; }
};

// One bar as the provider gave it, prices unadjusted with the adjusted close
// beside them (adjClose equals close where the provider has none).
struct ProviderBar {
  ProviderDate date;
  double open = 0;
  double high = 0;
  double low = 0;
  double close = 0;
  double adjClose = 0;
  double volume = 0;
};

// The current quote of one symbol. Zero means "not given" for every price
// and the volume.
struct ProviderQuote {
  std::string symbol;  // as the provider names it
  double last = 0;
  double previousClose = 0;
  double open = 0;
  double high = 0;
  double low = 0;
  double volume = 0;
  std::int64_t time = 0;  // Unix seconds of the last trade; 0 when not given
  // The exchange's time-zone name ("America/New_York") where the answer
  // gives one; empty: the exchange is taken to be in New York.
  std::string timeZone;
  // The exchange's offset from UTC where the answer gives one (Yahoo's
  // gmtoffset): the time is shown with it unless the zone is New York's,
  // whose daylight-saving rule is applied to the quote's own time.
  bool hasUtcOffset = false;
  int utcOffsetSeconds = 0;
};

struct ProviderHistory {
  ProviderOutcome outcome;
  std::vector<ProviderBar> bars;  // oldest first, one per date
  // The current quote where the history answer carries one (Yahoo chart's
  // meta), so the quote that follows a history load needs no request.
  bool hasQuote = false;
  ProviderQuote quote;
};

struct ProviderQuotes {
  ProviderOutcome outcome;
  std::vector<ProviderQuote> quotes;  // the symbols that were found
};

// One HTTP GET: the whole URL with its query, and header lines (without
// line ends) besides the usual ones.
struct ProviderRequest {
  std::string url;
  std::vector<std::string> headers;
};

// What came back: the final status (after one redirect at most), the raw
// header block and the body. `transferFailed` when no complete answer came
// (no connection, time-out, the transfer cut short), with the library's text.
struct ProviderAnswer {
  int status = 0;
  std::string headers;
  std::string body;
  bool transferFailed = false;
  std::string error;
};

// The settings of one provider.
struct ProviderSettings {
  std::string baseUrl;    // "https://query2.finance.yahoo.com", no trailing '/'
  std::string key;        // empty where the provider needs none
  std::string userAgent;  // the User-Agent header where the provider wants a browser's
};

// The bar length of a history request: 'd', 'w' or 'm'.
using ProviderPeriod = char;

// One provider's requests and the reading of its answers; no network and no
// state, so every thread may use one provider object.
class QuoteProvider {
 public:
  virtual ~QuoteProvider() = default;
  virtual ProviderId id() const = 0;
  virtual ProviderAbilities abilities() const = 0;

  // The provider's name for a symbol of the list ("^GSPC", "MSFT",
  // "RY.TO"); empty when it cannot serve it (an index it has not, a market
  // it does not cover), so the next provider does.
  virtual std::string MapSymbol(std::string_view symbol) const = 0;

  // Bars of [from, to] (both included) of a mapped symbol.
  virtual ProviderRequest HistoryRequest(const std::string& mapped, ProviderDate from, ProviderDate to,
                                         ProviderPeriod period) const = 0;
  virtual ProviderHistory ReadHistory(const ProviderAnswer& answer) const = 0;

  // The current quotes of mapped symbols (one, unless the provider has
  // batch quotes).
  virtual ProviderRequest QuoteRequest(const std::vector<std::string>& mapped) const = 0;
  virtual ProviderQuotes ReadQuotes(const ProviderAnswer& answer) const = 0;

  // The status of an answer that is no data of its own, by the rules every
  // provider shares: a transfer that failed or a 5xx is transient, 429 rate
  // limited (with its Retry-After), 401 and 403 a bad key, 404 not found,
  // a 200 whose body is an HTML page blocked. kOk when the body is for the
  // provider's own reader.
  static ProviderOutcome CommonOutcome(const ProviderAnswer& answer);
};

std::unique_ptr<QuoteProvider> MakeQuoteProvider(ProviderId id, const ProviderSettings& settings);

// The base URL each provider has unless configured otherwise
// (kDefaultYahooChartUrl and its kin in base/system_config.h); "" for Classic.
const char* DefaultProviderBaseUrl(ProviderId id);

}  // namespace velmora
