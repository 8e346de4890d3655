#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "market/intraday_quote.h"
#include "market/market_clock.h"
#include "market/series_store.h"
#include "provider_api/current_quote.h"
#include "provider_api/provider_splits.h"
#include "provider_api/providers.h"
#include "server/fault_plan.h"
#include "server/provider_answers.h"
#include "server/request_log.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace velmora::standin {

struct ServiceSettings {
  int pageSize = 200;
  int latencyMs = 0;
  std::string dataDir;
  FaultPlan faults;
  std::optional<MarketTime> fixedNow;
  SplitPlan providerSplits;
  std::string requiredKey;  // empty: the Tiingo and Finnhub endpoints take any key or none
};

// Answers every request of the stand-in service:
//   /table.csv        history rows as CSV
//   /q/hp             the same rows as an HTML table page
//   /d/quotes.csv     day-watch and real-time quote records (by the f= list)
//   /stock-chart.php  a small chart page (symbol=NASDAQ means ^IXIC)
// and the providers' endpoints (ProviderEndpoint) from the same prices.
// Any of them also answers under /moved/ and /moved/moved/, where the
// redirect faults send their clients.
class QuoteService {
 public:
  explicit QuoteService(ServiceSettings settings);

  [[nodiscard]] bool OpenRequestLog(const std::string& path, std::string& error) {
    return log_.Open(path, error);
  }
  void Handle(const httplib::Request& req, httplib::Response& res);
  // Called by the server once a response went out (or failed to).
  void LogRequest(const httplib::Request& req, const httplib::Response& res);
  // Wakes delayed and hanging requests so that the server can stop.
  void Stop() { stopping_.store(true); }

 private:
  enum class Endpoint {
    kNone,
    kIndex,
    kHistoryCsv,
    kHistoryHtml,
    kQuotes,
    kChart,
    kYahooChart,
    kTiingoPrices,
    kTiingoIex,
    kFinnhubQuote,
  };
  struct Reply {
    int status = 200;
    const char* contentType = "text/plain";
    std::string body;
  };
  // A symbol's series and its quote at this moment.
  struct Current {
    QuoteMoment now;
    std::shared_ptr<const PriceSeries> series;
    QuoteSnapshot quote;  // when series->hasQuote
  };

  // The endpoint of a path under at most two /moved/ prefixes, counted in
  // `hops`; for a provider endpoint `subject` is the part of the path that
  // names the symbol (or the list of them).
  static Endpoint route(std::string_view path, int& hops, std::string_view& subject);
  Reply answer(Endpoint endpoint, const httplib::Request& req, const std::string& title,
               const std::string& symbol);
  // Sends the reply, or only half its body under the truncated fault.
  static void send(httplib::Response& res, Reply reply, const Fault& fault);
  // Delays the request by the symbol's slow fault, then answers it with the
  // symbol's other fault; false when the resource itself is to be served.
  // At a provider endpoint (`provider` set) the providers' own kinds answer
  // in the provider's words, naming `ticker`.
  [[nodiscard]] bool applyFault(const httplib::Request& req, httplib::Response& res, const Fault& fault,
                                int hops, const char* contentType,
                                std::optional<ProviderEndpoint> provider = std::nullopt,
                                const std::string& ticker = std::string());
  [[nodiscard]] bool answerFault(const httplib::Request& req, httplib::Response& res, const Fault& fault,
                                 const char* contentType, std::optional<ProviderEndpoint> provider,
                                 const std::string& ticker);
  std::string garbage();  // 512 to 4096 random bytes, different every time
  Reply history(const httplib::Request& req, const std::string& symbol, bool html);
  Reply quotes(const httplib::Request& req, const std::string& symbol);
  Reply chart(const std::string& title, const std::string& symbol);
  QuoteMoment moment() const { return ResolveQuoteMoment(clock_.Now()); }
  Current current(const std::string& symbol);

  // The provider endpoints (provider_requests.cpp).
  void handleProvider(ProviderEndpoint endpoint, std::string_view subject, const httplib::Request& req,
                      httplib::Response& res, int hops);
  bool keyAccepted(ProviderEndpoint endpoint, const httplib::Request& req) const;
  static Reply asReply(ProviderReply reply);
  static void sendProviderReply(httplib::Response& res, ProviderReply reply);
  Reply yahooChart(const httplib::Request& req, const std::string& symbol, const Fault& fault);
  Reply tiingoPrices(const httplib::Request& req, const std::string& ticker, const std::string& symbol);
  Reply tiingoIex(const std::vector<std::string>& tickers);
  Reply finnhubQuote(const std::string& symbol);
  // The current quote as the providers show it: a split on the quote's day
  // divides the previous close.
  CurrentQuote providerQuote(const std::string& symbol, const Current& current) const;

  ServiceSettings settings_;
  MarketClock clock_;
  SeriesStore store_;
  RequestLog log_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint64_t> garbageCounter_{0};
};

}  // namespace velmora::standin
