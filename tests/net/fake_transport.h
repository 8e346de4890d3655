#pragma once

// A scripted server behind the fetcher's transport seam: answers by URL,
// records every request, never touches the network.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/http_transport.h"
#include "net/internet_session.h"

namespace velmora::test {

struct FakeResponse {
  int status = 200;
  std::string headers;  // extra header lines, each ending in "\r\n"
  std::string body;
  std::string sendError;     // non-empty: Send fails with this text
  std::string readError;     // non-empty: the body ends with this error
  std::size_t chunk = 4096;  // bytes handed out per Read
  std::size_t repeatTo = 0;  // non-zero: the body over and over, this many bytes in all
  int readDelayMs = 0;       // a pause before each Read: a server that trickles
  std::string user;          // non-empty: only these credentials get the answer,
  std::string password;      // others get 401
};

inline FakeResponse Reply(int status, std::string body = "", std::string headers = "") {
  FakeResponse r;
  r.status = status;
  r.body = std::move(body);
  r.headers = std::move(headers);
  return r;
}

inline FakeResponse SendFails(std::string error) {
  FakeResponse r;
  r.sendError = std::move(error);
  return r;
}

// Answers `body` only to these credentials, 401 to any others.
inline FakeResponse Guarded(std::string body, std::string user, std::string password) {
  FakeResponse r = Reply(200, std::move(body));
  r.user = std::move(user);
  r.password = std::move(password);
  return r;
}

struct SentRequest {
  std::string url;
  std::string headerBlock;
  bool withCredentials = false;
  std::string user;
  std::string password;
};

struct FakeServer {
  // Answers by "scheme://host:port/object"; with several queued, each request
  // takes the next and the last one stays.
  std::map<std::string, std::deque<FakeResponse>> routes;
  std::vector<SentRequest> requests;
  int connects = 0;
  bool refuseConnect = false;

  void Route(const std::string& url, FakeResponse response) { routes[url].push_back(std::move(response)); }

  FakeResponse Answer(const std::string& url) {
    auto it = routes.find(url);
    if (it == routes.end() || it->second.empty()) return Reply(404, "Not Found\n");
    FakeResponse r = it->second.front();
    if (it->second.size() > 1) it->second.pop_front();
    return r;
  }
};

class FakeConnection : public HttpConnection {
 public:
  FakeConnection(std::shared_ptr<FakeServer> server, std::string base)
      : server_(std::move(server)), base_(std::move(base)) {}

  bool Send(const std::string& object, const std::string& headerBlock, const Credentials* credentials,
            std::string& error) override {
    SentRequest sent{base_ + object, headerBlock, credentials != nullptr, "", ""};
    if (credentials != nullptr) {
      sent.user = credentials->user;
      sent.password = credentials->password;
    }
    server_->requests.push_back(sent);
    response_ = server_->Answer(sent.url);
    offset_ = 0;
    if (!response_.sendError.empty()) {
      error = response_.sendError;
      return false;
    }
    if (!response_.user.empty() && (credentials == nullptr || credentials->user != response_.user ||
                                    credentials->password != response_.password)) {
      response_ = Reply(401, "Unauthorized\n", "WWW-Authenticate: Basic realm=\"quotes\"\r\n");
    }
    return true;
  }

  int Status() const override { return response_.status; }
  std::string RawHeaders() const override {
    return "HTTP/1.1 " + std::to_string(response_.status) + " X\r\n" + response_.headers + "\r\n";
  }

  long Read(char* buffer, std::size_t size, std::string& error) override {
    if (response_.readDelayMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(response_.readDelayMs));
    if (response_.repeatTo > 0 && !response_.body.empty()) {
      if (offset_ >= response_.repeatTo) return 0;
      const std::size_t n = std::min({size, response_.chunk, response_.repeatTo - offset_});
      for (std::size_t i = 0; i < n; ++i) buffer[i] = response_.body[(offset_ + i) % response_.body.size()];
      offset_ += n;
      return static_cast<long>(n);
    }
    if (offset_ >= response_.body.size()) {
      if (!response_.readError.empty() && !errorGiven_) {
        errorGiven_ = true;
        error = response_.readError;
        return -1;
      }
      return 0;
    }
    const std::size_t n = std::min({size, response_.chunk, response_.body.size() - offset_});
    std::memcpy(buffer, response_.body.data() + offset_, n);
    offset_ += n;
    return static_cast<long>(n);
  }

 private:
  std::shared_ptr<FakeServer> server_;
  std::string base_;
  FakeResponse response_;
  std::size_t offset_ = 0;
  bool errorGiven_ = false;
};

class FakeTransport : public HttpTransport {
 public:
  explicit FakeTransport(std::shared_ptr<FakeServer> server) : server_(std::move(server)) {}
  std::unique_ptr<HttpConnection> Connect(const UrlParts& url, InternetSession&) override {
    ++server_->connects;
    if (server_->refuseConnect) return nullptr;
    return std::make_unique<FakeConnection>(server_,
                                            url.scheme + "://" + url.host + ":" + std::to_string(url.port));
  }

 private:
  std::shared_ptr<FakeServer> server_;
};

// A session wired to a fresh scripted server.
struct FakeNet {
  std::shared_ptr<FakeServer> server = std::make_shared<FakeServer>();
  InternetSession session{std::make_shared<FakeTransport>(server)};
};

}  // namespace velmora::test
