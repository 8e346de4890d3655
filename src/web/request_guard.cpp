#include "web/request_guard.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/text_helpers.h"
#include "web/web_service.h"

namespace velmora {

namespace {

// The key all addresses share once the table is full.
constexpr const char* kSharedKey = "*";

// An IPv6 address in inet_ntop's form ("0:0::1" gives "::1"); false when
// `text` is none.
bool shortIpv6(const std::string& text, std::string& out) {
  in6_addr address{};
  char buffer[INET6_ADDRSTRLEN];
  if (inet_pton(AF_INET6, text.c_str(), &address) != 1 ||
      inet_ntop(AF_INET6, &address, buffer, sizeof buffer) == nullptr)
    return false;
  out = buffer;
  return true;
}

// An address or name as requests are compared with it.
std::string comparable(const std::string& text) {
  std::string out = AsciiLowerCase(text);
  std::string ipv6;
  if (out.size() > 2 && out.front() == '[' && out.back() == ']') out = out.substr(1, out.size() - 2);
  if (shortIpv6(out, ipv6)) return ipv6;
  return out;
}

}  // namespace

HeadScanner::State HeadScanner::Scan(std::string_view bytes) {
  if (state_ != State::kPartial) return state_;
  const std::size_t end = std::min(bytes.size(), kMaxHeadBytes);
  while (scanned_ < end) {
    const void* found = std::memchr(bytes.data() + scanned_, '\n', end - scanned_);
    if (found == nullptr) {
      scanned_ = end;
      break;
    }
    const std::size_t newline = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
    scanned_ = newline + 1;
    if (lines_ > 0 && newline == lineStart_ + 1 && bytes[lineStart_] == '\r') {
      size_ = scanned_;
      return state_ = State::kComplete;
    }
    if (++lines_ > kMaxHeaderLines + 1) return state_ = State::kTooLarge;
    lineStart_ = scanned_;
  }
  if (bytes.size() >= kMaxHeadBytes) state_ = State::kTooLarge;
  return state_;
}

bool HostOfHeader(std::string_view header, std::string& host) {
  std::string_view name = header;
  std::string_view port;
  const bool bracketed = !name.empty() && name.front() == '[';
  if (bracketed) {
    const auto close = name.find(']');
    if (close == std::string_view::npos) return false;
    port = name.substr(close + 1);
    name = name.substr(1, close - 1);
    if (!port.empty() && port.front() != ':') return false;
  } else if (const auto colon = name.find(':'); colon != std::string_view::npos) {
    port = name.substr(colon);
    name = name.substr(0, colon);
  }
  if (!port.empty()) {
    port.remove_prefix(1);  // ':'
    if (port.size() > 5) return false;
    for (const char c : port)
      if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  if (name.empty()) return false;
  if (bracketed) return shortIpv6(std::string(name), host);
  for (const char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') return false;
  host = AsciiLowerCase(name);
  return true;
}

HostNames::HostNames(const std::string& boundAddress, const std::vector<std::string>& allowed) {
  names_.push_back(comparable(boundAddress));
  for (const std::string& name : allowed) names_.push_back(comparable(name));
}

bool HostNames::Allows(std::string_view hostHeader) const {
  std::string host;
  if (!HostOfHeader(hostHeader, host)) return false;
  if (IsLoopbackAddress(host)) return true;
  return std::find(names_.begin(), names_.end(), host) != names_.end();
}

GuessThrottle::Record& GuessThrottle::recordOf(const std::string& address, Clock::time_point now) {
  if (const auto found = records_.find(address); found != records_.end()) return found->second;
  if (records_.size() >= kMaxAddresses) {
    // Addresses that are neither shut out nor wrong lately are forgotten.
    std::erase_if(records_, [&](const auto& item) {
      const Record& record = item.second;
      return record.shutUntil <= now && (record.wrong.empty() || now - record.wrong.back() >= kWindow);
    });
  }
  return records_[records_.size() < kMaxAddresses ? address : std::string(kSharedKey)];
}

int GuessThrottle::SecondsShut(const std::string& address, Clock::time_point now) {
  std::lock_guard<std::mutex> hold(lock_);
  auto found = records_.find(address);
  if (found == records_.end() && records_.size() >= kMaxAddresses) found = records_.find(kSharedKey);
  if (found == records_.end() || found->second.shutUntil <= now) return 0;
  const auto left = found->second.shutUntil - now;
  return static_cast<int>(std::chrono::ceil<std::chrono::seconds>(left).count());
}

bool GuessThrottle::Wrong(const std::string& address, Clock::time_point now) {
  std::lock_guard<std::mutex> hold(lock_);
  Record& record = recordOf(address, now);
  if (record.shutUntil > now) return false;  // refused unheard, so not counted
  std::erase_if(record.wrong, [&](Clock::time_point at) { return now - at >= kWindow; });
  record.wrong.push_back(now);
  if (static_cast<int>(record.wrong.size()) < kTries) return false;
  record.wrong.clear();
  record.shutUntil = now + kPause;
  return true;
}

}  // namespace velmora
