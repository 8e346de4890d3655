#include "quotes/http_fetcher.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "quotes/quote_result.h"
#include "quotes/temp_file.h"

namespace velmora {

// ---------------------------------------------------------------------------
// The libcurl transport. One easy handle per connection, driven through its
// own multi handle so that Send returns as soon as the headers are in and the
// body is pulled only as ReadLine needs it.

namespace {

constexpr long kPollMs = 100;  // how long one wait for network activity lasts

std::string serverKey(const UrlParts& parts) { return parts.host + ":" + std::to_string(parts.port); }

std::string timeLimitText(long ms) {
  char text[80];
  if (ms % 1000 == 0) {
    std::snprintf(text, sizeof text, "no complete answer within %ld seconds", ms / 1000);
  } else {
    std::snprintf(text, sizeof text, "no complete answer within %ld ms", ms);
  }
  return text;
}

class CurlConnection final : public HttpConnection {
 public:
  CurlConnection(const UrlParts& url, const InternetSession& session, CURL* easy, CURLM* multi)
      : base_(url.scheme + "://" + url.host + ":" + std::to_string(url.port)),
        easy_(easy),
        multi_(multi),
        stop_(session.stopFlag()),
        headerLimit_(session.transferByteLimit()) {
    errorBuffer_[0] = '\0';
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);  // redirects are the fetcher's business
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);  // loader threads: no SIGALRM for name look-ups
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, session.agent().c_str());
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, session.connectTimeoutMs());
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);  // a transfer that stalls this long ends
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, (session.stallTimeoutMs() + 999) / 1000);
    // No request runs longer than the session's limit, however slowly the
    // server keeps sending; the fetcher counts the body against the size limit.
    curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, session.transferTimeLimitMs());
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlConnection::onBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlConnection::onHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &CurlConnection::onProgress);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
    // Certificate checks stay at libcurl's defaults: peer and host verified.
  }

  ~CurlConnection() override {
    detach();
    curl_easy_cleanup(easy_);
    curl_multi_cleanup(multi_);
    curl_slist_free_all(headerList_);
  }

  bool Send(const std::string& object, const std::string& headerBlock, const Credentials* credentials,
            std::string& error) override {
    detach();
    resetExchange();
    const std::string url = base_ + EncodeObject(object);
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    setHeaders(headerBlock);
    if (credentials != nullptr) {
      // Basic authorization is sent with the request itself, so libcurl never
      // answers a 401 on its own and the fetcher sees every status.
      curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
      curl_easy_setopt(easy_, CURLOPT_USERNAME, credentials->user.c_str());
      curl_easy_setopt(easy_, CURLOPT_PASSWORD, credentials->password.c_str());
    }
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
      error = "The network library could not start the request.";
      return false;
    }
    attached_ = true;
    while (!headersDone_ && !done_) pump();
    if (!headersDone_) {
      error = errorText();
      return false;
    }
    long code = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
    status_ = static_cast<int>(code);
    return true;
  }

  int Status() const override { return status_; }
  std::string RawHeaders() const override { return headers_; }

  long Read(char* buffer, std::size_t size, std::string& error) override {
    while (bodyPos_ >= body_.size() && !done_) {
      body_.clear();
      bodyPos_ = 0;
      pump();
    }
    if (bodyPos_ < body_.size()) {
      const std::size_t n = std::min(size, body_.size() - bodyPos_);
      std::memcpy(buffer, body_.data() + bodyPos_, n);
      bodyPos_ += n;
      return static_cast<long>(n);
    }
    if (result_ != CURLE_OK && !errorReported_) {
      errorReported_ = true;
      error = errorText();
      return -1;
    }
    return 0;
  }

 private:
  static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self) {
    static_cast<CurlConnection*>(self)->body_.append(data, size * count);
    return size * count;
  }

  static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* c = static_cast<CurlConnection*>(self);
    const std::size_t n = size * count;
    if (c->headers_.size() + n > c->headerLimit_) {
      c->headersTooLarge_ = true;
      return 0;  // ends the transfer with a write error
    }
    if (n >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
      c->headers_.clear();  // a new answer (after an interim 1xx) starts afresh
      c->interim_ = false;
      const char* space = static_cast<const char*>(std::memchr(data, ' ', n));
      if (space != nullptr && space + 1 < data + n) c->interim_ = space[1] == '1';
    }
    c->headers_.append(data, n);
    const bool blank = (n == 2 && data[0] == '\r' && data[1] == '\n') || (n == 1 && data[0] == '\n');
    if (blank && !c->interim_) c->headersDone_ = true;
    return n;
  }

  static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<CurlConnection*>(self)->stopRequested() ? 1 : 0;
  }

  void setHeaders(const std::string& block) {
    curl_slist_free_all(headerList_);
    headerList_ = nullptr;
    std::size_t from = 0;
    while (from < block.size()) {
      std::size_t end = block.find("\r\n", from);
      if (end == std::string::npos) end = block.size();
      if (end > from) headerList_ = curl_slist_append(headerList_, block.substr(from, end - from).c_str());
      from = end + 2;
    }
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
  }

  void resetExchange() {
    body_.clear();
    bodyPos_ = 0;
    headers_.clear();
    headersDone_ = interim_ = done_ = errorReported_ = pumped_ = headersTooLarge_ = false;
    result_ = CURLE_OK;
    status_ = 0;
    errorBuffer_[0] = '\0';
  }

  // One round of network work: wait briefly for activity (not before the
  // first round), then let libcurl move the transfer on.
  void pump() {
    if (pumped_) curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr);
    pumped_ = true;
    if (stopRequested()) {
      finish(CURLE_ABORTED_BY_CALLBACK);
      return;
    }
    int running = 0;
    const CURLMcode mc = curl_multi_perform(multi_, &running);
    if (mc != CURLM_OK) {
      std::snprintf(errorBuffer_, sizeof errorBuffer_, "%s", curl_multi_strerror(mc));
      finish(CURLE_RECV_ERROR);
      return;
    }
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi_, &queued)) {
      if (msg->msg == CURLMSG_DONE) finish(msg->data.result);
    }
  }

  bool stopRequested() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }

  void finish(CURLcode result) {
    done_ = true;
    result_ = result;
    detach();
  }

  void detach() {
    if (attached_) curl_multi_remove_handle(multi_, easy_);
    attached_ = false;
  }

  std::string errorText() const {
    std::string text = errorBuffer_[0] != '\0' ? errorBuffer_ : curl_easy_strerror(result_);
    if (result_ == CURLE_ABORTED_BY_CALLBACK) text = "The transfer was stopped on request.";
    if (headersTooLarge_)
      text = "the answer's headers are larger than " + std::to_string(headerLimit_) + " bytes";
    if (text.size() > 1024) text.resize(1024);
    return text;
  }

  std::string base_;  // "scheme://host:port"
  CURL* easy_;
  CURLM* multi_;
  const std::atomic<bool>* stop_;  // the session owner's flag, if any
  std::size_t headerLimit_;        // the session's byte limit, for the headers alone
  bool headersTooLarge_ = false;
  curl_slist* headerList_ = nullptr;
  bool attached_ = false;
  bool pumped_ = false;
  std::string body_;
  std::size_t bodyPos_ = 0;
  std::string headers_;
  bool headersDone_ = false;
  bool interim_ = false;
  bool done_ = false;
  bool errorReported_ = false;
  CURLcode result_ = CURLE_OK;
  int status_ = 0;
  char errorBuffer_[CURL_ERROR_SIZE];
};

class CurlTransport final : public HttpTransport {
 public:
  std::unique_ptr<HttpConnection> Connect(const UrlParts& url, const InternetSession& session) override {
    CURL* easy = curl_easy_init();
    CURLM* multi = easy != nullptr ? curl_multi_init() : nullptr;
    if (multi == nullptr) {
      if (easy != nullptr) curl_easy_cleanup(easy);
      return nullptr;
    }
    return std::make_unique<CurlConnection>(url, session, easy, multi);
  }
};

}  // namespace

std::shared_ptr<HttpTransport> DefaultHttpTransport() {
  static const std::shared_ptr<HttpTransport> transport = []() -> std::shared_ptr<HttpTransport> {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
    return std::make_shared<CurlTransport>();
  }();
  return transport;
}

// ---------------------------------------------------------------------------
// HttpFetcher

HttpFetcher::~HttpFetcher() {
  if (!tempFile_.empty()) std::remove(tempFile_.c_str());
  Close();
}

int HttpFetcher::Open(const char* url, InternetSession& session) {
  const char* requested = url != nullptr ? url : "";
  url_ = requested;
  stop_ = session.stopFlag();
  byteLimit_ = session.transferByteLimit();
  timeLimitMs_ = session.transferTimeLimitMs();
  UrlParts parts;
  if (!SplitUrl(requested, parts)) {
    LogFormat("Invalid URL '%s'.", requested);
    return kHttpLocalFailure;
  }
  int status = 0;
  if (!connectAndSend(parts, session, status)) return kHttpLocalFailure;
  session.noteAnswer();

  if (status == kHttpUnauthorized) {
    session.ForgetCredentials(serverKey(parts));
    Credentials credentials;
    if (!session.AskCredentials(CredentialRequest{parts.host, requested}, credentials)) {
      LogMessage("No authorization.");
      return kHttpUnauthorized;
    }
    if (!send(&credentials, status)) return kHttpLocalFailure;  // asked once: no further retry
    if (status != kHttpUnauthorized) session.RememberCredentials(serverKey(parts), credentials);
  }

  if (status == 301 || status == 302 || status == 303) {
    std::string location;
    if (!FindNewLocation(connection_->RawHeaders(), location)) {
      LogMessage("Can not find new location.");
      return kHttpLocalFailure;
    }
    Close();
    LogFormat("Warning: '%s' is redirected to '%s'.", requested, location.c_str());
    UrlParts next;
    if (!SplitUrl(location.c_str(), next)) {
      LogFormat("Invalid URL '%s'.", location.c_str());
      return kHttpLocalFailure;
    }
    // Only one redirect is followed: whatever the new place answers is final.
    if (!connectAndSend(next, session, status)) return kHttpLocalFailure;
  }

  if (status != kHttpOk) {
    LogFormat("Warnning: got status code %d when opening URL:", status);
    LogMessage(requested);
  }
  return status;
}

bool HttpFetcher::connectAndSend(const UrlParts& parts, InternetSession& session, int& status) {
  server_ = parts.host;
  object_ = parts.object;
  port_ = parts.port;
  connection_ = session.ok() ? session.transport().Connect(parts, session) : nullptr;
  if (!connection_) {
    LogFormat("Can not open connection to '%s'.", server_.c_str());
    return false;
  }
  Credentials known;
  const bool haveKnown = session.KnownCredentials(serverKey(parts), known);
  return send(haveKnown ? &known : nullptr, status);
}

bool HttpFetcher::send(const Credentials* credentials, int& status) {
  std::string error;
  // The time limit counts from the moment each request goes out.
  deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeLimitMs_);
  if (!connection_->Send(object_, kRequestHeaders, credentials, error)) {
    logTransferFailure(error);
    return false;
  }
  status = connection_->Status();
  readPos_ = readLength_ = 0;  // the body of this answer starts afresh
  bodyBytes_ = 0;
  bodyEnded_ = bodyFailed_ = false;
  return true;
}

// A failed transfer is logged with the URL that was asked for, e.g.
// "Transfer from 'http://host/table.csv?s=MSFT&...' failed: <reason>". Every
// quote URL carries its symbol in the query (s=MSFT), so the line tells which
// security's page or record was lost and from where; after a redirect the
// warning line before it names the new place. A stop the owner asked for is
// no failure of the transfer and keeps its own short line.
void HttpFetcher::logTransferFailure(const std::string& reason) const {
  const std::string text = reason.substr(0, 1024);
  if (stop_ != nullptr && stop_->load(std::memory_order_relaxed)) {
    LogMessage(text);
    return;
  }
  LogMessage("Transfer from '" + url_.substr(0, 1024) + "' failed: " + text);
}

// The body ends here as a cut one does; what was read is kept, and the
// connection goes at once so nothing more is received.
void HttpFetcher::failBody(const std::string& reason) {
  logTransferFailure(reason);
  bodyEnded_ = true;
  bodyFailed_ = true;
  connection_.reset();
}

void HttpFetcher::Close() {
  connection_.reset();
  readPos_ = readLength_ = 0;
  bodyEnded_ = true;
}

bool HttpFetcher::fill() {
  if (bodyEnded_ || !connection_) return false;
  if (std::chrono::steady_clock::now() >= deadline_) {
    failBody(timeLimitText(timeLimitMs_));
    return false;
  }
  std::string error;
  const long n = connection_->Read(readBuffer_, kReadAhead, error);
  if (n < 0) {
    // A read error ends the body where it stands; what was read is kept.
    failBody(error);
    return false;
  }
  if (n == 0) {
    bodyEnded_ = true;
    return false;
  }
  bodyBytes_ += static_cast<std::size_t>(n);
  if (bodyBytes_ > byteLimit_) {
    failBody("the answer is larger than " + std::to_string(byteLimit_) + " bytes");
    return false;
  }
  readPos_ = 0;
  readLength_ = static_cast<std::size_t>(n);
  return true;
}

bool HttpFetcher::ReadLine(int capacity, char* buffer) {
  if (buffer == nullptr || capacity < 3) return false;
  const int limit = capacity - 2;
  int n = 0;
  while (n < limit) {
    if (readPos_ >= readLength_ && !fill()) break;
    const char c = readBuffer_[readPos_++];
    if (c == '\r') continue;
    buffer[n++] = c;
    if (c == '\n') break;
  }
  buffer[n] = '\0';
  return n > 0;
}

bool HttpFetcher::TempFileName() {
  // A failed creation leaves the name empty, to be tried again next time.
  return !tempFile_.empty() || CreateTempFile(tempFile_);
}

}  // namespace velmora
