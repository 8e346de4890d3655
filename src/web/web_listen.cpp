#include <arpa/inet.h>

#include <cctype>
#include <string>

#include "base/text_helpers.h"
#include "web/web_service.h"

namespace velmora {

namespace {

// A port of 0 to 65535 written as decimal digits only.
bool readPort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (const char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + (c - '0');
  }
  if (value > 65535) return false;
  port = value;
  return true;
}

bool isIpv4(const std::string& text) {
  in_addr address{};
  return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool isIpv6(const std::string& text) {
  in6_addr address{};
  return inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

// A host name: letters, digits, '-' and '.', not beginning with '-'.
bool isHostName(const std::string& text) {
  if (text.empty() || text.size() > 253 || text[0] == '-' || text[0] == '.') return false;
  for (const char c : text)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') return false;
  return true;
}

}  // namespace

bool ParseWebListen(const std::string& text, WebOptions& out, std::string& error) {
  const auto fail = [&](const std::string& why) {
    error = "bad web address '" + text + "': " + why;
    return false;
  };
  std::string address = "127.0.0.1";
  std::string portText;
  if (text.empty()) return fail("expected [ADDR:]PORT");
  if (text[0] == '[') {
    const auto close = text.find(']');
    if (close == std::string::npos) return fail("no ']' after the IPv6 address");
    address = text.substr(1, close - 1);
    if (!isIpv6(address)) return fail("'" + address + "' is no IPv6 address");
    if (close + 1 >= text.size() || text[close + 1] != ':') return fail("expected ':PORT' after ']'");
    portText = text.substr(close + 2);
  } else {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) {
      portText = text;
    } else {
      address = text.substr(0, colon);
      portText = text.substr(colon + 1);
      if (address.find(':') != std::string::npos)
        return fail("an IPv6 address goes in brackets: [ADDR]:PORT");
      if (!isIpv4(address) && !isHostName(address)) return fail("'" + address + "' is no address");
    }
  }
  int port = 0;
  if (!readPort(portText, port)) return fail("the port must be a number from 0 to 65535");
  out.address = address;
  out.port = port;
  error.clear();
  return true;
}

bool ParseWebAllowedHost(const std::string& text, std::string& name, std::string& error) {
  std::string host = text;
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
    host = host.substr(1, host.size() - 2);
    if (!isIpv6(host)) {
      error = "bad host name '" + text + "': '" + host + "' is no IPv6 address";
      return false;
    }
  } else if (!isIpv4(host) && !isIpv6(host) && !isHostName(host)) {
    error = "bad host name '" + text + "': expected a name or an address without a port";
    return false;
  }
  name = AsciiLowerCase(host);
  error.clear();
  return true;
}

bool IsLoopbackAddress(const std::string& address) {
  if (address == "localhost") return true;
  in_addr v4{};
  if (inet_pton(AF_INET, address.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  in6_addr v6{};
  if (inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    // ::ffff:127.x.y.z
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
  }
  return false;
}

}  // namespace velmora
