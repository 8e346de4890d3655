#include "server/quote_service.h"

#include <httplib.h>

#include <chrono>

#include "classic/chart_page.h"
#include "classic/history_pages.h"
#include "classic/quote_records.h"
#include "market/intraday_quote.h"
#include "market/query_params.h"
#include "market/random_source.h"
#include "market/symbols.h"
#include "server/authorization.h"
#include "server/connection_watch.h"
#include "server/provider_answers.h"

namespace velmora::standin {

namespace {

constexpr const char* kCsvType = "text/csv";
constexpr const char* kHtmlType = "text/html; charset=utf-8";
constexpr const char* kTextType = "text/plain";
constexpr const char* kFaultHeader = "X-Standin-Fault";
// base64("user:secret"): the credentials the 401 fault accepts.
constexpr const char* kCredentials = "dXNlcjpzZWNyZXQ=";
constexpr auto kHangLimit = std::chrono::minutes(10);

// When the request being handled on this thread started, for the log.
thread_local std::chrono::steady_clock::time_point tRequestStart;
thread_local bool tRequestTimed = false;

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool hostHeaderUsable(const std::string& host) {
  if (host.empty() || host.size() > 255) return false;
  for (char c : host) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '-' || c == ':' || c == '[' || c == ']';
    if (!ok) return false;
  }
  return true;
}

std::string hostOf(const httplib::Request& req) {
  const std::string host = req.get_header_value("Host");
  if (hostHeaderUsable(host)) return host;
  const bool v6 = req.local_addr.find(':') != std::string::npos;
  return (v6 ? "[" + req.local_addr + "]" : req.local_addr) + ":" + std::to_string(req.local_port);
}

bool hasCredentials(const httplib::Request& req) {
  return AuthorizationIs(req.get_header_value("Authorization"), "basic", kCredentials);
}

void plain(httplib::Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content(text + "\n", kTextType);
}

// Whether a fault answers this request in place of the resource: the 401
// fault lets a request with the credentials through, and the redirect faults
// let one through once it has made its hops.
bool faultAnswers(const httplib::Request& req, const Fault& fault, int hops) {
  if (fault.kind == FaultKind::kNone || fault.kind == FaultKind::kTruncated) return false;
  if (fault.kind == FaultKind::kStatus401 && hasCredentials(req)) return false;
  const int hopsWanted = fault.kind == FaultKind::kRedirect        ? 1
                         : fault.kind == FaultKind::kRedirectTwice ? 2
                                                                   : 0;
  return hopsWanted == 0 || hops < hopsWanted;
}

// The symbol a request asks for ("symbol" on the chart page, else "s"), as
// given (`title`) and as served (`symbol`, upper case; NASDAQ on the chart
// page means the composite index). False once `res` holds the refusal of a
// missing key or a malformed symbol.
[[nodiscard]] bool readSymbol(const httplib::Request& req, httplib::Response& res, bool chartPage,
                              std::string& title, std::string& symbol) {
  const char* key = chartPage ? "symbol" : "s";
  const std::string* given = FindParam(req.params, key);
  if (given == nullptr) {
    plain(res, 400, std::string("Bad Request: missing key '") + key + "'");
    return false;
  }
  title = *given;
  symbol = UpperSymbol(*given);
  if (chartPage && symbol == "NASDAQ") symbol = kCompositeSymbol;
  if (!IsWellFormedSymbol(symbol)) {
    plain(res, 404, "Not Found: no such symbol");
    return false;
  }
  return true;
}

}  // namespace

QuoteService::QuoteService(ServiceSettings settings)
    : settings_(std::move(settings)),
      clock_(settings_.fixedNow ? MarketClock(*settings_.fixedNow) : MarketClock()),
      store_(settings_.dataDir) {}

void QuoteService::Handle(const httplib::Request& req, httplib::Response& res) {
  tRequestStart = std::chrono::steady_clock::now();
  tRequestTimed = true;
  if (settings_.latencyMs > 0) SleepUnlessStopping(settings_.latencyMs, stopping_);

  int hops = 0;
  std::string_view subject;
  const Endpoint endpoint = route(req.path, hops, subject);
  if (endpoint == Endpoint::kNone) return plain(res, 404, "Not Found");
  switch (endpoint) {
    case Endpoint::kYahooChart:
      return handleProvider(ProviderEndpoint::kYahooChart, subject, req, res, hops);
    case Endpoint::kTiingoPrices:
      return handleProvider(ProviderEndpoint::kTiingoPrices, subject, req, res, hops);
    case Endpoint::kTiingoIex:
      return handleProvider(ProviderEndpoint::kTiingoIex, subject, req, res, hops);
    case Endpoint::kFinnhubQuote:
      return handleProvider(ProviderEndpoint::kFinnhubQuote, subject, req, res, hops);
    default:
      break;
  }
  if (endpoint == Endpoint::kIndex) {
    return plain(
        res, 200,
        "quote-standin: /table.csv, /q/hp, /d/quotes.csv and /stock-chart.php answer here; see --help.");
  }
  std::string title;
  std::string symbol;
  if (!readSymbol(req, res, endpoint == Endpoint::kChart, title, symbol)) return;

  const char* type =
      endpoint == Endpoint::kHistoryCsv || endpoint == Endpoint::kQuotes ? kCsvType : kHtmlType;
  const Fault fault = settings_.faults.For(symbol);
  if (applyFault(req, res, fault, hops, type)) return;
  send(res, answer(endpoint, req, title, symbol), fault);
}

QuoteService::Endpoint QuoteService::route(std::string_view path, int& hops, std::string_view& subject) {
  hops = 0;
  while (hops < 2 && startsWith(path, "/moved/")) {
    path.remove_prefix(6);
    ++hops;
  }
  // Provider paths name their symbol: /v8/finance/chart/MSFT,
  // /tiingo/daily/msft/prices, /iex/msft,ibm.
  const auto named = [&path, &subject](std::string_view prefix, std::string_view suffix) {
    if (!startsWith(path, prefix) || path.size() < prefix.size() + suffix.size()) return false;
    if (path.substr(path.size() - suffix.size()) != suffix) return false;
    subject = path.substr(prefix.size(), path.size() - prefix.size() - suffix.size());
    return subject.find('/') == std::string_view::npos;
  };
  if (named("/v8/finance/chart/", "")) return Endpoint::kYahooChart;
  if (named("/tiingo/daily/", "/prices")) return Endpoint::kTiingoPrices;
  if (named("/iex/", "")) return Endpoint::kTiingoIex;
  if (path == "/api/v1/quote") return Endpoint::kFinnhubQuote;
  if (path == "/table.csv") return Endpoint::kHistoryCsv;
  if (path == "/q/hp") return Endpoint::kHistoryHtml;
  if (path == "/d/quotes.csv") return Endpoint::kQuotes;
  if (path == "/stock-chart.php") return Endpoint::kChart;
  if (path == "/" && hops == 0) return Endpoint::kIndex;
  return Endpoint::kNone;
}

QuoteService::Reply QuoteService::answer(Endpoint endpoint, const httplib::Request& req,
                                         const std::string& title, const std::string& symbol) {
  switch (endpoint) {
    case Endpoint::kHistoryCsv:
      return history(req, symbol, false);
    case Endpoint::kHistoryHtml:
      return history(req, symbol, true);
    case Endpoint::kQuotes:
      return quotes(req, symbol);
    default:
      return chart(title, symbol);
  }
}

void QuoteService::send(httplib::Response& res, Reply reply, const Fault& fault) {
  if (fault.kind == FaultKind::kTruncated && reply.status == 200) {
    // The whole length is announced, half of it is sent, then the connection drops.
    auto body = std::make_shared<std::string>(std::move(reply.body));
    const std::size_t half = body->size() / 2;
    res.status = 200;
    res.set_header(kFaultHeader, FaultName(fault.kind));
    res.set_content_provider(body->size(), reply.contentType,
                             [body, half](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                               if (offset >= half) return false;
                               sink.write(body->data() + offset, std::min(length, half - offset));
                               return true;
                             });
    return;
  }
  res.status = reply.status;
  res.set_content(std::move(reply.body), reply.contentType);
}

bool QuoteService::applyFault(const httplib::Request& req, httplib::Response& res, const Fault& fault,
                              int hops, const char* contentType, std::optional<ProviderEndpoint> provider,
                              const std::string& ticker) {
  if (fault.slowMs > 0) {
    res.set_header(kFaultHeader, "slow");
    SleepUnlessStopping(fault.slowMs, stopping_);
  }
  if (!faultAnswers(req, fault, hops)) return false;
  res.headers.erase(kFaultHeader);
  res.set_header(kFaultHeader, FaultName(fault.kind));
  return answerFault(req, res, fault, contentType, provider, ticker);
}

bool QuoteService::answerFault(const httplib::Request& req, httplib::Response& res, const Fault& fault,
                               const char* contentType, std::optional<ProviderEndpoint> provider,
                               const std::string& ticker) {
  ProviderReply reply;
  if (provider && ProviderFaultReply(*provider, fault, ticker, reply)) {
    sendProviderReply(res, std::move(reply));
    return true;
  }
  switch (fault.kind) {
    case FaultKind::kStatus404:
      plain(res, 404, "Not Found");
      break;
    case FaultKind::kStatus500:
      plain(res, 500, "Internal Server Error");
      break;
    case FaultKind::kStatus502:
      plain(res, 502, "Bad Gateway");
      break;
    case FaultKind::kStatus401:
      res.set_header("WWW-Authenticate", "Basic realm=\"quote-standin\"");
      plain(res, 401, "Unauthorized");
      break;
    case FaultKind::kRedirect:
    case FaultKind::kRedirectTwice:
      // The same resource one hop further: /moved/<path>?<query>.
      res.set_header("Location", "http://" + hostOf(req) + "/moved" + req.target);
      plain(res, 302, "Found");
      break;
    case FaultKind::kRedirectNoLocation:
      plain(res, 302, "Found");
      break;
    case FaultKind::kHang:
      WaitWhileClientConnected(req.local_addr, req.local_port, req.remote_addr, req.remote_port, stopping_,
                               kHangLimit);
      res.set_header("Connection", "close");
      plain(res, 504, "Gateway Timeout");
      break;
    case FaultKind::kEmpty:
      res.status = 200;
      res.set_content("", contentType);
      break;
    case FaultKind::kGarbage:
      res.status = 200;
      res.set_content(garbage(), contentType);
      break;
    // The providers' kinds on the classic endpoints, in the classic way.
    case FaultKind::kRateLimit:
    case FaultKind::kQuota:
      if (fault.retryAfterSeconds >= 0)
        res.set_header("Retry-After", std::to_string(fault.retryAfterSeconds));
      plain(res, 429, "Too Many Requests");
      break;
    case FaultKind::kChallenge:
      res.status = 200;
      res.set_content(ChallengePage(), "text/html");
      break;
    case FaultKind::kNotFound:
    case FaultKind::kZeros:
      plain(res, 404, "Not Found");
      break;
    default:
      return false;
  }
  return true;
}

std::string QuoteService::garbage() {
  RandomSource rng(Mix64(garbageCounter_.fetch_add(1)) ^
                   static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::string bytes(static_cast<std::size_t>(512 + rng.Below(3585)), '\0');
  for (char& c : bytes) c = static_cast<char>(rng.Next() & 0xff);
  return bytes;
}

QuoteService::Reply QuoteService::history(const httplib::Request& req, const std::string& symbol, bool html) {
  Reply reply;
  HistoryQuery query;
  std::string error;
  if (!ReadHistoryQuery(req.params, query, error)) {
    reply.status = 400;
    reply.body = "Bad Request: " + error + "\n";
    return reply;
  }
  query.symbol = symbol;
  const auto series = store_.Get(symbol, moment().quoteDay);
  const HistoryPage page = SelectHistoryPage(*series, query, settings_.pageSize);
  reply.contentType = html ? kHtmlType : kCsvType;
  reply.body = html ? HistoryHtml(query, page, settings_.pageSize) : HistoryCsv(page);
  return reply;
}

QuoteService::Reply QuoteService::quotes(const httplib::Request& req, const std::string& symbol) {
  Reply reply;
  const std::string* fields = FindParam(req.params, "f");
  if (fields == nullptr || !IsValidFieldList(*fields)) {
    reply.status = 400;
    reply.body =
        fields == nullptr ? "Bad Request: missing key 'f'\n" : "Bad Request: bad value for key 'f'\n";
    return reply;
  }
  QuoteSubject subject;
  subject.symbol = symbol;
  subject.volumeOnly = symbol == kCompositeVolumeSymbol;
  const Current state = current(subject.volumeOnly ? kCompositeSymbol : symbol);
  subject.isIndex = state.series->isIndex;
  if (!state.series->hasQuote) {
    reply.status = 404;
    reply.body = "Not Found: no quote for this symbol\n";
    return reply;
  }
  reply.contentType = kCsvType;
  reply.body = QuoteRecord(subject, *fields, state.quote);
  return reply;
}

QuoteService::Reply QuoteService::chart(const std::string& title, const std::string& symbol) {
  Reply reply;
  const Current state = current(symbol);
  reply.contentType = kHtmlType;
  reply.body = ChartPage(title, symbol, *state.series, state.quote);
  return reply;
}

QuoteService::Current QuoteService::current(const std::string& symbol) {
  Current c;
  c.now = moment();
  c.series = store_.Get(symbol, c.now.quoteDay);
  if (c.series->hasQuote) c.quote = SnapshotAt(*c.series, c.now.sessionMinute);
  return c;
}

void QuoteService::LogRequest(const httplib::Request& req, const httplib::Response& res) {
  if (!log_.enabled()) return;
  double ms = -1;
  if (tRequestTimed) {
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tRequestStart).count();
    tRequestTimed = false;
  }
  const std::size_t bytes = res.body.empty() ? res.content_length_ : res.body.size();
  std::string fault = res.get_header_value(kFaultHeader);
  // A request the server could not read has no client address.
  const std::string client =
      req.remote_addr.empty() ? std::string("-") : req.remote_addr + ":" + std::to_string(req.remote_port);
  log_.Write(client, req.method, req.target.empty() ? req.path : req.target, res.status, bytes, ms, fault);
}

}  // namespace velmora::standin
