#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "net/http_transport.h"
#include "net/internet_session.h"

namespace velmora {

// The header block sent with every request, byte for byte. A server that
// honours its "Connection: close" ends the connection after each answer;
// one that keeps it open has the session's next request on it.
inline constexpr const char* kRequestHeaders =
    "Accept: text/*\r\nUser-Agent: Trevanta Software\r\nConnection: close\r\n";

// One HTTP GET at a time, its body handed out line by line. Follows one
// redirect, asks for credentials once, turns every local failure into
// status 400 and logs each problem. Also owns one temporary file, deleted
// with the fetcher.
class HttpFetcher {
 public:
  HttpFetcher() = default;
  ~HttpFetcher();
  HttpFetcher(const HttpFetcher&) = delete;
  HttpFetcher& operator=(const HttpFetcher&) = delete;

  // 200: the body is ready; 400: local failure; 401: authorization refused;
  // otherwise the server's final status. Call Close between two Opens.
  [[nodiscard]] int Open(const char* url, InternetSession& session);

  // The next line of the body, with its line feed, carriage returns dropped,
  // at most capacity - 2 characters (a longer line comes in pieces); the
  // last line may lack its line feed. False once the body is exhausted.
  [[nodiscard]] bool ReadLine(int capacity, char* buffer);

  // True once the body has ended on a transfer error (connection lost,
  // stall, stop request) or at a limit of the session (more bytes than its
  // transferByteLimit, still running after its transferTimeLimitMs): the
  // lines read were only part of the answer.
  bool bodyFailed() const { return bodyFailed_; }

  // Releases the request and the connection; safe when idle.
  void Close();

  // Creates the fetcher's temporary file on first use; true while a name is held.
  [[nodiscard]] bool TempFileName();
  const std::string& tempFilePath() const { return tempFile_; }

  const std::string& serverName() const { return server_; }
  const std::string& objectName() const { return object_; }
  std::uint16_t port() const { return port_; }

 private:
  [[nodiscard]] bool connectAndSend(const UrlParts& parts, InternetSession& session, int& status);
  [[nodiscard]] bool send(const Credentials* credentials, int& status);
  [[nodiscard]] bool fill();
  void failBody(const std::string& reason);
  void logTransferFailure(const std::string& reason) const;

  std::string url_;  // as asked for: named by the line of a failed transfer
  const std::atomic<bool>* stop_ = nullptr;
  std::size_t byteLimit_ = kTransferByteLimit;
  long timeLimitMs_ = kTransferTimeLimitMs;
  std::size_t bodyBytes_ = 0;
  std::chrono::steady_clock::time_point deadline_{};

  std::string server_;
  std::string object_;
  std::uint16_t port_ = 80;
  std::unique_ptr<HttpConnection> connection_;
  std::string tempFile_;

  static constexpr std::size_t kReadAhead = 4096;
  char readBuffer_[kReadAhead];
  std::size_t readPos_ = 0;
  std::size_t readLength_ = 0;
  bool bodyEnded_ = false;
  bool bodyFailed_ = false;
};

}  // namespace velmora
