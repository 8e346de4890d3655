// Quote parsing speed for a full three-year history (1095 rows) from the CSV
// and the HTML service, a three-year LoadHistoryQuote from the stand-in
// service on loopback (skipped when bin/quote-standin is not built), and
// one session's back-to-back requests with and without connection reuse.

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/system_config.h"
#include "net/http_fetcher.h"
#include "net/internet_session.h"
#include "quotes/history_parser.h"
#include "quotes/html_history.h"
#include "quotes/quote_services.h"

extern char** environ;

namespace velmora {
namespace {

constexpr int kRows = kHistoryCapacity;

// Rows newest first; every tenth one after a 2:1 split (adjusted).
std::vector<std::string> HistoryLines() {
  std::vector<std::string> lines{"Date,Open,High,Low,Close,Volume,Adj Close\n"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int i = 0; i < kRows; ++i) {
    const double close = 20 + (i % 97) * 0.37;
    const double adjusted = i % 10 == 0 ? close / 2 : close;
    char line[160];
    std::snprintf(line, sizeof line, "%d-%s-%02d,%.2f,%.2f,%.2f,%.2f,%d,%.2f\n", 1 + i % 28,
                  kMonths[i / 28 % 12], 5 - i / 365, close - 0.25, close + 0.5, close - 0.75, close,
                  1000000 + 137 * i, adjusted);
    lines.emplace_back(line);
  }
  return lines;
}

std::string HtmlPage() {
  std::string page = "<html><body><table class=\"prices\">\n";
  for (const std::string& csv : HistoryLines()) {
    page += "<tr>";
    std::size_t from = 0;
    while (from < csv.size() - 1) {
      std::size_t comma = csv.find(',', from);
      if (comma == std::string::npos) comma = csv.size() - 1;
      page += "<td>" + csv.substr(from, comma - from) + "</td>";
      from = comma + 1;
    }
    page += "</tr>\n";
  }
  return page + "<tr><td>* Close price adjusted for dividends and splits.</td></tr></table></body></html>\n";
}

// A scratch folder that is the current directory while it lives.
struct Scratch {
  std::string dir;
  std::filesystem::path previous = std::filesystem::current_path();
  Scratch() {
    char pattern[] = "/tmp/velmora-bench-XXXXXX";
    dir = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    std::filesystem::current_path(dir);
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::current_path(previous, ec);
    if (dir != "/tmp") std::filesystem::remove_all(dir, ec);
  }
};

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Slot 0 is the current bar, so 1095 rows need 1096 slots.
constexpr int kSlots = kRows + 1;

void BM_ParseHistoryCsv1095(benchmark::State& state) {
  const std::vector<std::string> lines = HistoryLines();
  std::vector<QuoteBar> bars(kSlots);
  for (auto _ : state) {
    HistoryLoadState load;
    int rows = 0;
    for (const std::string& line : lines)
      rows += ParseHistoryCsvLine(line.c_str(), false, kSlots, bars.data(), load);
    benchmark::DoNotOptimize(rows);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ParseHistoryCsv1095);

// The page as the service sends it: converted to CSV, cut to the table and
// read back, as each HTML history page is.
void BM_ConvertAndReadHtmlHistory1095(benchmark::State& state) {
  Scratch scratch;
  const std::string page = HtmlPage();
  std::vector<QuoteBar> bars(kSlots);
  for (auto _ : state) {
    WriteText("page.tmp", page);
    if (!ExtractHistoryTable("page.tmp")) state.SkipWithError("the page did not convert");
    HistoryLoadState load;
    benchmark::DoNotOptimize(ReadConvertedHistoryFile("page.tmp", false, kSlots, bars.data(), load));
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(page.size()));
}
BENCHMARK(BM_ConvertAndReadHtmlHistory1095)->Unit(benchmark::kMicrosecond);

// quote-standin from the same bin/ folder, on a free loopback port.
class Standin {
 public:
  Standin() {
    const std::string exe = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "quote-standin";
    if (!std::filesystem::exists(exe)) return;
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<std::string> args{exe, "--port", "0"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (pid_ > 0 && line.find('\n') == std::string::npos && ::poll(&p, 1, 10000) > 0 &&
           ::read(out[0], &c, 1) == 1)
      line += c;
    ::close(out[0]);
    const auto colon = line.rfind(':');
    if (line.find("listening on http://") != std::string::npos && colon != std::string::npos)
      base_ = "http://127.0.0.1:" + std::to_string(std::atoi(line.c_str() + colon + 1));
  }
  ~Standin() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }
  const std::string& base() const { return base_; }

 private:
  pid_t pid_ = -1;
  std::string base_;
};

void BM_LoadHistoryQuoteThreeYearsLoopback(benchmark::State& state) {
  Standin standin;
  if (standin.base().empty()) {
    state.SkipWithError("quote-standin is not built beside velmora-bench");
    return;
  }
  Scratch scratch;  // the log goes there
  SystemConfig config;
  config.YahooHistoryQuoteSpreadSheetURL = standin.base() + "/table.csv";
  config.YahooHistoryQuoteURL = standin.base() + "/q/hp";
  config.HistoryQuoteServer = static_cast<int>(state.range(0));
  InternetSession session;
  auto series = std::make_unique<QuoteSeries>();
  int result = 0;
  for (auto _ : state) {
    result = LoadHistoryQuote("MSFT", 'd', 2002, 12, 6, 2005, 12, 6, session, kHistoryCapacity,
                              series->data(), config);
    if (result <= 1) state.SkipWithError("no rows from the stand-in");
  }
  state.counters["rows"] = result - 1;
}
BENCHMARK(BM_LoadHistoryQuoteThreeYearsLoopback)
    ->Arg(kHistoryYahooSpreadSheet)
    ->Arg(kHistoryYahooHtml)
    ->Unit(benchmark::kMillisecond);

// A one-client HTTP/1.1 server on a loopback port answering every request
// with one quote record; it keeps each connection open, or closes it after
// every answer as a server honouring "Connection: close" does.
class RecordServer {
 public:
  explicit RecordServer(bool keepOpen) : keepOpen_(keepOpen) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 64) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
      return;
    base_ = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
    thread_ = std::thread([this] { run(); });
  }
  ~RecordServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) ::close(listen_);
  }
  const std::string& base() const { return base_; }

 private:
  void run() {
    const std::string body = "\"MSFT\",27.13,\"12/6/2005\",\"10:42am\",+0.11,27.02,27.20,26.97,31529100\r\n";
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                               (keepOpen_ ? "\r\n\r\n" : "\r\nConnection: close\r\n\r\n") + body;
    while (!stop_) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const int client = ::accept(listen_, nullptr, nullptr);
      if (client < 0) continue;
      std::string head;
      char buffer[2048];
      while (!stop_) {
        pollfd c{client, POLLIN, 0};
        if (::poll(&c, 1, 20) == 0) continue;
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        head.append(buffer, static_cast<std::size_t>(n));
        if (head.find("\r\n\r\n") == std::string::npos) continue;
        head.clear();
        if (::send(client, answer.data(), answer.size(), MSG_NOSIGNAL) <= 0 || !keepOpen_) break;
      }
      ::close(client);
    }
  }

  bool keepOpen_;
  int listen_ = -1;
  std::string base_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// One quote record per request, read to its end, back to back on one
// session. Arg 0: the server closes after each answer (a new connection
// each time); 1: it keeps the connection open (one connection for all);
// 2: it keeps it open but every request has a new session, a new handle
// and so a new connection, as each request had before sessions kept theirs.
void BM_SessionRequestsLoopback(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  RecordServer server(mode != 0);
  if (server.base().empty()) {
    state.SkipWithError("no loopback port");
    return;
  }
  Scratch scratch;  // the log goes there
  const std::string url = server.base() + "/d/quotes.csv?s=MSFT&f=sl1d1t1c1ohgv&e=.csv";
  auto session = std::make_unique<InternetSession>();
  char line[1024];
  for (auto _ : state) {
    if (mode == 2) session = std::make_unique<InternetSession>();
    HttpFetcher fetcher;
    if (fetcher.Open(url.c_str(), *session) != 200) state.SkipWithError("the request failed");
    while (fetcher.ReadLine(sizeof line, line)) {
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SessionRequestsLoopback)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora
