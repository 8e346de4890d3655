#pragma once

// A scripted HTTP server on a free loopback port, for the cases the stand-in
// service cannot show: exact body bytes, the request head as it arrived,
// a different answer per page. Each connection gets the raw bytes that the
// handler returns for its request head, then the connection is closed.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_listener.h"

namespace velmora::test {

class RawHttpServer {
 public:
  using Handler = std::function<std::string(const std::string& requestHead)>;

  explicit RawHttpServer(Handler handler) : handler_(std::move(handler)) {
    listen_ = ListenOnLoopback(port_);
    if (listen_ < 0) return;
    thread_ = std::thread([this] { run(); });
  }

  ~RawHttpServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) ::close(listen_);
  }

  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  std::vector<std::string> requests() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
  }

  // "HTTP/1.1 <status>" with a Content-Length, and the body as given.
  static std::string Answer(int status, const std::string& body, const std::string& headers = "") {
    return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
  }

 private:
  void run() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int client = ::accept(listen_, nullptr, nullptr);
      if (client < 0) continue;
      std::string head;
      char buffer[4096];
      while (head.find("\r\n\r\n") == std::string::npos) {
        pollfd c{client, POLLIN, 0};
        if (::poll(&c, 1, 2000) <= 0) break;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        head.append(buffer, static_cast<std::size_t>(n));
      }
      {
        std::lock_guard<std::mutex> hold(lock_);
        requests_.push_back(head);
      }
      const std::string answer = handler_(head);
      std::size_t sent = 0;
      while (sent < answer.size()) {
        const ssize_t n = ::send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
      }
      ::shutdown(client, SHUT_WR);
      ::close(client);
    }
  }

  Handler handler_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex lock_;
  std::vector<std::string> requests_;
};

}  // namespace velmora::test
