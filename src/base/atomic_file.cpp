#include "base/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace velmora {

bool WriteFileAtomically(const std::string& path, std::string_view content, bool durable) {
  std::string tmp = path + ".XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) return false;
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
  ok = (::close(fd) == 0) && ok;
  if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  return true;
}

}  // namespace velmora
