#include "net/url_parts.h"

#include <cctype>
#include <cstring>

namespace velmora {

namespace {

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool isBlankOrControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u <= 0x20 || u == 0x7f;
}

[[nodiscard]] bool parsePort(const std::string& text, std::uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > 65535) return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

}  // namespace

bool SplitUrl(const char* url, UrlParts& parts) {
  if (url == nullptr) return false;
  const std::string text(url);
  const auto colon = text.find("://");
  if (colon == std::string::npos) return false;
  std::string scheme;
  for (std::size_t i = 0; i < colon; ++i) scheme += lower(text[i]);
  std::uint16_t port = 0;
  if (scheme == "http") {
    port = 80;
  } else if (scheme == "https") {
    port = 443;
  } else {
    return false;
  }
  const std::size_t authorityStart = colon + 3;
  const std::size_t authorityEnd = text.find_first_of("/?#", authorityStart);
  std::string authority = text.substr(
      authorityStart, authorityEnd == std::string::npos ? std::string::npos : authorityEnd - authorityStart);
  const auto at = authority.rfind('@');
  if (at != std::string::npos) authority.erase(0, at + 1);
  std::string host = authority;
  std::size_t portColon = std::string::npos;
  if (!authority.empty() && authority[0] == '[') {
    const auto close = authority.find(']');
    if (close == std::string::npos) return false;
    host = authority.substr(0, close + 1);
    if (close + 1 < authority.size()) {
      if (authority[close + 1] != ':') return false;
      portColon = close + 1;
    }
  } else {
    portColon = authority.find(':');
    if (portColon != std::string::npos) host = authority.substr(0, portColon);
  }
  if (portColon != std::string::npos) {
    const std::string portText = authority.substr(portColon + 1);
    if (!portText.empty() && !parsePort(portText, port)) return false;
  }
  if (host.empty() || host == "[]") return false;
  for (char c : host) {
    if (isBlankOrControl(c)) return false;
  }
  std::string object = authorityEnd == std::string::npos ? std::string() : text.substr(authorityEnd);
  const auto hash = object.find('#');
  if (hash != std::string::npos) object.erase(hash);
  if (object.empty() || object[0] != '/') object.insert(0, "/");
  parts.scheme = scheme;
  parts.host = host;
  parts.port = port;
  parts.object = object;
  return true;
}

std::string EncodeObject(const std::string& object) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url;
  url.reserve(object.size());
  for (char c : object) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u >= 0x7f) {
      url += '%';
      url += kHex[u >> 4];
      url += kHex[u & 15];
    } else {
      url += c;
    }
  }
  return url;
}

std::string JoinUrl(const UrlParts& parts) {
  return parts.scheme + "://" + parts.host + ":" + std::to_string(parts.port) + EncodeObject(parts.object);
}

bool FindNewLocation(const std::string& rawHeaders, std::string& location) {
  static const char kName[] = "location: ";
  const std::size_t nameLength = std::strlen(kName);  // ten characters
  std::size_t lineStart = 0;
  while (lineStart < rawHeaders.size()) {
    std::size_t lineEnd = rawHeaders.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = rawHeaders.size();
    bool match = lineEnd - lineStart >= nameLength;
    for (std::size_t i = 0; match && i < nameLength; ++i)
      match = lower(rawHeaders[lineStart + i]) == kName[i];
    if (match) {
      std::size_t valueEnd = lineEnd;
      while (valueEnd > lineStart + nameLength &&
             (rawHeaders[valueEnd - 1] == '\r' || rawHeaders[valueEnd - 1] == '\n'))
        --valueEnd;
      location = rawHeaders.substr(lineStart + nameLength, valueEnd - lineStart - nameLength);
      return true;
    }
    lineStart = lineEnd + 1;
  }
  return false;
}

std::string PercentEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

}  // namespace velmora
