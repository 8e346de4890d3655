#include "alerts/alert_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace velmora {

AlertFileRead ReadAlertFile(const std::string& path, std::string& text) {
  text.clear();
  // O_NONBLOCK: opening a FIFO for reading would wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return AlertFileRead::kMissing;
  struct stat info {};
  const bool stated = ::fstat(fd, &info) == 0;
  if (!stated || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return stated ? AlertFileRead::kNotRegular : AlertFileRead::kMissing;
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) {
      text.append(buffer, static_cast<std::size_t>(n));
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      ok = n == 0;
      break;
    }
  }
  ::close(fd);
  if (!ok) text.clear();
  return ok ? AlertFileRead::kRead : AlertFileRead::kMissing;
}

std::string NotRegularFileText(const std::string& path) {
  return "'" + path + "' is not a regular file; it is not read.";
}

}  // namespace velmora
