// The monitor's web view: one /api/securities answer over loopback with 512
// loaded rows, and the event stream's fan-out of a republish of all 512
// rows to 50 clients (time from the publish to the last client holding every
// row).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "web/web_service.h"

namespace {

using namespace velmora;

// Security `i` as loaded: 32 bars with every column filled.
SecurityData loadedRow(int i, double shift) {
  SecurityData data;
  char symbol[16];
  std::snprintf(symbol, sizeof symbol, "S%03d", i);
  (void)InitSecurityEntry(data, symbol, 0);
  data.historyLoaded = 1;
  data.bars.count = kMonitoredBars;
  for (int k = 0; k < kMonitoredBars; ++k) {
    QuoteBar& b = data.bars[k];
    b.SetDate("12/07/2026");
    b.SetTime("4:00pm");
    b.close = 50 + i * 0.37 + k * 0.11 + shift;
    b.open = b.close - 0.23;
    b.high = b.close + 0.71;
    b.low = b.open - 0.52;
    b.volume = 1234567 + i;
    b.volumeAvg50 = 987654;
    b.change = 0.33;
    b.changePercent = 0.6512;
    b.toEma10Percent = 1.2345;
    b.ema5 = b.close * 0.99;
    b.ema10 = b.close * 0.98;
    b.ema20 = b.close * 0.97;
    b.ema50 = b.close * 0.96;
    b.ema100 = b.close * 0.95;
    b.ema200 = b.close * 0.94;
    b.aboveEma5 = 'Y';
    b.aboveEma10 = 'N';
    b.rsi = 55.21;
    b.stochK = 40.17;
    b.stochD = 42.33;
  }
  data.bars[2].SetMark("B");
  return data;
}

std::unique_ptr<SecurityStore> fullStore() {
  auto store = std::make_unique<SecurityStore>();
  for (int i = 0; i < kMaxSecurities; ++i) (void)store->Append(loadedRow(i, 0));
  return store;
}

// One /api/securities answer of 512 loaded rows over loopback. With the
// argument 1 every row is republished right before each request, so every
// row's text is rendered again (the worst case: a request within the event
// watcher's 200 ms of a whole pass); with 2 every row is republished and
// the watcher has looked; with 0 nothing changed since the last answer.
void BM_WebSecuritiesAnswer(benchmark::State& state) {
  const bool allChanged = state.range(0) != 0;
  auto store = fullStore();
  std::string error;
  auto service = StartWebService(WebOptions{}, *store, nullptr, error);
  if (!service) {
    state.SkipWithError(error.c_str());
    return;
  }
  httplib::Client client("127.0.0.1", service->port());
  client.set_keep_alive(true);
  std::size_t bytes = 0;
  auto row = std::make_unique<SecurityData>();
  for (auto _ : state) {
    if (allChanged) {
      state.PauseTiming();
      for (int i = 0; i < store->count(); ++i) {
        store->entry(i).Snapshot(*row);
        store->entry(i).PublishQuote(*row);
      }
      if (state.range(0) == 2) std::this_thread::sleep_for(std::chrono::milliseconds(300));
      state.ResumeTiming();
    }
    auto res = client.Get("/api/securities");
    if (!res || res->status != 200) {
      state.SkipWithError("no answer");
      break;
    }
    bytes = res->body.size();
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  service->Stop();
}
BENCHMARK(BM_WebSecuritiesAnswer)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
// Each of these republishes 512 rows (and waits for the watcher) between
// requests: a fixed count keeps the run short.
BENCHMARK(BM_WebSecuritiesAnswer)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// An event-stream client on its own thread counting the row events it reads.
class CountingClient {
 public:
  explicit CountingClient(int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string request = "GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) < 0)
      return;
    reader_ = std::thread([this] { read(); });
  }
  ~CountingClient() {
    done_.store(true);
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) ::close(fd_);
  }
  long rows() const { return rows_.load(); }
  bool greeted() const { return greeted_.load(); }

 private:
  void read() {
    static const std::string kRow = "event: row\n";
    std::string tail;
    char buffer[65536];
    while (!done_.load()) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      std::string text = tail + std::string(buffer, static_cast<std::size_t>(n));
      if (text.find("event: hello") != std::string::npos) greeted_.store(true);
      long found = 0;
      for (auto at = text.find(kRow); at != std::string::npos; at = text.find(kRow, at + kRow.size()))
        ++found;
      rows_.fetch_add(found);
      // The last bytes go with the next read, so an event split between two
      // reads is found there (they are too short to hold one already counted).
      tail = text.substr(text.size() > kRow.size() - 1 ? text.size() - (kRow.size() - 1) : 0);
    }
  }

  int fd_ = -1;
  std::thread reader_;
  std::atomic<bool> done_{false};
  std::atomic<bool> greeted_{false};
  std::atomic<long> rows_{0};
};

void BM_WebEventFanout(benchmark::State& state) {
  const int clientCount = static_cast<int>(state.range(0));
  auto store = fullStore();
  WebOptions options;
  options.eventIntervalMs = static_cast<int>(state.range(1));
  std::string error;
  auto service = StartWebService(options, *store, nullptr, error);
  if (!service) {
    state.SkipWithError(error.c_str());
    return;
  }
  std::vector<std::unique_ptr<CountingClient>> clients;
  for (int i = 0; i < clientCount; ++i) clients.push_back(std::make_unique<CountingClient>(service->port()));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (const auto& c : clients)
    while (!c->greeted() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));

  long expected = 0;
  double shift = 0;
  for (auto _ : state) {
    shift += 0.01;
    for (int i = 0; i < kMaxSecurities; ++i) store->entry(i).PublishQuote(loadedRow(i, shift));
    expected += kMaxSecurities;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    bool all = false;
    while (!all && std::chrono::steady_clock::now() < until) {
      all = true;
      for (const auto& c : clients) all = all && c->rows() >= expected;
      if (!all) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (!all) {
      state.SkipWithError("a client missed rows");
      break;
    }
  }
  service->Stop();
  clients.clear();
}
// 50 clients with the service's own 200 ms look, and with a 10 ms one to
// show the fan-out's own cost.
BENCHMARK(BM_WebEventFanout)
    ->Args({50, 200})
    ->Args({50, 10})
    ->Args({1, 10})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(20);

}  // namespace
