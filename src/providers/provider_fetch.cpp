#include "providers/provider_fetch.h"

#include <array>
#include <cctype>
#include <chrono>
#include <memory>

#include "base/log.h"
#include "net/url_parts.h"

namespace velmora {

namespace {

constexpr std::size_t kReadPiece = 16384;
constexpr const char* kStoppedText = "The transfer was stopped on request.";

// Query parameters whose values are secrets.
constexpr std::array<std::string_view, 5> kSecretNames = {"token", "apikey", "api_key", "access_token",
                                                          "key"};

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (lower(text[i]) != lower(prefix[i])) return false;
  return true;
}

bool isRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The header block of a request: the provider's lines, then ours. A line
// holding a line break would smuggle in lines of its own: refused.
bool makeHeaderBlock(const std::vector<std::string>& lines, bool withAuthorization, std::string& block) {
  block.clear();
  for (const std::string& line : lines) {
    if (line.find_first_of("\r\n") != std::string::npos) return false;
    if (!withAuthorization && startsWithNoCase(line, "authorization:")) continue;
    block += line;
    block += "\r\n";
  }
  block += "Accept: */*\r\n";
  return true;
}

// Where a Location value points, seen from the URL that answered with it:
// absolute, scheme-relative ("//host/x"), absolute path or relative path.
bool resolveLocation(const UrlParts& from, const std::string& location, UrlParts& to) {
  if (SplitUrl(location.c_str(), to)) return true;
  if (location.rfind("//", 0) == 0) return SplitUrl((from.scheme + ":" + location).c_str(), to);
  if (location.empty() || location.find("://") != std::string::npos) return false;
  to = from;
  if (location[0] == '/') {
    to.object = location;
  } else {
    const std::string path = from.object.substr(0, from.object.find('?'));
    to.object = path.substr(0, path.rfind('/') + 1) + location;
  }
  const auto hash = to.object.find('#');
  if (hash != std::string::npos) to.object.erase(hash);
  return true;
}

bool sameServer(const UrlParts& a, const UrlParts& b) {
  return a.scheme == b.scheme && a.port == b.port && a.host.size() == b.host.size() &&
         startsWithNoCase(a.host, b.host);
}

// One request and its whole answer into `answer`; false with `error` when
// no complete answer came.
bool exchange(const UrlParts& url, const std::string& headerBlock, InternetSession& session,
              ProviderAnswer& answer, std::string& error) {
  if (session.StopRequested()) {
    error = kStoppedText;
    return false;
  }
  std::unique_ptr<HttpConnection> connection =
      session.ok() ? session.transport().Connect(url, session) : nullptr;
  if (!connection) {
    error = "can not open a connection to '" + url.host + "'";
    return false;
  }
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(session.transferTimeLimitMs());
  if (!connection->Send(url.object, headerBlock, nullptr, error)) return false;
  session.noteAnswer();
  answer.status = connection->Status();
  answer.headers = connection->RawHeaders();
  answer.body.clear();
  if (isRedirect(answer.status)) return true;  // its body is of no use
  char piece[kReadPiece];
  for (;;) {
    if (session.StopRequested()) {
      error = kStoppedText;
      return false;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      error = TransferTimeLimitText(session.transferTimeLimitMs());
      return false;
    }
    const long n = connection->Read(piece, sizeof piece, error);
    if (n < 0) return false;
    if (n == 0) return true;
    answer.body.append(piece, static_cast<std::size_t>(n));
    if (answer.body.size() > session.transferByteLimit()) {
      error = "the answer is larger than " + std::to_string(session.transferByteLimit()) + " bytes";
      return false;
    }
  }
}

ProviderAnswer failed(ProviderAnswer answer, std::string error) {
  answer.transferFailed = true;
  answer.error = MaskedUrl(error.substr(0, 1024));
  return answer;
}

}  // namespace

std::string MaskedUrl(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  std::size_t i = 0;
  // user:password@host
  const std::size_t scheme = url.find("://");
  if (scheme != std::string_view::npos) {
    const std::size_t start = scheme + 3;
    const std::size_t end = std::min(url.find_first_of("/?#", start), url.size());
    const std::size_t at = url.substr(start, end - start).rfind('@');
    if (at != std::string_view::npos) {
      out.append(url.substr(0, start)).append("***");
      i = start + at;
    }
  }
  while (i < url.size()) {
    bool masked = false;
    if (i == 0 || !isNameChar(url[i - 1])) {
      for (const std::string_view name : kSecretNames) {
        if (!startsWithNoCase(url.substr(i), name) || i + name.size() >= url.size() ||
            url[i + name.size()] != '=')
          continue;
        out.append(url.substr(i, name.size() + 1)).append("***");
        i += name.size() + 1;
        while (i < url.size() && std::string_view("&#'\" \t\r\n").find(url[i]) == std::string_view::npos) ++i;
        masked = true;
        break;
      }
    }
    if (!masked) out += url[i++];
  }
  return out;
}

ProviderAnswer FetchProviderAnswer(const ProviderRequest& request, InternetSession& session,
                                   std::string_view who) {
  ProviderAnswer answer;
  std::string url = request.url;
  std::string error;
  UrlParts parts;
  std::string block;
  bool complete = false;
  if (!SplitUrl(url.c_str(), parts)) {
    error = "the URL does not read";
  } else if (!makeHeaderBlock(request.headers, true, block)) {
    error = "a request header holds a line break";
  } else {
    complete = exchange(parts, block, session, answer, error);
    UrlParts next;
    std::string location;
    if (complete && isRedirect(answer.status)) {
      // One redirect is followed; whatever the new place answers is final.
      complete = false;
      if (!FindNewLocation(answer.headers, location) || !resolveLocation(parts, location, next)) {
        error = "a redirect without a usable new location";
      } else if (parts.secure() && !next.secure()) {
        error = "a redirect from https to http is not followed";
      } else {
        // The key of an Authorization header stays with the server it was meant for.
        (void)makeHeaderBlock(request.headers, sameServer(parts, next), block);  // checked above
        url = JoinUrl(next);
        complete = exchange(next, block, session, answer, error);
      }
    }
  }
  if (complete) return answer;
  if (!session.StopRequested()) {
    LogFormat("%.*s: transfer from '%s' failed: %s", static_cast<int>(who.size()), who.data(),
              MaskedUrl(url.substr(0, 512)).c_str(), MaskedUrl(error.substr(0, 512)).c_str());
  }
  return failed(std::move(answer), std::move(error));
}

}  // namespace velmora
