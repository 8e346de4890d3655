#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "fault_plan.h"
#include "market_clock.h"
#include "request_log.h"
#include "series_store.h"

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
};

// Answers every request of the stand-in service:
//   /table.csv        history rows as CSV
//   /q/hp             the same rows as an HTML table page
//   /d/quotes.csv     day-watch and real-time quote records (by the f= list)
//   /stock-chart.php  a small chart page (symbol=NASDAQ means ^IXIC)
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
  enum class Endpoint { kNone, kIndex, kHistoryCsv, kHistoryHtml, kQuotes, kChart };
  struct Reply;

  // The endpoint of a path under at most two /moved/ prefixes, counted in `hops`.
  static Endpoint route(std::string_view path, int& hops);
  Reply answer(Endpoint endpoint, const httplib::Request& req, const std::string& title,
               const std::string& symbol);
  // Sends the reply, or only half its body under the truncated fault.
  static void send(httplib::Response& res, Reply reply, const Fault& fault);
  // Delays the request by the symbol's slow fault, then answers it with the
  // symbol's other fault; false when the resource itself is to be served.
  [[nodiscard]] bool applyFault(const httplib::Request& req, httplib::Response& res, const Fault& fault,
                                int hops, const char* contentType);
  [[nodiscard]] bool answerFault(const httplib::Request& req, httplib::Response& res, FaultKind kind,
                                 const char* contentType);
  std::string garbage();  // 512 to 4096 random bytes, different every time
  Reply history(const httplib::Request& req, const std::string& symbol, bool html);
  Reply quotes(const httplib::Request& req, const std::string& symbol);
  Reply chart(const std::string& title, const std::string& symbol);
  QuoteMoment moment() const { return ResolveQuoteMoment(clock_.Now()); }

  ServiceSettings settings_;
  MarketClock clock_;
  SeriesStore store_;
  RequestLog log_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::uint64_t> garbageCounter_{0};
};

}  // namespace velmora::standin
