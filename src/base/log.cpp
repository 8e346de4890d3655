#include "base/log.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <shared_mutex>
#include <vector>

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

std::atomic<std::int64_t>& maxBytes() {
  static std::atomic<std::int64_t> bytes{kDefaultLogMaxBytes};
  return bytes;
}

// The newest rotated file becomes the second, and so on; renaming onto the
// oldest drops it. Then the current log becomes the newest rotated file.
void rotate(const std::string& name) {
  for (int n = kKeptLogFiles - 1; n >= 1; --n)
    (void)std::rename(RotatedLogFileName(n).c_str(), RotatedLogFileName(n + 1).c_str());
  (void)std::rename(name.c_str(), RotatedLogFileName(1).c_str());
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_ino == b.st_ino && a.st_dev == b.st_dev;
}

// Opens the log for appending a line of `lineBytes`, rotating it first when
// the line would take it past the limit. Another program may write the same
// log (the desktop program and velmora-monitor share a folder): while a
// limit is set each holds the file's advisory lock from its size check to
// its line's end, and rotates only the file still under the log's name, so
// a file is never rotated twice and no process writes into a file moved
// aside after its check. Closing the file releases the lock.
std::FILE* openForLine(const std::string& name, std::size_t lineBytes) {
  const std::int64_t limit = maxBytes().load(std::memory_order_relaxed);
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::FILE* f = std::fopen(name.c_str(), "a");
    if (f == nullptr || limit <= 0) return f;
    (void)::flock(::fileno(f), LOCK_EX);  // where locks are not kept, rotation still works
    struct stat held {};
    struct stat named {};
    if (::fstat(::fileno(f), &held) != 0) return f;
    if (::stat(name.c_str(), &named) != 0 || !sameFile(held, named)) {
      std::fclose(f);  // rotated by another process since it was opened
      continue;
    }
    if (held.st_size == 0 || held.st_size + static_cast<std::int64_t>(lineBytes) <= limit) return f;
    rotate(name);
    std::fclose(f);
  }
  return std::fopen(name.c_str(), "a");
}

struct Secrets {
  std::shared_mutex lock;
  std::vector<std::string> texts;
};

Secrets& secrets() {
  static Secrets held;
  return held;
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

std::string RotatedLogFileName(int n) { return LogFileName() + "." + std::to_string(n); }

void AddLogSecret(std::string_view secret) {
  constexpr std::size_t kShortest = 4;
  if (secret.size() < kShortest) return;
  Secrets& held = secrets();
  std::unique_lock<std::shared_mutex> hold(held.lock);
  for (const std::string& known : held.texts)
    if (known == secret) return;
  held.texts.emplace_back(secret);
  // Longer secrets first, so one that contains another is masked whole.
  std::sort(held.texts.begin(), held.texts.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::string MaskLogSecrets(std::string_view text) {
  std::string out(text);
  Secrets& held = secrets();
  std::shared_lock<std::shared_mutex> hold(held.lock);
  for (const std::string& secret : held.texts) {
    for (std::size_t at = out.find(secret); at != std::string::npos; at = out.find(secret, at + 3))
      out.replace(at, secret.size(), "***");
  }
  return out;
}

void SetLogMaxBytes(std::int64_t bytes) { maxBytes().store(bytes, std::memory_order_relaxed); }

std::int64_t LogMaxBytes() { return maxBytes().load(std::memory_order_relaxed); }

void LogMessage(const char* text) {
  std::lock_guard<std::mutex> hold(logLock());
  char stamp[128];
  formatNow("%A %B %d %Y %H:%M:%S", stamp, sizeof stamp);
  std::string line = stamp;
  line += ": ";
  line += MaskLogSecrets(text != nullptr ? text : "");
  line += '\n';
  // One write per line: a process appending to the same file at the same
  // time never splits it.
  if (std::FILE* f = openForLine(LogFileName(), line.size())) {
    std::fwrite(line.data(), 1, line.size(), f);
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
  const std::string message = MaskLogSecrets(text != nullptr ? text : "");
  std::string line = std::string(stamp) + ": " + message;
  LogMessage(line);
  // Whoever started the program learns why it ended, not only the log.
  const std::size_t n = message.size();
  std::fprintf(stderr, "%s: %s%s", program_invocation_short_name, message.c_str(),
               n > 0 && message[n - 1] == '\n' ? "" : "\n");
  std::fflush(stderr);
  std::_Exit(1);  // other threads may still run: no static destructors
}

}  // namespace velmora
