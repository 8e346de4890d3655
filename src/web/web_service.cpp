#include "web/web_service.h"

#include <httplib.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "base/atomic_file.h"
#include "base/log.h"
#include "base/system_config.h"
#include "monitor/report_writer.h"
#include "monitor/symbol_check.h"
#include "net/url_parts.h"
#include "web/guarded_server.h"
#include "web/request_guard.h"
#include "web/row_texts.h"
#include "web/web_assets.h"
#include "web/web_feed.h"
#include "web/web_history.h"
#include "web/web_json.h"

namespace velmora {

namespace {

using Request = httplib::Request;
using Response = httplib::Response;

// One thread per open connection: the event streams hold theirs while they
// last, so the pool is larger than the streams allowed. Connections whose
// head is slow to arrive hold at most kSlowHeads of them.
constexpr int kServerThreads = 96;
constexpr int kSlowHeads = 16;
constexpr int kMaxEventClients = 64;
// A client whose socket takes nothing for this long is dropped.
constexpr int kWriteTimeoutSeconds = 5;
constexpr const char* kCookieName = "velmora_token";
// The five reports are served by their names alone.
constexpr const char* kReportNames[] = {kStatusReportFile, kBuyReportFile, kSellReportFile,
                                        kTrendUpReportFile, kTrendDownReportFile};

bool isApiPath(const std::string& path) { return path.rfind("/api/", 0) == 0 || path == "/api"; }

void sendJson(Response& res, int status, const std::string& json) {
  res.status = status;
  res.set_header("Cache-Control", "no-store");
  res.set_content(json, "application/json");
}

void sendError(const Request& req, Response& res, int status, const std::string& message) {
  if (isApiPath(req.path)) {
    sendJson(res, status, ErrorJson(message));
  } else {
    res.status = status;
    res.set_content(message + "\n", "text/plain; charset=utf-8");
  }
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// %XX sequences (and '+' as a blank in a form); a broken sequence stays as
// it is.
std::string percentDecode(std::string_view text, bool plusIsBlank) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size()) {
      const int high = hexValue(text[i + 1]);
      const int low = hexValue(text[i + 2]);
      if (high >= 0 && low >= 0) {
        out += static_cast<char>(high * 16 + low);
        i += 2;
        continue;
      }
    }
    out += plusIsBlank && c == '+' ? ' ' : c;
  }
  return out;
}

// The value of `name` in "a=1; b=2" (decoded); false when it is missing.
bool findPair(std::string_view text, char separator, std::string_view name, bool plusIsBlank,
              std::string& value) {
  std::size_t from = 0;
  while (from <= text.size()) {
    std::size_t end = text.find(separator, from);
    if (end == std::string_view::npos) end = text.size();
    std::string_view pair = text.substr(from, end - from);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    const auto equals = pair.find('=');
    if (equals != std::string_view::npos && pair.substr(0, equals) == name) {
      value = percentDecode(pair.substr(equals + 1), plusIsBlank);
      return true;
    }
    from = end + 1;
  }
  return false;
}

std::string loginPage(const char* message) {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Velmora - sign in</title>"
      "<link rel=\"stylesheet\" href=\"/app.css\"></head>\n<body class=\"login\"><form method=\"post\" "
      "action=\"/login\"><h1>Velmora</h1>";
  if (message[0] != '\0') page += std::string("<p class=\"error\">") + message + "</p>";
  page +=
      "<label>Token <input type=\"password\" name=\"token\" autocomplete=\"current-password\" "
      "autofocus></label>"
      "<button type=\"submit\">Sign in</button></form></body></html>\n";
  return page;
}

// Hands each alert to the feed while the service runs; afterwards (the
// center keeps its sinks) it does nothing.
class FeedAlertSink : public AlertSink {
 public:
  explicit FeedAlertSink(EventFeed* feed) : feed_(feed) {}
  void Deliver(const Alert& alert) override {
    std::lock_guard<std::mutex> hold(lock_);
    if (feed_ != nullptr) feed_->Broadcast("alert", AlertJson(alert));
  }
  void Detach() {
    std::lock_guard<std::mutex> hold(lock_);
    feed_ = nullptr;
  }

 private:
  std::mutex lock_;
  EventFeed* feed_;
};

// What a request shows of the token.
enum class Credentials {
  kNone,         // nothing: no Bearer header and no cookie
  kRight,        // the token
  kWrongBearer,  // another text after "Bearer "
  kWrongCookie,  // another text in the cookie
};

HeadLimits headLimits(const WebOptions& options) {
  HeadLimits limits;
  if (options.headDeadlineMs > 0) limits.deadline = std::chrono::milliseconds(options.headDeadlineMs);
  limits.slowSlots = kSlowHeads;
  return limits;
}

class WebServiceImpl : public WebService {
 public:
  WebServiceImpl(const WebOptions& options, const SecurityStore& store, AlertCenter* alerts)
      : options_(options),
        store_(store),
        alerts_(alerts),
        started_(std::chrono::steady_clock::now()),
        server_(headLimits(options)),
        hostNames_(options.address, options.allowedHosts),
        checkHost_(options.token.empty() || !options.allowedHosts.empty()) {
    pool_ = options.pool;
    if (pool_ == nullptr && &store == &securityStore()) pool_ = &loaderPool();
  }
  ~WebServiceImpl() override { Stop(); }

  bool Begin(std::string& error);
  int port() const override { return port_; }
  int eventClientCount() const override { return feed_ ? feed_->clientCount() : 0; }
  std::string AnswerBytes(std::string_view input) override { return server_.AnswerBytes(input); }
  void Stop() override;

 private:
  void addRoutes();
  std::chrono::steady_clock::time_point now() const;
  bool hostAllowed(const Request& req) const;
  Credentials credentials(const Request& req) const;
  void countWrongToken(const Request& req) const;
  httplib::Server::HandlerResponse guard(const Request& req, Response& res) const;
  int findListed(const std::string& symbol) const;
  std::string healthJson() const;
  void securities(Response& res) const;
  void security(const Request& req, Response& res) const;
  void alertsList(Response& res) const;
  void events(Response& res);
  void login(const Request& req, Response& res) const;
  void report(const Request& req, Response& res) const;
  void asset(const Request& req, Response& res) const;

  WebOptions options_;
  const SecurityStore& store_;
  AlertCenter* alerts_;
  const LoaderPool* pool_ = nullptr;
  std::chrono::steady_clock::time_point started_;
  GuardedServer server_;
  // Before the feed, whose watcher renders into it: it outlives the feed.
  mutable RowTexts rowTexts_{store_};
  std::shared_ptr<EventFeed> feed_;
  std::shared_ptr<FeedAlertSink> alertSink_;
  std::thread listener_;
  std::atomic<bool> stopped_{false};
  int port_ = 0;
  HostNames hostNames_;
  // Without a token anything that can reach the address may read, so only
  // requests naming this machine are answered: a page elsewhere whose name
  // was made to point here arrives with its own name. A token guards a
  // view on any name, unless the user named the allowed hosts.
  bool checkHost_;
  mutable GuessThrottle throttle_;
};

bool WebServiceImpl::Begin(std::string& error) {
  if (!IsLoopbackAddress(options_.address) && options_.token.empty()) {
    error =
        "the web view on " + options_.address + " needs a token: set VELMORA_WEB_TOKEN or --web-token-file";
    return false;
  }
  if (!options_.token.empty() && options_.token.size() < kMinWebTokenLength) {
    error = "the web view's token is too short (" + std::to_string(options_.token.size()) + " of at least " +
            std::to_string(kMinWebTokenLength) +
            " characters; make one with: head -c 24 /dev/urandom | base64)";
    return false;
  }
  AddLogSecret(options_.token);
  if (options_.port < 0 || options_.port > 65535) {
    error = "the web view's port must be 0 to 65535";
    return false;
  }
  EventFeed::Settings feedSettings;
  feedSettings.interval =
      std::chrono::milliseconds(options_.eventIntervalMs > 0 ? options_.eventIntervalMs : 200);
  feedSettings.pingEvery = std::chrono::seconds(options_.pingSeconds > 0 ? options_.pingSeconds : 15);
  feedSettings.maxClients = kMaxEventClients;
  feedSettings.healthJson = [this] { return healthJson(); };
  feedSettings.rowJson = [this](int index, const SecurityData& data, std::uint64_t version) {
    return rowTexts_.Render(index, data, version);
  };
  if (pool_ != nullptr) {
    const LoaderPool* pool = pool_;
    feedSettings.passCounter = [pool] { return static_cast<std::uint64_t>(pool->ReportPasses()); };
  }
  feed_ = std::make_shared<EventFeed>(store_, std::move(feedSettings));

  server_.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
  server_.set_socket_options([](int sock) {
    // Reuse the address after a restart, but never share a port with another server.
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  server_.set_tcp_nodelay(true);
  // Idle connections are closed soon, so a stop never waits long for them.
  server_.set_keep_alive_timeout(1);
  server_.set_read_timeout(5, 0);
  server_.set_write_timeout(kWriteTimeoutSeconds, 0);
  // Only the sign-in form sends a body.
  server_.set_payload_max_length(4096);
  server_.SetDefaultHeaders({{"X-Content-Type-Options", "nosniff"},
                             {"Content-Security-Policy", "default-src 'self'"},
                             {"Referrer-Policy", "no-referrer"},
                             {"X-Frame-Options", "DENY"}});
  addRoutes();

  if (options_.port == 0) {
    port_ = server_.bind_to_any_port(options_.address);
  } else {
    port_ = server_.bind_to_port(options_.address, options_.port) ? options_.port : -1;
  }
  if (port_ <= 0) {
    error = "the web view can not listen on " + options_.address + " port " + std::to_string(options_.port) +
            " (in use, or no such address here)";
    return false;
  }
  server_.DeepenListenQueue();

  feed_->Start();
  if (alerts_ != nullptr) {
    alertSink_ = std::make_shared<FeedAlertSink>(feed_.get());
    alerts_->AddSink(alertSink_);
  }
  listener_ = std::thread([this] { (void)server_.listen_after_bind(); });
  // A stop before the server loop runs would be lost: serve first.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!server_.is_running() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return true;
}

void WebServiceImpl::Stop() {
  if (stopped_.exchange(true)) return;
  if (alertSink_) alertSink_->Detach();
  if (listener_.joinable()) {
    // The listening socket goes first, so the connections end after their
    // current answer; then the event streams end and the threads are joined.
    server_.stop();
    if (feed_) feed_->Stop();
    listener_.join();
  } else if (feed_) {
    feed_->Stop();
  }
}

std::chrono::steady_clock::time_point WebServiceImpl::now() const {
  return options_.clock ? options_.clock() : std::chrono::steady_clock::now();
}

bool WebServiceImpl::hostAllowed(const Request& req) const {
  // Browsers always name the host, so a request without one (HTTP/1.0)
  // comes from a program on a machine that can reach the address anyway.
  const std::size_t hosts = req.get_header_value_count("Host");
  if (hosts == 0) return true;
  return hosts == 1 && hostNames_.Allows(req.get_header_value("Host"));
}

Credentials WebServiceImpl::credentials(const Request& req) const {
  const std::string& token = options_.token;
  const std::string authorization = req.get_header_value("Authorization");
  if (authorization.rfind("Bearer ", 0) == 0)
    return SameSecret(std::string_view(authorization).substr(7), token) ? Credentials::kRight
                                                                        : Credentials::kWrongBearer;
  std::string value;
  const std::string cookies = req.get_header_value("Cookie");
  if (!findPair(cookies, ';', kCookieName, false, value)) return Credentials::kNone;
  return SameSecret(value, token) ? Credentials::kRight : Credentials::kWrongCookie;
}

void WebServiceImpl::countWrongToken(const Request& req) const {
  if (throttle_.Wrong(req.remote_addr, now()))
    LogFormat("The web view refuses %s for a minute: %d wrong tokens within a minute.",
              req.remote_addr.c_str(), GuessThrottle::kTries);
}

httplib::Server::HandlerResponse WebServiceImpl::guard(const Request& req, Response& res) const {
  if (checkHost_ && !hostAllowed(req)) {
    sendError(req, res, 421,
              "this web view does not answer to that host name (velmora-monitor --web-allowed-host NAME "
              "allows one)");
    return httplib::Server::HandlerResponse::Handled;
  }
  if (options_.token.empty()) return httplib::Server::HandlerResponse::Unhandled;
  // A shut-out address is not heard at all, so the right token can not be
  // told from a wrong one meanwhile.
  if (const int wait = throttle_.SecondsShut(req.remote_addr, now()); wait > 0) {
    res.set_header("Retry-After", std::to_string(wait));
    sendError(req, res, 429,
              "too many wrong tokens from this address: try again in " + std::to_string(wait) + " s");
    return httplib::Server::HandlerResponse::Handled;
  }
  if (req.path == "/login") return httplib::Server::HandlerResponse::Unhandled;
  const Credentials given = credentials(req);
  if (given == Credentials::kRight) return httplib::Server::HandlerResponse::Unhandled;
  if (given != Credentials::kNone) countWrongToken(req);
  // A browser holding the cookie of an earlier token forgets it, so its
  // page's requests do not go on counting as wrong tries.
  if (given == Credentials::kWrongCookie)
    res.set_header("Set-Cookie",
                   std::string(kCookieName) + "=; Max-Age=0; HttpOnly; SameSite=Strict; Path=/");
  if (isApiPath(req.path)) {
    sendJson(res, 401, ErrorJson("a token is needed: sign in at /login or send Authorization: Bearer TOKEN"));
  } else if (req.method == "GET" || req.method == "HEAD") {
    res.status = 303;
    res.set_header("Location", "/login");
    res.set_header("Cache-Control", "no-store");
  } else {
    sendError(req, res, 401, "a token is needed");
  }
  return httplib::Server::HandlerResponse::Handled;
}

int WebServiceImpl::findListed(const std::string& symbol) const {
  for (int i = 0; i < store_.count(); ++i)
    if (symbol == store_.entry(i).displaySymbol()) return i;
  return -1;
}

std::string WebServiceImpl::healthJson() const {
  int loaded = 0;
  for (int i = 0; i < store_.count(); ++i) loaded += store_.entry(i).historyLoaded() ? 1 : 0;
  std::string out = "{\"securities\":";
  AppendJsonInteger(out, store_.count());
  out += ",\"loaded\":";
  AppendJsonInteger(out, loaded);
  const LoaderPool* pool = pool_;
  out += ",\"loaderThreads\":";
  AppendJsonInteger(out, pool != nullptr ? pool->ThreadsInUse() : 0);
  out += ",\"runningThreads\":";
  AppendJsonInteger(out, pool != nullptr ? pool->RunningThreadCount() : 0);
  out += ",\"passes\":";
  AppendJsonInteger(out, pool != nullptr ? pool->ReportPasses() : 0);
  out += ",\"completePasses\":";
  AppendJsonInteger(out, pool != nullptr ? pool->CompleteReportPasses() : 0);
  out += ",\"lastPassTime\":";
  const std::time_t last = pool != nullptr ? pool->LastReportTime() : 0;
  AppendJsonString(out, last != 0 ? LocalTimeText(last) : std::string());
  out += ",\"lastPassSeconds\":";
  AppendJsonNumber(out, pool != nullptr ? pool->LastPassSeconds() : 0.0);
  out += ",\"historyFailures\":";
  AppendJsonInteger(out, pool != nullptr ? pool->HistoryFailures() : 0);
  out += ",\"uptimeSeconds\":";
  AppendJsonInteger(
      out,
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_).count());
  out += ",\"eventClients\":";
  AppendJsonInteger(out, feed_ ? feed_->clientCount() : 0);
  out += '}';
  return out;
}

void WebServiceImpl::securities(Response& res) const {
  const SystemConfig& config = systemConfig();
  std::string out = "{\"time\":";
  AppendJsonString(out, LocalTimeText(std::time(nullptr)));
  out += ",\"switches\":{\"volume\":";
  out += config.ShowVolume != 0 ? "true" : "false";
  out += ",\"movingAverages\":";
  out += config.ShowMA != 0 ? "true" : "false";
  out += ",\"rsi\":";
  out += config.ShowRSI != 0 ? "true" : "false";
  out += ",\"signalMarks\":";
  out += config.ShowBS != 0 ? "true" : "false";
  out += "},\"securities\":[";
  const int count = store_.count();
  out.reserve(static_cast<std::size_t>(count) * 640 + 200);
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ',';
    out += *rowTexts_.Row(i);
  }
  out += "]}";
  sendJson(res, 200, out);
}

void WebServiceImpl::security(const Request& req, Response& res) const {
  const std::string symbol = req.matches[1];
  const int index = findListed(symbol);
  if (index < 0) {
    sendJson(res, 404, ErrorJson("no security " + symbol + " in the list"));
    return;
  }
  auto data = std::make_unique<SecurityData>();
  std::uint64_t version = 0;
  store_.entry(index).Snapshot(*data, version);
  std::string out = "{\"symbol\":";
  AppendJsonString(out, symbol);
  out += ",\"row\":";
  out += SecurityRowJson(index, *data, version);
  out += ",\"bars\":";
  const bool ranged = req.has_param("range") || req.has_param("from") || req.has_param("to");
  if (!ranged) {
    out += '[';
    for (int i = 0; i < data->bars.count && i < kMonitoredBars; ++i) {
      if (i > 0) out += ',';
      AppendBarJson(out, data->bars[i]);
    }
    out += "]}";
    sendJson(res, 200, out);
    return;
  }
  HistoryRange range;
  std::string error = "range must be 6m, 1y, 2y or 5y";
  if ((req.has_param("range") && req.get_param_value("range").empty()) ||
      !ParseHistoryRange(req.get_param_value("range"), req.get_param_value("from"), req.get_param_value("to"),
                         range, error)) {
    sendJson(res, 400, ErrorJson(error));
    return;
  }
  // Only a listed symbol that can name a file in the folder is read.
  std::unique_ptr<QuoteSeries> history;
  if (IsFileSafeSymbol(symbol.c_str()))
    history = LoadComputedHistory(options_.folder + "/" + symbol + ".csv", data->isIndex != 0,
                                  options_.confirmDays);
  if (!history) {
    sendJson(res, 404, ErrorJson("no local history for " + symbol));
    return;
  }
  out += HistoryBarsJson(*history, range);
  out += '}';
  sendJson(res, 200, out);
}

void WebServiceImpl::alertsList(Response& res) const {
  std::string out = "{\"alerts\":[";
  if (alerts_ != nullptr) {
    bool first = true;
    for (const Alert& alert : alerts_->Recent()) {
      if (!first) out += ',';
      first = false;
      out += AlertJson(alert);
    }
  }
  out += "]}";
  sendJson(res, 200, out);
}

void WebServiceImpl::events(Response& res) {
  std::string hello = "{\"time\":";
  AppendJsonString(hello, LocalTimeText(std::time(nullptr)));
  hello += '}';
  std::shared_ptr<EventClient> client = feed_->Connect(hello);
  if (!client) {
    sendJson(res, 503, ErrorJson("too many event streams open"));
    return;
  }
  res.set_header("Cache-Control", "no-store");
  std::shared_ptr<EventFeed> feed = feed_;
  res.set_chunked_content_provider(
      "text/event-stream",
      [feed, client](std::size_t, httplib::DataSink& sink) {
        std::string chunk;
        if (!feed->Next(*client, chunk, std::chrono::milliseconds(250))) {
          bool stopped = false;
          {
            std::lock_guard<std::mutex> hold(client->lock);
            stopped = client->stopped;
          }
          // A stop ends the stream properly; a dropped client's connection
          // is cut.
          if (!stopped) return false;
          sink.done();
          return true;
        }
        if (chunk.empty()) return true;
        return sink.write(chunk.data(), chunk.size());
      },
      [feed, client](bool) { feed->Disconnect(client); });
}

void WebServiceImpl::login(const Request& req, Response& res) const {
  res.set_header("Cache-Control", "no-store");
  if (req.method == "GET" || req.method == "HEAD") {
    res.set_content(loginPage(""), "text/html; charset=utf-8");
    return;
  }
  std::string given;
  const bool hasToken = findPair(req.body, '&', "token", true, given);
  if (options_.token.empty() || (hasToken && SameSecret(given, options_.token))) {
    if (!options_.token.empty())
      res.set_header("Set-Cookie", std::string(kCookieName) + "=" + PercentEncode(options_.token) +
                                       "; HttpOnly; SameSite=Strict; Path=/");
    res.status = 303;
    res.set_header("Location", "/");
    return;
  }
  countWrongToken(req);
  res.status = 401;
  res.set_content(loginPage("That token is not the right one."), "text/html; charset=utf-8");
}

void WebServiceImpl::report(const Request& req, Response& res) const {
  const std::string name = req.matches[1];
  for (const char* known : kReportNames) {
    if (name != known) continue;
    std::string text;
    if (!ReadWholeFile(options_.folder + "/" + known, text)) {
      sendError(req, res, 404, "no report " + name + " yet");
      return;
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(std::move(text), "text/plain; charset=utf-8");
    return;
  }
  sendError(req, res, 404, "not found");
}

void WebServiceImpl::asset(const Request& req, Response& res) const {
  const std::string path = req.path == "/" ? "index.html" : req.path.substr(1);
  const WebAsset* file = FindWebAsset(path);
  if (file == nullptr) {
    sendError(req, res, 404, "not found");
    return;
  }
  res.set_header("Cache-Control", "no-cache");
  res.set_content(reinterpret_cast<const char*>(file->data), file->size, WebContentType(path));
}

void WebServiceImpl::addRoutes() {
  server_.set_pre_routing_handler([this](const Request& req, Response& res) { return guard(req, res); });
  server_.Get("/login", [this](const Request& req, Response& res) { login(req, res); });
  server_.Post("/login", [this](const Request& req, Response& res) { login(req, res); });
  server_.Get("/api/securities", [this](const Request&, Response& res) { securities(res); });
  server_.Get(R"(/api/securities/(.+))", [this](const Request& req, Response& res) { security(req, res); });
  server_.Get("/api/alerts", [this](const Request&, Response& res) { alertsList(res); });
  server_.Get("/api/health", [this](const Request&, Response& res) { sendJson(res, 200, healthJson()); });
  server_.Get("/api/events", [this](const Request&, Response& res) { events(res); });
  server_.Get(R"(/api(/.*)?)", [](const Request& req, Response& res) {
    sendError(req, res, 404, "no such path: " + req.path);
  });
  server_.Get(R"(/reports/(.*))", [this](const Request& req, Response& res) { report(req, res); });
  server_.Get(R"(/.*)", [this](const Request& req, Response& res) { asset(req, res); });

  const auto notAllowed = [](const Request& req, Response& res) {
    res.set_header("Allow", req.path == "/login" ? "GET, HEAD, POST" : "GET, HEAD");
    sendError(req, res, 405, "method not allowed");
  };
  server_.Post(R"(/.*)", notAllowed);
  server_.Put(R"(/.*)", notAllowed);
  server_.Patch(R"(/.*)", notAllowed);
  server_.Delete(R"(/.*)", notAllowed);
  server_.Options(R"(/.*)", notAllowed);

  server_.set_error_handler([](const Request& req, Response& res) {
    // Only the library's own refusals (bad requests, too large bodies) have no text yet.
    if (!res.body.empty() || res.content_length_ != 0) return;
    const char* text = res.status == 400   ? "bad request"
                       : res.status == 404 ? "not found"
                       : res.status == 413 ? "request too large"
                       : res.status == 414 ? "request line too long"
                                           : "error";
    sendError(req, res, res.status, text);
  });
  server_.set_exception_handler([](const Request& req, Response& res, std::exception_ptr) {
    sendError(req, res, 500, "internal error");
  });
}

}  // namespace

bool SameSecret(std::string_view a, std::string_view b) {
  // Every byte of the longer text is looked at, whatever differs first.
  const std::size_t n = a.size() > b.size() ? a.size() : b.size();
  std::size_t difference = a.size() ^ b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
    const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
    difference |= static_cast<std::size_t>(x ^ y);
  }
  return difference == 0;
}

std::unique_ptr<WebService> StartWebService(const WebOptions& options, const SecurityStore& store,
                                            AlertCenter* alerts, std::string& error) {
  auto service = std::make_unique<WebServiceImpl>(options, store, alerts);
  if (!service->Begin(error)) return nullptr;
  error.clear();
  return service;
}

}  // namespace velmora
