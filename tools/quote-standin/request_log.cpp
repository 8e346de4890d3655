#include "request_log.h"

#include <chrono>
#include <ctime>

namespace velmora::standin {

RequestLog::~RequestLog() {
  if (file_ != nullptr) std::fclose(file_);
}

bool RequestLog::Open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "a");
  if (file_ == nullptr) {
    error = "cannot open the request log " + path;
    return false;
  }
  return true;
}

std::string RequestLog::CleanTarget(const std::string& target) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : target) {
    if (out.size() >= 2000) {
      out += "...";
      break;
    }
    if (c > 0x20 && c < 0x7f) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out.empty() ? "-" : out;
}

void RequestLog::Write(const std::string& client, const std::string& method, const std::string& target,
                       int status, std::size_t bodyBytes, double milliseconds, const std::string& fault) {
  if (file_ == nullptr) return;
  const auto now = std::chrono::system_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);
  char took[32];
  if (milliseconds >= 0) {
    std::snprintf(took, sizeof took, "%.2fms", milliseconds);
  } else {
    std::snprintf(took, sizeof took, "-");
  }
  const std::string cleanMethod = CleanTarget(method);
  const std::string cleanTarget = CleanTarget(target);
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(file_, "%s.%03dZ %s %s %s %d %zu %s %s\n", stamp, static_cast<int>(ms % 1000), client.c_str(),
               cleanMethod.c_str(), cleanTarget.c_str(), status, bodyBytes, took,
               fault.empty() ? "-" : fault.c_str());
  std::fflush(file_);
}

}  // namespace velmora::standin
