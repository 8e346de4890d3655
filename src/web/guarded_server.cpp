#include "web/guarded_server.h"

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "web/request_guard.h"
#include "web/web_json.h"

namespace velmora {

using Clock = std::chrono::steady_clock;

// A connection as the library reads it: the bytes the guard read ahead
// first, then the rest straight from the client.
class GuardedServer::Connection : public httplib::Stream {
 public:
  enum class Fill { kMore, kClosed, kTimeout };

  // Read but not yet handed to the library.
  std::string_view pending() const { return std::string_view(buffer_).substr(taken_); }
  // Forgets what the library took; before each head.
  void Compact() {
    buffer_.erase(0, taken_);
    taken_ = 0;
  }
  // Reads more of the client into the buffer, waiting until `until` at most
  // (and no longer than the server listens).
  virtual Fill ReadMore(Clock::time_point until, const std::atomic<socket_t>& listening) = 0;
  // The request's bytes must have been read by then.
  void SetReadDeadline(Clock::time_point until) { readDeadline_ = until; }
  // After a refusal: lets the client see the answer before the connection ends.
  virtual void Linger() {}

  ssize_t read(char* ptr, size_t size) override {
    if (taken_ < buffer_.size()) {
      const std::size_t n = std::min(size, buffer_.size() - taken_);
      std::memcpy(ptr, buffer_.data() + taken_, n);
      taken_ += n;
      return static_cast<ssize_t>(n);
    }
    return readDirect(ptr, size);
  }

 protected:
  virtual ssize_t readDirect(char* ptr, size_t size) = 0;

  std::string buffer_;
  std::size_t taken_ = 0;
  Clock::time_point readDeadline_ = Clock::time_point::max();
};

namespace {

// The most read from a client at once.
constexpr std::size_t kChunk = 16 * 1024;
// How often a wait looks whether the server stopped.
constexpr std::chrono::milliseconds kStopCheck{100};

int pollOnce(int sock, short events, std::chrono::microseconds timeout) {
  pollfd p{sock, events, 0};
  const auto ms =
      std::chrono::ceil<std::chrono::milliseconds>(std::max(timeout, std::chrono::microseconds(0)));
  for (;;) {
    const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(ms.count(), 1 << 30)));
    if (ready >= 0 || errno != EINTR) return ready;
  }
}

void addressOf(int sock, bool peer, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  auto* raw = reinterpret_cast<sockaddr*>(&address);
  if ((peer ? ::getpeername(sock, raw, &length) : ::getsockname(sock, raw, &length)) != 0) return;
  char host[NI_MAXHOST];
  char service[NI_MAXSERV];
  if (::getnameinfo(raw, length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0)
    return;
  ip = host;
  port = std::atoi(service);
}

class SocketConnection final : public GuardedServer::Connection {
 public:
  SocketConnection(socket_t sock, std::chrono::microseconds readTimeout,
                   std::chrono::microseconds writeTimeout)
      : sock_(sock), readTimeout_(readTimeout), writeTimeout_(writeTimeout) {}

  bool is_readable() const override {
    return !pending().empty() || pollOnce(sock_, POLLIN, readTimeout_) > 0;
  }

  bool is_writable() const override {
    if (pollOnce(sock_, POLLOUT, writeTimeout_) <= 0) return false;
    // A client that closed its end takes nothing more.
    if (pollOnce(sock_, POLLIN, std::chrono::microseconds(0)) == 0) return true;
    char byte;
    const ssize_t n = ::recv(sock_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR));
  }

  ssize_t write(const char* ptr, size_t size) override {
    if (!is_writable()) return -1;
    for (;;) {
      const ssize_t n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
      if (n >= 0 || errno != EINTR) return n;
    }
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override { addressOf(sock_, true, ip, port); }
  void get_local_ip_and_port(std::string& ip, int& port) const override { addressOf(sock_, false, ip, port); }
  socket_t socket() const override { return sock_; }

  Fill ReadMore(Clock::time_point until, const std::atomic<socket_t>& listening) override {
    for (;;) {
      if (listening == INVALID_SOCKET) return Fill::kClosed;
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - Clock::now());
      if (left.count() <= 0) return Fill::kTimeout;
      const int ready = pollOnce(sock_, POLLIN, std::min<std::chrono::microseconds>(left, kStopCheck));
      if (ready < 0) return Fill::kClosed;
      if (ready == 0) continue;
      const std::size_t had = buffer_.size();
      buffer_.resize(had + kChunk);
      const ssize_t n = ::recv(sock_, buffer_.data() + had, kChunk, MSG_DONTWAIT);
      buffer_.resize(had + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
      if (n > 0) return Fill::kMore;
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return Fill::kClosed;
    }
  }

  void Linger() override {
    // Closing with unread bytes would reset the connection and could take
    // the answer with it: the client is told the end, and what it still
    // sends is read and dropped for a moment.
    ::shutdown(sock_, SHUT_WR);
    const auto until = Clock::now() + std::chrono::milliseconds(500);
    std::size_t dropped = 0;
    char sink[4096];
    while (dropped < (1u << 20)) {
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - Clock::now());
      if (left.count() <= 0 || pollOnce(sock_, POLLIN, left) <= 0) return;
      const ssize_t n = ::recv(sock_, sink, sizeof sink, MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return;
      dropped += static_cast<std::size_t>(std::max<ssize_t>(n, 0));
    }
  }

 protected:
  ssize_t readDirect(char* ptr, size_t size) override {
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::microseconds>(readDeadline_ - Clock::now());
      if (left.count() <= 0 || pollOnce(sock_, POLLIN, std::min(left, readTimeout_)) <= 0) return -1;
      const ssize_t n = ::recv(sock_, ptr, size, MSG_DONTWAIT);
      if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return n;
    }
  }

 private:
  socket_t sock_;
  std::chrono::microseconds readTimeout_;
  std::chrono::microseconds writeTimeout_;
};

// A client that sends its bytes and reads whatever comes back.
class MemoryConnection final : public GuardedServer::Connection {
 public:
  explicit MemoryConnection(std::string_view input) : input_(input) {}

  std::string output;

  bool is_readable() const override { return true; }
  // It takes what was written and no more, so a stream that wrote nothing
  // since it last asked ends.
  bool is_writable() const override {
    const bool grew = output.size() != seen_;
    seen_ = output.size();
    return grew;
  }
  ssize_t write(const char* ptr, size_t size) override {
    output.append(ptr, size);
    return static_cast<ssize_t>(size);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 40000;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ip = "127.0.0.1";
    port = 8421;
  }
  socket_t socket() const override { return INVALID_SOCKET; }

  Fill ReadMore(Clock::time_point, const std::atomic<socket_t>&) override {
    if (input_.empty()) return Fill::kClosed;
    // A few bytes at a time, as a network delivers them.
    const std::size_t n = std::min<std::size_t>(input_.size(), 4096);
    buffer_.append(input_.substr(0, n));
    input_.remove_prefix(n);
    return Fill::kMore;
  }

 protected:
  ssize_t readDirect(char* ptr, size_t size) override {
    const std::size_t n = std::min(size, input_.size());
    std::memcpy(ptr, input_.data(), n);
    input_.remove_prefix(n);
    return static_cast<ssize_t>(n);
  }

 private:
  std::string_view input_;
  mutable std::size_t seen_ = 0;
};

}  // namespace

void GuardedServer::SetDefaultHeaders(const httplib::Headers& headers) {
  headers_ = headers;
  set_default_headers(headers);
}

void GuardedServer::DeepenListenQueue() {
  const socket_t sock = svr_sock_;
  if (sock != INVALID_SOCKET) (void)::listen(sock, SOMAXCONN);
}

std::string GuardedServer::AnswerBytes(std::string_view input) {
  MemoryConnection connection(input);
  serve(connection);
  return std::move(connection.output);
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
  {
    SocketConnection connection(
        sock, std::chrono::seconds(read_timeout_sec_) + std::chrono::microseconds(read_timeout_usec_),
        std::chrono::seconds(write_timeout_sec_) + std::chrono::microseconds(write_timeout_usec_));
    serve(connection);
  }
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return true;
}

void GuardedServer::serve(Connection& connection) {
  for (std::size_t left = keep_alive_max_count_; left > 0 && svr_sock_ != INVALID_SOCKET; --left) {
    connection.Compact();
    // A connection idle before a request is closed after the keep-alive time.
    if (connection.pending().empty() &&
        connection.ReadMore(Clock::now() + std::chrono::seconds(keep_alive_timeout_sec_), svr_sock_) !=
            Connection::Fill::kMore)
      return;
    const Head head = readHead(connection);
    if (head == Head::kClosed) return;
    if (head != Head::kWhole) {
      refuse(connection, head == Head::kTooLarge ? 431 : 408);
      return;
    }
    bool closed = false;
    if (!process_request(connection, left == 1, closed, nullptr) || closed) return;
  }
}

GuardedServer::Head GuardedServer::readHead(Connection& connection) {
  const auto start = Clock::now();
  const auto deadline = start + limits_.deadline;
  connection.SetReadDeadline(deadline);
  HeadScanner scanner;
  struct Slot {
    std::atomic<int>* held = nullptr;
    ~Slot() {
      if (held != nullptr) --*held;
    }
  } slot;
  for (;;) {
    const HeadScanner::State state = scanner.Scan(connection.pending());
    if (state == HeadScanner::State::kComplete) return Head::kWhole;
    if (state == HeadScanner::State::kTooLarge) return Head::kTooLarge;
    const auto now = Clock::now();
    if (now >= deadline) return Head::kLate;
    if (slot.held == nullptr && now >= start + limits_.grace) {
      int held = slowHeads_.load();
      do {
        if (held >= limits_.slowSlots) return Head::kLate;
      } while (!slowHeads_.compare_exchange_weak(held, held + 1));
      slot.held = &slowHeads_;
    }
    const auto until = slot.held != nullptr ? deadline : std::min(deadline, start + limits_.grace);
    if (connection.ReadMore(until, svr_sock_) == Connection::Fill::kClosed) return Head::kClosed;
  }
}

void GuardedServer::refuse(Connection& connection, int status) {
  // The request line's target tells an API request, whose errors are JSON.
  std::string_view line = connection.pending();
  line = line.substr(0, std::min(line.find_first_of("\r\n"), std::size_t{8192}));
  const auto space = line.find(' ');
  std::string_view target = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
  target = target.substr(0, target.find(' '));
  const bool api = target == "/api" || target.rfind("/api/", 0) == 0 || target.rfind("/api?", 0) == 0;

  const char* reason = status == 431 ? "Request Header Fields Too Large" : "Request Timeout";
  const std::string text = status == 431 ? "the request's header fields are too many or too large"
                                         : "the request's head did not arrive in time";
  const std::string body = api ? ErrorJson(text) : text + "\n";
  std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
  for (const auto& [name, value] : headers_) out += name + ": " + value + "\r\n";
  if (api) out += "Cache-Control: no-store\r\n";
  out += std::string("Content-Type: ") + (api ? "application/json" : "text/plain; charset=utf-8") + "\r\n";
  out += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
  std::size_t sent = 0;
  while (sent < out.size()) {
    const ssize_t n = connection.write(out.data() + sent, out.size() - sent);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
  connection.Linger();
}

}  // namespace velmora
