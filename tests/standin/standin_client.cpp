#include "standin/standin_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace velmora::test {

namespace {

int connectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool sendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads until the peer closes or the time is up.
std::string readAll(int fd, std::chrono::milliseconds timeout, bool& timedOut) {
  std::string all;
  timedOut = false;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  char buf[16384];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left));
    if (r == 0) {
      timedOut = true;
      break;
    }
    if (r < 0) break;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    all.append(buf, static_cast<std::size_t>(n));
  }
  return all;
}

std::string requestText(int port, const std::string& target, const std::vector<std::string>& extraHeaders) {
  std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                        "\r\nAccept: text/*\r\nUser-Agent: Trevanta Software\r\nConnection: close\r\n";
  for (const auto& h : extraHeaders) request += h + "\r\n";
  return request + "\r\n";
}

}  // namespace

std::string HttpReply::header(const std::string& lowerName) const {
  const auto it = headers.find(lowerName);
  return it == headers.end() ? std::string() : it->second;
}

HttpReply ParseReply(const std::string& raw) {
  HttpReply reply;
  const auto end = raw.find("\r\n\r\n");
  if (raw.compare(0, 9, "HTTP/1.1 ") != 0 || end == std::string::npos) return reply;
  reply.answered = true;
  reply.status = std::atoi(raw.c_str() + 9);
  std::size_t at = raw.find("\r\n") + 2;
  while (at < end) {
    const auto eol = raw.find("\r\n", at);
    const std::string line = raw.substr(at, eol - at);
    at = eol + 2;
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    std::string value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    reply.headers[name] = value;
  }
  reply.body = raw.substr(end + 4);
  const std::string length = reply.header("content-length");
  reply.complete = length.empty() || std::strtoull(length.c_str(), nullptr, 10) == reply.body.size();
  return reply;
}

HttpReply HttpGet(int port, const std::string& target, const std::vector<std::string>& extraHeaders,
                  std::chrono::milliseconds timeout) {
  const int fd = connectTo(port);
  if (fd < 0) return {};
  bool timedOut = false;
  std::string raw;
  if (sendAll(fd, requestText(port, target, extraHeaders))) raw = readAll(fd, timeout, timedOut);
  ::close(fd);
  HttpReply reply = ParseReply(raw);
  reply.timedOut = timedOut;
  return reply;
}

std::string RawExchange(int port, const std::string& bytes, std::chrono::milliseconds timeout) {
  const int fd = connectTo(port);
  if (fd < 0) return "";
  bool timedOut = false;
  std::string raw;
  if (sendAll(fd, bytes)) {
    ::shutdown(fd, SHUT_WR);
    raw = readAll(fd, timeout, timedOut);
  }
  ::close(fd);
  return raw;
}

PendingRequest::PendingRequest(int port, const std::string& target) {
  fd_ = connectTo(port);
  if (fd_ >= 0 && !sendAll(fd_, requestText(port, target, {}))) Close();
}

PendingRequest::~PendingRequest() { Close(); }

void PendingRequest::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PendingRequest::AnswerArrived(std::chrono::milliseconds wait) {
  if (fd_ < 0) return true;
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, static_cast<int>(wait.count())) != 0;
}

HttpReply PendingRequest::Finish(std::chrono::milliseconds timeout) {
  if (fd_ < 0) return {};
  bool timedOut = false;
  const std::string raw = readAll(fd_, timeout, timedOut);
  Close();
  HttpReply reply = ParseReply(raw);
  reply.timedOut = timedOut;
  return reply;
}

ConnectionBurst::ConnectionBurst(int port, int count) : port_(port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  for (int i = 0; i < count; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    State state = State::kFailed;
    if (fd >= 0) {
      const int r = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
      state = r == 0 ? State::kConnected : errno == EINPROGRESS ? State::kPending : State::kFailed;
    }
    fds_.push_back(fd);
    states_.push_back(state);
  }
}

ConnectionBurst::~ConnectionBurst() {
  for (int fd : fds_) {
    if (fd >= 0) ::close(fd);
  }
}

int ConnectionBurst::WaitConnected(std::chrono::milliseconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    std::vector<pollfd> pending;
    std::vector<std::size_t> which;
    for (std::size_t i = 0; i < fds_.size(); ++i) {
      if (states_[i] != State::kPending) continue;
      pending.push_back({fds_[i], POLLOUT, 0});
      which.push_back(i);
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    if (pending.empty() || left <= 0) break;
    if (::poll(pending.data(), pending.size(), static_cast<int>(left)) < 0 && errno != EINTR) break;
    for (std::size_t k = 0; k < pending.size(); ++k) {
      if (pending[k].revents == 0) continue;
      int error = 0;
      socklen_t size = sizeof error;
      const bool ok = ::getsockopt(pending[k].fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
      states_[which[k]] = ok ? State::kConnected : State::kFailed;
    }
  }
  int connected = 0;
  for (State state : states_) connected += state == State::kConnected ? 1 : 0;
  return connected;
}

std::vector<HttpReply> ConnectionBurst::Exchange(const std::string& target,
                                                 std::chrono::milliseconds timeout) {
  std::vector<bool> sent(fds_.size(), false);
  for (std::size_t i = 0; i < fds_.size(); ++i) {
    if (states_[i] != State::kConnected) continue;
    ::fcntl(fds_[i], F_SETFL, ::fcntl(fds_[i], F_GETFL) & ~O_NONBLOCK);
    sent[i] = sendAll(fds_[i], requestText(port_, target, {}));
  }
  std::vector<HttpReply> replies;
  for (std::size_t i = 0; i < fds_.size(); ++i) {
    if (!sent[i]) continue;
    bool timedOut = false;
    HttpReply reply = ParseReply(readAll(fds_[i], timeout, timedOut));
    reply.timedOut = timedOut;
    replies.push_back(std::move(reply));
  }
  return replies;
}

}  // namespace velmora::test
