// The web view's request handling on any bytes a client can send on one
// connection: the head reader's limits (checked against the same bytes
// scanned in two pieces), then the library's parsing, the host and token
// checks, the routes and their parameters, through two services (without a
// token, and with a token and allowed host names). Every answer is HTTP,
// and none is a 500 (a handler that threw).

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "monitor/local_history_writer.h"
#include "monitor/security_store.h"
#include "web/request_guard.h"
#include "web/web_service.h"

using namespace velmora;

namespace {

struct Services {
  SecurityStore store;
  std::unique_ptr<WebService> open;
  std::unique_ptr<WebService> guarded;
};

Services& services() {
  static Services* s = [] {
    const std::string folder = fuzz::WorkDir();
    auto* made = new Services;
    std::vector<QuoteBar> bars(40);
    for (int i = 0; i < 40; ++i) {
      char date[16];
      std::snprintf(date, sizeof date, "11/%d/2026", 30 - i % 30);
      bars[static_cast<std::size_t>(i)].SetDate(date);
      bars[static_cast<std::size_t>(i)].close = 50 + i;
      bars[static_cast<std::size_t>(i)].high = 51 + i;
      bars[static_cast<std::size_t>(i)].low = 49 + i;
      bars[static_cast<std::size_t>(i)].open = 50 + i;
      bars[static_cast<std::size_t>(i)].volume = 1000;
    }
    std::FILE* f = std::fopen((folder + "/MSFT.csv").c_str(), "wb");
    const std::string csv = FormatLocalHistoryCsv(40, bars.data());
    std::fwrite(csv.data(), 1, csv.size(), f);
    std::fclose(f);
    f = std::fopen((folder + "/Status.txt").c_str(), "wb");
    std::fputs("status\n", f);
    std::fclose(f);
    for (const char* symbol : {"MSFT", "^DJI", "A B"}) {
      SecurityData data;
      (void)InitSecurityEntry(data, symbol, 0);
      (void)made->store.Append(data);
    }
    WebOptions options;
    options.folder = folder;
    options.pingSeconds = 3600;
    std::string error;
    made->open = StartWebService(options, made->store, nullptr, error);
    // A clock a minute on at every look: wrong tokens never shut the fuzzer out for long.
    options.token = "0123456789abcdef";
    options.allowedHosts = {"monitor.example"};
    options.clock = [] {
      static std::atomic<long> minutes{0};
      return std::chrono::steady_clock::time_point(std::chrono::minutes(++minutes));
    };
    made->guarded = StartWebService(options, made->store, nullptr, error);
    if (!made->open || !made->guarded) std::abort();
    return made;
  }();
  return *s;
}

void checkScanner(std::string_view bytes) {
  HeadScanner whole;
  const HeadScanner::State state = whole.Scan(bytes);
  HeadScanner pieces;
  const std::size_t cut = bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]) * bytes.size() / 256;
  (void)pieces.Scan(bytes.substr(0, cut));
  if (pieces.Scan(bytes) != state) std::abort();
  if (state == HeadScanner::State::kComplete) {
    const std::size_t size = whole.size();
    if (size != pieces.size() || size > kMaxHeadBytes || size < 3 || bytes.substr(size - 2, 2) != "\r\n")
      std::abort();
  } else if (state == HeadScanner::State::kPartial && bytes.size() >= kMaxHeadBytes) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Services& s = services();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  checkScanner(bytes);
  WebService& service = (size > 0 && (data[0] & 1) != 0) ? *s.guarded : *s.open;
  const std::string answer = service.AnswerBytes(bytes);
  if (!answer.empty() && answer.rfind("HTTP/1.1 ", 0) != 0) std::abort();
  if (answer.find("HTTP/1.1 500 ") != std::string::npos) std::abort();
  return 0;
}
