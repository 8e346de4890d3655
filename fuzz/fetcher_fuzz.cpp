// The fetcher's line reading over a scripted connection (any body, any
// chunking, any capacity): the lines put together give back the body without
// its carriage returns, and no piece is longer than capacity - 2. Also the
// URL split and the redirect-location search on the same bytes.

#include <algorithm>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "net/http_fetcher.h"
#include "net/url_parts.h"

using namespace velmora;

namespace {

struct Script {
  std::string body;
  std::size_t chunk = 1;
};

class ScriptedConnection : public HttpConnection {
 public:
  explicit ScriptedConnection(const Script& s) : s_(s) {}
  bool Send(const std::string&, const std::string&, const Credentials*, std::string&) override {
    return true;
  }
  int Status() const override { return 200; }
  std::string RawHeaders() const override { return "HTTP/1.1 200 OK\r\n\r\n"; }
  long Read(char* buffer, std::size_t size, std::string&) override {
    const std::size_t n = std::min({size, s_.chunk, s_.body.size() - at_});
    std::memcpy(buffer, s_.body.data() + at_, n);
    at_ += n;
    return static_cast<long>(n);
  }

 private:
  const Script& s_;
  std::size_t at_ = 0;
};

class ScriptedTransport : public HttpTransport {
 public:
  explicit ScriptedTransport(const Script& s) : s_(s) {}
  std::unique_ptr<HttpConnection> Connect(const UrlParts&, InternetSession&) override {
    return std::make_unique<ScriptedConnection>(s_);
  }

 private:
  const Script& s_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::WorkDir();  // the log, if anything is logged, goes there
  if (size < 2) return 0;
  Script script;
  script.chunk = 1 + data[0] % 64;
  const int capacity = 3 + data[1] % 128;
  script.body = fuzz::AsText(data + 2, size - 2);

  InternetSession session(std::make_shared<ScriptedTransport>(script));
  HttpFetcher fetcher;
  if (fetcher.Open("http://127.0.0.1:1/table.csv", session) != 200) std::abort();
  std::string joined;
  char buffer[160];
  std::memset(buffer, 0x7f, sizeof buffer);
  while (fetcher.ReadLine(capacity, buffer)) {
    const std::size_t n = std::strlen(buffer);
    if (n > static_cast<std::size_t>(capacity - 2) || buffer[capacity - 1] != 0x7f) std::abort();
    joined.append(buffer, n);
  }
  std::string expected = script.body;
  expected.erase(std::remove(expected.begin(), expected.end(), '\r'), expected.end());
  if (expected.find('\0') == std::string::npos && joined != expected) std::abort();

  UrlParts parts;
  const std::string text = script.body.c_str();
  if (SplitUrl(text.c_str(), parts)) {
    if (parts.host.empty() || parts.object.empty() || parts.object[0] != '/' || parts.port == 0) std::abort();
    UrlParts again;
    if (!SplitUrl(JoinUrl(parts).c_str(), again) || again.host != parts.host || again.port != parts.port)
      std::abort();
  }
  std::string location;
  (void)FindNewLocation(script.body, location);  // found or not: only a crash or an overrun is a fault
  return 0;
}
