#include "server/request_log.h"

#include <chrono>
#include <ctime>
#include <string_view>

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

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A query key as the server reads it (%XX decoded), in lower case.
std::string decodedKey(std::string_view key) {
  std::string out;
  for (std::size_t i = 0; i < key.size(); ++i) {
    char c = key[i];
    if (c == '%' && i + 2 < key.size()) {
      const int hi = hexValue(key[i + 1]);
      const int lo = hexValue(key[i + 2]);
      if (hi >= 0 && lo >= 0) {
        c = static_cast<char>(hi * 16 + lo);
        i += 2;
      }
    } else if (c == '+') {
      c = ' ';
    }
    out += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

}  // namespace

std::string RequestLog::HideKeys(const std::string& target) {
  const std::size_t query = target.find('?');
  if (query == std::string::npos) return target;
  std::string out = target.substr(0, query + 1);
  std::size_t from = query + 1;
  while (from <= target.size()) {
    std::size_t end = target.find('&', from);
    if (end == std::string::npos) end = target.size();
    const std::string_view pair(target.data() + from, end - from);
    const std::size_t eq = pair.find('=');
    if (eq != std::string_view::npos && decodedKey(pair.substr(0, eq)) == "token") {
      out.append(pair.substr(0, eq + 1));
      out += "***";
    } else {
      out.append(pair);
    }
    if (end == target.size()) break;
    out += '&';
    from = end + 1;
  }
  return out;
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
  const std::string cleanTarget = CleanTarget(HideKeys(target));
  std::lock_guard<std::mutex> lock(mutex_);
  std::fprintf(file_, "%s.%03dZ %s %s %s %d %zu %s %s\n", stamp, static_cast<int>(ms % 1000), client.c_str(),
               cleanMethod.c_str(), cleanTarget.c_str(), status, bodyBytes, took,
               fault.empty() ? "-" : fault.c_str());
  std::fflush(file_);
}

}  // namespace velmora::standin
