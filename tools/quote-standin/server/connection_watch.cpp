#include "server/connection_watch.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace velmora::standin {

namespace {

bool sameEndpoint(const sockaddr_storage& sa, const std::string& addr, int port) {
  char text[INET6_ADDRSTRLEN] = "";
  int p = -1;
  if (sa.ss_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(&sa);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    p = ntohs(in->sin_port);
  } else if (sa.ss_family == AF_INET6) {
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&sa);
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    p = ntohs(in6->sin6_port);
  } else {
    return false;
  }
  return p == port && addr == text;
}

[[nodiscard]] int findConnection(const std::string& localAddr, int localPort, const std::string& remoteAddr,
                                 int remotePort) {
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int found = -1;
  while (dirent* entry = ::readdir(dir)) {
    char* end = nullptr;
    const long fd = std::strtol(entry->d_name, &end, 10);
    if (end == entry->d_name || *end != '\0') continue;
    sockaddr_storage local{}, peer{};
    socklen_t localLen = sizeof local, peerLen = sizeof peer;
    if (::getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &localLen) != 0) continue;
    if (::getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peerLen) != 0) continue;
    if (sameEndpoint(local, localAddr, localPort) && sameEndpoint(peer, remoteAddr, remotePort)) {
      found = static_cast<int>(fd);
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

void SleepUnlessStopping(int ms, const std::atomic<bool>& stopping) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!stopping.load() && std::chrono::steady_clock::now() < until) {
    const auto left = until - std::chrono::steady_clock::now();
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(20)));
  }
}

void WaitWhileClientConnected(const std::string& localAddr, int localPort, const std::string& remoteAddr,
                              int remotePort, const std::atomic<bool>& stopping,
                              std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  // The socket stays ours while this handler runs, so the number cannot be reused meanwhile.
  const int fd = findConnection(localAddr, localPort, remoteAddr, remotePort);
  while (!stopping.load() && std::chrono::steady_clock::now() < until) {
    if (fd < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      continue;
    }
    pollfd p{fd, POLLRDHUP, 0};
    const int r = ::poll(&p, 1, 50);
    if (r > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0) return;
  }
}

}  // namespace velmora::standin
