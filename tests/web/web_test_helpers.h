#pragma once

// Helpers of the web view's tests: a store filled as the loader fills it,
// and a raw event-stream client that reads only when told to.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "base/text_helpers.h"
#include "monitor/security_store.h"

namespace velmora::test {

// A security as the loader publishes it after its history: `days` bars,
// index 0 newest, the newest on 12/07/2026, closes rising by `step`.
inline SecurityData LoadedSecurity(const char* symbol, int days, double close, double step) {
  SecurityData data;
  (void)InitSecurityEntry(data, symbol, 0);
  data.historyLoaded = 1;
  data.bars.count = days;
  for (int i = 0; i < days; ++i) {
    QuoteBar& bar = data.bars[i];
    char date[32];
    std::snprintf(date, sizeof date, "12/%02d/2026", 7 - i > 0 ? 7 - i : 1);
    bar.SetDate(date);
    bar.SetTime(i == 0 ? "4:00pm" : "");
    bar.close = close - step * i;
    bar.open = bar.close - 0.5;
    bar.high = bar.close + 1;
    bar.low = bar.open - 1;
    bar.volume = 1000 + i;
    bar.volumeAvg50 = 900;
    bar.change = step;
    bar.changePercent = 1.25;
    bar.aboveEma5 = 'Y';
    bar.aboveEma10 = 'N';
    bar.ema5 = bar.close - 0.25;
  }
  data.bars[0].SetMark("B");
  if (days > 3) data.bars[3].SetMark("S");
  return data;
}

// Appends a listed, not yet loaded security.
inline void AppendListed(SecurityStore& store, const char* symbol) {
  SecurityData data;
  (void)InitSecurityEntry(data, symbol, 0);
  (void)store.Append(data);
}

// A plain TCP client of the event stream: it sends the request at once
// and reads only when asked, so a test can be a client that never reads.
// `request`, when given, is sent instead of the event stream's.
class RawEventClient {
 public:
  RawEventClient(int port, const std::string& extraHeaders = "", int receiveBuffer = 0,
                 const std::string& request = "") {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd_ < 0) return;
    if (receiveBuffer > 0) ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      ::close(fd_);
      fd_ = -1;
      return;
    }
    const std::string sent =
        !request.empty() ? request
                         : "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n" +
                               extraHeaders + "\r\n";
    if (::send(fd_, sent.data(), sent.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(sent.size())) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~RawEventClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawEventClient(const RawEventClient&) = delete;
  RawEventClient& operator=(const RawEventClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  // Sends more (a client that writes its request piece by piece).
  bool Send(const std::string& more) {
    return fd_ >= 0 &&
           ::send(fd_, more.data(), more.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(more.size());
  }
  const std::string& text() const { return text_; }
  bool closed() const { return closed_; }

  // Reads until `needle` appears after `from` in what was read (true) or
  // the time is up or the server closed (false).
  bool ReadUntil(const std::string& needle, std::chrono::milliseconds timeout, std::size_t from = 0) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (text_.find(needle, from) == std::string::npos) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) return false;
    }
    return true;
  }

  // Reads until the server closes the connection (true) or the time is up.
  bool ReadToClose(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!closed_) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      (void)readSome(static_cast<int>(left.count()));
    }
    return true;
  }

 private:
  bool readSome(int timeoutMs) {
    if (fd_ < 0 || closed_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      closed_ = true;
      return false;
    }
    text_.append(buffer, static_cast<std::size_t>(n));
    return true;
  }

  int fd_ = -1;
  std::string text_;
  bool closed_ = false;
};

}  // namespace velmora::test
