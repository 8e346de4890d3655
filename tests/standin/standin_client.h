#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace velmora::test {

// What a plain HTTP/1.1 exchange with the stand-in brought back.
struct HttpReply {
  bool answered = false;  // a status line arrived
  int status = 0;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  bool complete = false;  // the body has the announced length
  bool timedOut = false;
  std::string header(const std::string& lowerName) const;
};

// GET `target` the way the program asks ("Connection: close"), with extra
// header lines such as "Authorization: Basic ...".
HttpReply HttpGet(int port, const std::string& target, const std::vector<std::string>& extraHeaders = {},
                  std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Sends raw bytes and returns whatever comes back until the server closes.
std::string RawExchange(int port, const std::string& bytes,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

HttpReply ParseReply(const std::string& raw);

// A request whose answer is collected later (or never): for hung and
// concurrent clients without threads.
class PendingRequest {
 public:
  PendingRequest(int port, const std::string& target);
  ~PendingRequest();
  PendingRequest(const PendingRequest&) = delete;
  PendingRequest& operator=(const PendingRequest&) = delete;

  bool sent() const { return fd_ >= 0; }
  // True when any byte or the end of the connection arrived within `wait`.
  bool AnswerArrived(std::chrono::milliseconds wait);
  HttpReply Finish(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  void Close();

 private:
  int fd_ = -1;
};

// Connection attempts started all at once, none waiting for the server to
// take the one before: what the server's queue of pending connections holds.
class ConnectionBurst {
 public:
  ConnectionBurst(int port, int count);
  ~ConnectionBurst();
  ConnectionBurst(const ConnectionBurst&) = delete;
  ConnectionBurst& operator=(const ConnectionBurst&) = delete;

  // Waits until every attempt has connected or failed, or `wait` passed;
  // returns how many are connected.
  int WaitConnected(std::chrono::milliseconds wait);
  // GET `target` on every connected socket; the answers in order.
  std::vector<HttpReply> Exchange(const std::string& target, std::chrono::milliseconds timeout);

 private:
  enum class State { kPending, kConnected, kFailed };
  int port_;
  std::vector<int> fds_;
  std::vector<State> states_;
};

}  // namespace velmora::test
