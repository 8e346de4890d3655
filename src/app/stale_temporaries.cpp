#include "app/stale_temporaries.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "app/headless_monitor.h"
#include "base/log.h"
#include "base/system_config.h"
#include "monitor/alert.h"
#include "monitor/report_writer.h"
#include "monitor/symbol_check.h"
#include "quotes/provider_hub.h"

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

bool endsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A name the program writes through a temporary file in its folder.
bool isWrittenName(std::string_view name) {
  for (const char* fixed : {kStatusReportFile, kBuyReportFile, kSellReportFile, kTrendUpReportFile,
                            kTrendDownReportFile, kConfigFileName, kProviderStateFileName, kAlertStateFile})
    if (name == fixed) return true;
  if (!endsWith(name, ".csv") && !endsWith(name, ".txt")) return false;
  const std::string symbol(name.substr(0, name.size() - 4));
  return IsFileSafeSymbol(symbol.c_str());
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
  if (name.size() < kRandomLength + 2) return false;
  const std::size_t dot = name.size() - kRandomLength - 1;
  return name[dot] == '.' && isMkstempText(name.substr(dot + 1)) && isWrittenName(name.substr(0, dot));
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<fs::path> stale;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (IsStaleTemporaryName(it->path().filename().string())) stale.push_back(it->path());
  int removed = 0;
  for (const fs::path& path : stale) removed += removeUnlessHeld(path.string()) ? 1 : 0;
  if (removed > 0) LogFormat("Removed %d stale temporary file%s.", removed, removed == 1 ? "" : "s");
  return removed;
}

}  // namespace velmora
