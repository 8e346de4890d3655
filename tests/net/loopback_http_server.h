#pragma once

// An HTTP/1.1 server on a free loopback port that keeps its connections
// open (unless an answer says otherwise) and serves each connection on a
// thread of its own: for the client's connection reuse and its per-host cap.
// It counts the connections it accepted and the most requests waiting for
// their answers at one moment.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_listener.h"

namespace velmora::test {

class LoopbackHttpServer {
 public:
  struct Answer {
    std::string bytes;       // exactly what goes back
    int delayMs = 0;         // a pause before it
    bool hang = false;       // no answer at all while the client waits
    bool close = false;      // the connection ends after it
    int trickleMs = 0;       // above 0: the bytes go one at a time, this far apart
    std::size_t holdAt = 0;  // above 0: a pause of holdMs after this many bytes
    int holdMs = 0;
  };
  using Handler = std::function<Answer(const std::string& requestHead)>;

  explicit LoopbackHttpServer(Handler handler) : handler_(std::move(handler)) {
    listen_ = ListenOnLoopback(port_);
    if (listen_ >= 0) acceptor_ = std::thread([this] { acceptLoop(); });
  }

  ~LoopbackHttpServer() {
    stop_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    for (std::thread& t : clients_) t.join();
    if (listen_ >= 0) ::close(listen_);
  }

  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // A keep-alive answer with a Content-Length.
  static Answer KeepAlive(int status, const std::string& body, const std::string& headers = "") {
    return Answer{"HTTP/1.1 " + std::to_string(status) +
                  " X\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body};
  }
  // The same, saying so and closing after it.
  static Answer Closing(int status, const std::string& body) {
    Answer a = KeepAlive(status, body, "Connection: close\r\n");
    a.close = true;
    return a;
  }

  bool ok() const { return listen_ >= 0; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int port() const { return port_; }
  int connections() const { return connections_.load(); }
  int mostAtOnce() const { return mostAtOnce_.load(); }
  std::vector<std::string> requests() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
  }
  std::size_t requestCount() const {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_.size();
  }

 private:
  void acceptLoop() {
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int client = ::accept(listen_, nullptr, nullptr);
      if (client < 0) continue;
      ++connections_;
      clients_.emplace_back([this, client] {
        serve(client);
        ::close(client);
      });
    }
  }

  // Waits up to `ms` for the client to send or go; false once it is gone.
  bool clientThere(int client, int ms) {
    pollfd p{client, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return true;
    char c;
    return ::recv(client, &c, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
  }

  // Sleeps `ms` in short steps; false when the server stops or the client goes.
  bool pause(int client, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
      if (stop_ || !clientThere(client, 10)) return false;
    }
    return !stop_;
  }

  bool sendAll(int client, const char* data, std::size_t size) {
    std::size_t sent = 0;
    while (sent < size) {
      const ssize_t n = ::send(client, data + sent, size - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  void serve(int client) {
    std::string pending;
    char buffer[4096];
    while (!stop_) {
      std::size_t end;
      while ((end = pending.find("\r\n\r\n")) == std::string::npos) {
        pollfd p{client, POLLIN, 0};
        if (stop_) return;
        if (::poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        pending.append(buffer, static_cast<std::size_t>(n));
      }
      const std::string head = pending.substr(0, end + 4);
      pending.erase(0, end + 4);
      const int now = ++inFlight_;
      int seen = mostAtOnce_.load();
      while (now > seen && !mostAtOnce_.compare_exchange_weak(seen, now)) {
      }
      {
        std::lock_guard<std::mutex> hold(lock_);
        requests_.push_back(head);
      }
      const Answer answer = handler_(head);
      bool going = true;
      if (answer.hang) {
        while (going) going = pause(client, 50);
      } else if (answer.delayMs > 0) {
        going = pause(client, answer.delayMs);
      }
      // The request counts until its answer starts out: by then the client
      // may already ask again.
      --inFlight_;
      if (going && answer.trickleMs > 0) {
        for (std::size_t i = 0; going && i < answer.bytes.size(); ++i) {
          going = sendAll(client, &answer.bytes[i], 1) && pause(client, answer.trickleMs);
        }
      } else if (going) {
        const std::size_t first = std::min(answer.holdAt, answer.bytes.size());
        going = sendAll(client, answer.bytes.data(), first) && (first == 0 || pause(client, answer.holdMs)) &&
                sendAll(client, answer.bytes.data() + first, answer.bytes.size() - first);
      }
      if (!going || answer.close) {
        ::shutdown(client, SHUT_WR);
        return;
      }
    }
  }

  Handler handler_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread acceptor_;
  std::vector<std::thread> clients_;  // only the acceptor adds; joined after it ends
  std::atomic<int> connections_{0};
  std::atomic<int> inFlight_{0};
  std::atomic<int> mostAtOnce_{0};
  mutable std::mutex lock_;
  std::vector<std::string> requests_;
};

}  // namespace velmora::test
