#include "app/stale_temporaries.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/headless_monitor.h"
#include "base/atomic_file.h"
#include "base/log.h"

namespace velmora {

namespace {

constexpr std::size_t kRandomLength = 6;  // the X's of a mkstemp template

// mkstemp fills its template from letters and digits only.
bool isMkstempText(std::string_view text) {
  if (text.size() != kRandomLength) return false;
  for (const char c : text) {
    const bool letterOrDigit = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!letterOrDigit) return false;
  }
  return true;
}

// Removes `path` when it is a regular file nobody holds locked.
bool removeUnlessHeld(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool removed = false;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
    removed = ::unlink(path.c_str()) == 0;
  ::close(fd);
  return removed;
}

}  // namespace

bool IsStaleTemporaryName(std::string_view name) {
  const std::string_view probe = kWriteCheckPrefix;
  if (name.substr(0, probe.size()) == probe) return isMkstempText(name.substr(probe.size()));
  const std::string_view infix = kTemporaryInfix;
  if (name.size() < 2 + infix.size() + kRandomLength || name[0] != '.') return false;
  const std::size_t at = name.size() - kRandomLength - infix.size();
  return name.substr(at, infix.size()) == infix && isMkstempText(name.substr(at + infix.size()));
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> stale;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (IsStaleTemporaryName(it->path().filename().string())) stale.push_back(it->path());
  std::sort(stale.begin(), stale.end());
  std::vector<std::string> removed;
  for (const fs::path& path : stale)
    if (removeUnlessHeld(path.string())) removed.push_back(path.filename().string());
  if (removed.empty()) return 0;
  LogFormat("Removed %zu stale temporary file%s.", removed.size(), removed.size() == 1 ? "" : "s");
  for (const std::string& name : removed) LogMessage("Removed the stale temporary file " + name + ".");
  return static_cast<int>(removed.size());
}

}  // namespace velmora
