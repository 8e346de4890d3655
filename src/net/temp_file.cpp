#include "net/temp_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace velmora {

bool CreateTempFile(std::string& path) {
  // The current directory has no fixed length limit here; getcwd is asked
  // with a growing buffer.
  std::vector<char> dir(512);
  while (::getcwd(dir.data(), dir.size()) == nullptr) {
    if (errno != ERANGE || dir.size() > 65536) return false;
    dir.resize(dir.size() * 2);
  }
  std::string name(dir.data());
  if (name.empty() || name.back() != '/') name += '/';
  name += "aaaXXXXXX.tmp";
  std::vector<char> pattern(name.begin(), name.end());
  pattern.push_back('\0');
  const int fd = ::mkstemps(pattern.data(), 4);  // created empty, exclusively
  if (fd < 0) return false;
  ::close(fd);
  path.assign(pattern.data());
  return true;
}

}  // namespace velmora
