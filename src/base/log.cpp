#include "base/log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "base/app_identity.h"

namespace velmora {

namespace {

// One process-wide lock makes stamp, open, write and close one unit, so
// lines of different threads never interleave. A blocking lock replaces
// the busy polling of older designs.
std::mutex& logLock() {
  static std::mutex lock;
  return lock;
}

void formatNow(const char* format, char* out, std::size_t size) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  if (std::strftime(out, size, format, &local) == 0) out[0] = '\0';
}

}  // namespace

const std::string& LogFileName() {
  static const std::string name = [] {
    char text[260];
    std::snprintf(text, sizeof text, "%s.log", kAppTitle);
    return std::string(text);
  }();
  return name;
}

void LogMessage(const char* text) {
  std::lock_guard<std::mutex> hold(logLock());
  char stamp[128];
  formatNow("%A %B %d %Y %H:%M:%S", stamp, sizeof stamp);
  if (std::FILE* f = std::fopen(LogFileName().c_str(), "a")) {
    std::fprintf(f, "%s: %s\n", stamp, text != nullptr ? text : "");
    std::fclose(f);
  }
}

void LogMessage(const std::string& text) { LogMessage(text.c_str()); }

void LogFormat(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  LogMessage(text);
}

void FatalExit(const char* text) {
  char stamp[128];
  formatNow("%H:%M:%S %A, %B %d, %Y", stamp, sizeof stamp);
  const char* message = text != nullptr ? text : "";
  std::string line = std::string(stamp) + ": " + message;
  LogMessage(line);
  // Whoever started the program learns why it ended, not only the log.
  const std::size_t n = std::strlen(message);
  std::fprintf(stderr, "%s: %s%s", program_invocation_short_name, message,
               n > 0 && message[n - 1] == '\n' ? "" : "\n");
  std::fflush(stderr);
  std::_Exit(1);  // other threads may still run: no static destructors
}

}  // namespace velmora
