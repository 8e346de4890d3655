#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace velmora::standin {

// One line per request, appended and flushed at once:
//   2025-06-02T14:03:07.123Z 127.0.0.1:53422 GET /table.csv?s=MSFT&... 200 20431 0.42ms -
// UTC time, client address:port, method, target (bytes outside printable
// ASCII as %XX, cut at 2000 characters), status, body bytes, time taken
// ("-" when unknown), and the fault applied ("-" for none). A key in the
// query (token=..., as Finnhub's requests carry it) is written as
// "token=***", so the log never holds one.
class RequestLog {
 public:
  RequestLog() = default;
  ~RequestLog();
  RequestLog(const RequestLog&) = delete;
  RequestLog& operator=(const RequestLog&) = delete;

  [[nodiscard]] bool Open(const std::string& path, std::string& error);
  bool enabled() const { return file_ != nullptr; }
  void Write(const std::string& client, const std::string& method, const std::string& target, int status,
             std::size_t bodyBytes, double milliseconds, const std::string& fault);

  static std::string CleanTarget(const std::string& target);
  // The target with the value of every "token" query key (in any letter
  // case, escaped or not) replaced by "***".
  static std::string HideKeys(const std::string& target);

 private:
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

}  // namespace velmora::standin
