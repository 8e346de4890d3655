#pragma once

// What the web view checks of a request before it answers: the size of its
// head, the host the request names, and how many wrong tokens its address
// has sent lately.
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velmora {

// The most a request head (its request line and header lines) may hold;
// beyond either it is refused (431) before anything of it is parsed.
inline constexpr std::size_t kMaxHeadBytes = 64 * 1024;
inline constexpr int kMaxHeaderLines = 256;

// Finds where a request head ends in the bytes read of it so far: at the
// first empty line ("\r\n") after the request line, where the HTTP library
// ends it too. Each call is given the same bytes with more after them, and
// looks only at the new ones.
class HeadScanner {
 public:
  enum class State { kPartial, kComplete, kTooLarge };

  State Scan(std::string_view bytes);
  // The head's length (its empty line included) once complete.
  std::size_t size() const { return size_; }

 private:
  State state_ = State::kPartial;
  std::size_t scanned_ = 0;    // bytes looked at
  std::size_t lineStart_ = 0;  // where the current line began
  int lines_ = 0;              // complete lines, the request line included
  std::size_t size_ = 0;
};

// The host of a Host header ("Example.com:8421" gives "example.com",
// "[::1]:80" gives "::1"), lower case, an IPv6 address in its usual short
// form; false for a header that names no host.
bool HostOfHeader(std::string_view header, std::string& host);

// The host names a request may use: this machine's loopback names and
// addresses ("localhost", 127.x.y.z, ::1), the bound address and the names
// the user allowed. A page that renamed our address through DNS arrives
// with its own name and is refused; an address typed as digits can not be
// renamed so, so loopback digits always pass. Any port goes with a name.
class HostNames {
 public:
  HostNames(const std::string& boundAddress, const std::vector<std::string>& allowed);
  bool Allows(std::string_view hostHeader) const;

 private:
  std::vector<std::string> names_;
};

// Counts wrong tokens by client address: the fifth within a minute shuts
// the address out for a minute. Any thread may call it.
class GuessThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kTries = 5;
  static constexpr std::chrono::seconds kWindow{60};
  static constexpr std::chrono::seconds kPause{60};
  // Addresses followed at once; beyond them new addresses share one count,
  // so many addresses neither grow the table nor escape the pause.
  static constexpr std::size_t kMaxAddresses = 4096;

  // Seconds (rounded up) until `address` may try again; 0 when it may now.
  int SecondsShut(const std::string& address, Clock::time_point now);
  // Counts a wrong token of `address`; true when this one shuts it out.
  bool Wrong(const std::string& address, Clock::time_point now);

 private:
  struct Record {
    std::vector<Clock::time_point> wrong;  // within the window, oldest first
    Clock::time_point shutUntil{};
  };
  Record& recordOf(const std::string& address, Clock::time_point now);

  std::mutex lock_;
  std::unordered_map<std::string, Record> records_;
};

}  // namespace velmora
