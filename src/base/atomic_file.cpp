#include "base/atomic_file.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace velmora {

namespace {

enum class Outcome { kWritten, kFailed, kTemporaryGone };

Outcome writeOnce(const std::string& path, std::string_view content, bool durable) {
  std::string tmp = TemporaryTemplateFor(path);
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) return Outcome::kFailed;
  // Locked until it has its final name: the start-up clean-up of stale
  // temporaries leaves a locked one alone (another program may be writing it).
  ::flock(fd, LOCK_EX);
  ::fchmod(fd, 0644);
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else {
      ok = false;
    }
  }
  if (durable) ok = ok && ::fsync(fd) == 0;
  // The copy keeps the lock past the close, whose result still counts.
  const int keep = ok ? ::dup(fd) : -1;
  ok = (::close(fd) == 0) && ok && keep >= 0;
  Outcome outcome = Outcome::kWritten;
  if (!ok) {
    outcome = Outcome::kFailed;
  } else if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    outcome = errno == ENOENT ? Outcome::kTemporaryGone : Outcome::kFailed;
  }
  if (outcome != Outcome::kWritten) ::unlink(tmp.c_str());
  if (keep >= 0) ::close(keep);
  return outcome;
}

}  // namespace

std::string TemporaryTemplateFor(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(0, nameAt) + "." + path.substr(nameAt) + kTemporaryInfix + "XXXXXX";
}

bool WriteFileAtomically(const std::string& path, std::string_view content, bool durable) {
  // A temporary removed between its creation and its lock (a clean-up racing
  // the first microseconds) is written again once.
  Outcome outcome = writeOnce(path, content, durable);
  if (outcome == Outcome::kTemporaryGone) outcome = writeOnce(path, content, durable);
  return outcome == Outcome::kWritten;
}

bool ReadWholeFile(const std::string& path, std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

}  // namespace velmora
