// The libcurl transport behind HttpFetcher. A session keeps its easy handle
// (with the multi handle that drives it, so Send returns as soon as the
// headers are in and the body is pulled only as ReadLine needs it) and one
// share of connection, name and TLS session caches for as long as it lives.

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "net/host_slots.h"
#include "net/http_transport.h"
#include "net/internet_session.h"

namespace velmora {

namespace {

constexpr long kPollMs = 100;  // how long one wait for network activity lasts

// One easy handle and the multi handle that drives it.
struct CurlHandles {
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
};

void cleanUp(CurlHandles handles) {
  if (handles.multi != nullptr) curl_multi_cleanup(handles.multi);
  if (handles.easy != nullptr) curl_easy_cleanup(handles.easy);
}

// What one session keeps between its requests. Every request of the session
// runs on a kept easy handle tied to one share of the connection cache, the
// name cache and the TLS session cache, so consecutive requests to one
// server reuse its connection whenever the server keeps it open, and an
// https request resumes the TLS session instead of a full handshake. Our
// request header block says "Connection: close", and a server that honours
// it closes after each answer: then the kept caches still save the name
// look-up and the handshake. A request whose answer was not read to the end
// (closed early, cut, stopped) leaves its easy handle mid-transfer; libcurl
// then drops that connection rather than keep it, so the next request starts
// clean. Two requests of one session may be open at once (the composite
// index's volume is asked for while its own record is still open): each
// takes a handle of its own, and both share the caches.
class CurlSessionState final : public TransportSessionState {
 public:
  // Null when libcurl can not make the share.
  static std::shared_ptr<CurlSessionState> Make() {
    CURLSH* share = curl_share_init();
    if (share == nullptr) return nullptr;
    for (curl_lock_data data : {CURL_LOCK_DATA_CONNECT, CURL_LOCK_DATA_DNS, CURL_LOCK_DATA_SSL_SESSION}) {
      if (curl_share_setopt(share, CURLSHOPT_SHARE, data) != CURLSHE_OK) {
        curl_share_cleanup(share);
        return nullptr;
      }
    }
    return std::shared_ptr<CurlSessionState>(new CurlSessionState(share));
  }

  ~CurlSessionState() override {
    for (const CurlHandles& handles : idle_) cleanUp(handles);
    curl_share_cleanup(share_);  // closes the cached connections
  }

  CURLSH* share() const { return share_; }

  // A kept pair of handles, or a new one; false when libcurl has no memory.
  [[nodiscard]] bool Take(CurlHandles& out) {
    if (!idle_.empty()) {
      out = idle_.back();
      idle_.pop_back();
      return true;
    }
    out.easy = curl_easy_init();
    out.multi = out.easy != nullptr ? curl_multi_init() : nullptr;
    if (out.multi != nullptr) return true;
    cleanUp(out);
    return false;
  }

  // Back for the next request; its options are set afresh there.
  void Give(CurlHandles handles) {
    if (idle_.size() < kKeptHandles) {
      idle_.push_back(handles);
    } else {
      cleanUp(handles);
    }
  }

 private:
  explicit CurlSessionState(CURLSH* share) : share_(share) {}

  static constexpr std::size_t kKeptHandles = 2;
  CURLSH* share_;
  std::vector<CurlHandles> idle_;
};

class CurlConnection final : public HttpConnection {
 public:
  CurlConnection(const UrlParts& url, const InternetSession& session, std::shared_ptr<CurlSessionState> state,
                 CurlHandles handles)
      : base_(url.scheme + "://" + url.host + ":" + std::to_string(url.port)),
        hostKey_(url.host + ":" + std::to_string(url.port)),
        state_(std::move(state)),
        easy_(handles.easy),
        multi_(handles.multi),
        stop_(session.stopFlag()),
        agent_(session.agent()),
        connectTimeoutMs_(session.connectTimeoutMs()),
        stallSeconds_((session.stallTimeoutMs() + 999) / 1000),
        timeLimitMs_(session.transferTimeLimitMs()),
        headerLimit_(session.transferByteLimit()),
        maxPerHost_(session.maxConnectionsPerHost()) {
    errorBuffer_[0] = '\0';
  }

  ~CurlConnection() override {
    detach();
    slot_.Release();
    state_->Give(CurlHandles{easy_, multi_});
    curl_slist_free_all(headerList_);
  }

  bool Send(const std::string& object, const std::string& headerBlock, const Credentials* credentials,
            std::string& error) override {
    detach();
    resetExchange();
    // Waiting for a place among the transfers to this server counts
    // against the request's time limit, and a stop ends the wait.
    const auto deadline = HostSlots::Clock::now() + std::chrono::milliseconds(timeLimitMs_);
    switch (HostSlots::Process().Acquire(hostKey_, maxPerHost_, stop_, deadline, slot_)) {
      case HostSlots::Wait::kTaken:
        break;
      case HostSlots::Wait::kStopped:
        result_ = CURLE_ABORTED_BY_CALLBACK;
        error = errorText();
        return false;
      case HostSlots::Wait::kTimedOut:
        error = TransferTimeLimitText(timeLimitMs_);
        return false;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - HostSlots::Clock::now());
    configure(base_ + EncodeObject(object), headerBlock, credentials, std::max<long>(1, left.count()));
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) {
      slot_.Release();
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
  // Every option of the request, set afresh on a reset handle: nothing of
  // an earlier request (its address, headers or credentials) is ever sent
  // again. The reset keeps the handle's live connections and the share.
  void configure(const std::string& url, const std::string& headerBlock, const Credentials* credentials,
                 long timeLimitMs) {
    curl_easy_reset(easy_);
    curl_easy_setopt(easy_, CURLOPT_SHARE, state_->share());
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);  // redirects are the fetcher's business
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);  // loader threads: no SIGALRM for name look-ups
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, agent_.c_str());
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs_);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);  // a transfer that stalls this long ends
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, stallSeconds_);
    // No request runs longer than the session's limit, however slowly the
    // server keeps sending; the fetcher counts the body against the size limit.
    curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, timeLimitMs);
    curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlConnection::onBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlConnection::onHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &CurlConnection::onProgress);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
    setHeaders(headerBlock);
    if (credentials != nullptr) {
      // Basic authorization is sent with the request itself, so libcurl never
      // answers a 401 on its own and the fetcher sees every status.
      curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
      curl_easy_setopt(easy_, CURLOPT_USERNAME, credentials->user.c_str());
      curl_easy_setopt(easy_, CURLOPT_PASSWORD, credentials->password.c_str());
    }
    // Certificate checks stay at libcurl's defaults: peer and host verified.
  }

  static std::size_t onBody(char* data, std::size_t size, std::size_t count, void* self) {
    auto* c = static_cast<CurlConnection*>(self);
    c->slot_.NoteActivity();
    c->body_.append(data, size * count);
    return size * count;
  }

  static std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto* c = static_cast<CurlConnection*>(self);
    c->slot_.NoteActivity();
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

  // The answer is in (or the transfer is over): the server's place is free.
  void finish(CURLcode result) {
    done_ = true;
    result_ = result;
    detach();
    slot_.Release();
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

  std::string base_;     // "scheme://host:port"
  std::string hostKey_;  // "host:port": whose transfers share the cap
  std::shared_ptr<CurlSessionState> state_;
  CURL* easy_;
  CURLM* multi_;
  const std::atomic<bool>* stop_;  // the session owner's flag, if any
  std::string agent_;
  long connectTimeoutMs_;
  long stallSeconds_;
  long timeLimitMs_;
  std::size_t headerLimit_;  // the session's byte limit, for the headers alone
  int maxPerHost_;
  HostSlots::Slot slot_;
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
  std::unique_ptr<HttpConnection> Connect(const UrlParts& url, InternetSession& session) override {
    auto state = std::dynamic_pointer_cast<CurlSessionState>(session.transportState());
    if (!state) {
      state = CurlSessionState::Make();
      if (!state) return nullptr;
      session.setTransportState(state);
    }
    CurlHandles handles;
    if (!state->Take(handles)) return nullptr;
    return std::make_unique<CurlConnection>(url, session, std::move(state), handles);
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

}  // namespace velmora
