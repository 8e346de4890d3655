#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// One URL split the way the fetcher uses it: a connection to host:port and
// a request for `object` (path and query).
struct UrlParts {
  std::string scheme;  // "http" or "https", lower case
  std::string host;    // an IPv6 literal keeps its brackets
  std::uint16_t port = 80;
  std::string object;  // path and query, at least "/"; a fragment is dropped
  bool secure() const { return scheme == "https"; }
};

// Splits scheme://[user[:password]@]host[:port][/path][?query][#fragment].
// False for any other scheme, a missing host, a bad port, or a blank or
// control character outside the path. User and password are ignored: the
// fetcher connects without them.
[[nodiscard]] bool SplitUrl(const char* url, UrlParts& parts);

// The object with blanks, control and non-ASCII bytes percent-encoded.
std::string EncodeObject(const std::string& object);

// "scheme://host:port/object" with blanks, control and non-ASCII bytes of the
// object percent-encoded, ready for the transport.
std::string JoinUrl(const UrlParts& parts);

// Finds the redirect target in a raw CRLF header block: the rest of the
// "Location: " line, without its line end. The name is matched at the start
// of a line and without regard to case (HTTP header names are
// case-insensitive), so "Content-Location: " never counts.
[[nodiscard]] bool FindNewLocation(const std::string& rawHeaders, std::string& location);

// Every byte outside A-Z a-z 0-9 - . _ ~ percent-encoded ("^GSPC" ->
// "%5EGSPC"), for a path segment or a query value.
std::string PercentEncode(std::string_view text);

}  // namespace velmora
