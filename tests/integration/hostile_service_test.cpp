// Quote services that never finish an answer: a body without end, a trickle,
// silence after (or before) the headers. Every transfer ends at the session's
// limits, over the real network library, and velmora-monitor ends its pass.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/headless_options.h"
#include "net/http_fetcher.h"
#include "net/quote_result.h"
#include "support/log_lines.h"
#include "support/loopback_listener.h"
#include "support/monitor_process_helpers.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// An HTTP server on a free loopback port that answers every request badly.
// Each connection has its own thread; everything stops when the server is
// destroyed or, at the latest, `lifetime` after it started.
class HostileServer {
 public:
  enum class Mode {
    Endless,              // 200, then rows as fast as the client takes them, for ever
    Trickle,              // 200, then one row every 50 ms, for ever
    SilentAfterHeaders,   // 200 and its headers, then nothing
    SilentBeforeHeaders,  // reads the request, answers nothing
    Answer,               // 200 and the whole `body`, to every request
  };

  explicit HostileServer(Mode mode, std::chrono::seconds lifetime = 90s, std::string body = "")
      : mode_(mode), body_(std::move(body)), end_(Clock::now() + lifetime) {
    listen_ = test::ListenOnLoopback(port_);
    if (listen_ < 0) return;
    acceptor_ = std::thread([this] { acceptLoop(); });
  }

  ~HostileServer() {
    stop_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    std::lock_guard<std::mutex> hold(lock_);
    for (std::thread& t : connections_) t.join();
    if (listen_ >= 0) ::close(listen_);
  }

  HostileServer(const HostileServer&) = delete;
  HostileServer& operator=(const HostileServer&) = delete;

  int port() const { return port_; }
  std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
  int requests() const { return requests_.load(); }

 private:
  bool running() const { return !stop_ && Clock::now() < end_; }

  void acceptLoop() {
    while (running()) {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const int client = ::accept(listen_, nullptr, nullptr);
      if (client < 0) continue;
      std::lock_guard<std::mutex> hold(lock_);
      connections_.emplace_back([this, client] {
        serve(client);
        ::close(client);
      });
    }
  }

  // Sends all of `data` unless the client goes away or the server stops.
  bool sendAll(int client, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
      if (!running()) return false;
      pollfd p{client, POLLOUT, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::send(client, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  void serve(int client) {
    std::string head;
    char buffer[4096];
    while (running() && head.find("\r\n\r\n") == std::string::npos) {
      pollfd p{client, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) return;
      head.append(buffer, static_cast<std::size_t>(n));
    }
    ++requests_;
    if (mode_ == Mode::SilentBeforeHeaders) {
      while (running()) std::this_thread::sleep_for(20ms);
      return;
    }
    if (mode_ == Mode::Answer) {
      (void)sendAll(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body_.size()) +
                                "\r\nConnection: close\r\n\r\n" + body_);
      return;
    }
    // No length and no chunks: the body lasts until the connection closes.
    if (!sendAll(client, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n")) return;
    const std::string row = "6-Dec-05,10.00,11.00,9.50,10.50,1000,10.50\n";
    std::string block;
    while (block.size() < 64 * 1024) block += row;
    while (running()) {
      if (mode_ == Mode::SilentAfterHeaders) {
        std::this_thread::sleep_for(20ms);
      } else if (mode_ == Mode::Trickle) {
        if (!sendAll(client, row)) return;
        std::this_thread::sleep_for(50ms);
      } else if (!sendAll(client, block)) {
        return;
      }
    }
  }

  Mode mode_;
  std::string body_;
  Clock::time_point end_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread acceptor_;
  std::mutex lock_;
  std::vector<std::thread> connections_;
};

class HostileTransfer : public test::InTempDir, public ::testing::Test {
 protected:
  // Opens `url` and reads every line; the time it all took.
  Clock::duration Fetch(const std::string& url, int& status) {
    const auto start = Clock::now();
    status = fetcher_.Open(url.c_str(), session_);
    char line[512];
    if (status == kHttpOk)
      while (fetcher_.ReadLine(sizeof line, line)) {
      }
    fetcher_.Close();
    return Clock::now() - start;
  }
  static std::string HistoryUrl(const HostileServer& server) {
    return server.base() + "/table.csv?s=MSFT&d=11&e=6&f=2005&g=d&a=11&b=6&c=2002&z=1095&y=0&ignore=.csv";
  }
  InternetSession session_;
  HttpFetcher fetcher_;
};

TEST_F(HostileTransfer, EndlessBodyEndsAtTheByteLimit) {
  HostileServer server(HostileServer::Mode::Endless);
  ASSERT_GT(server.port(), 0);
  session_.setTransferLimits(1024 * 1024, 60000);
  int status = 0;
  EXPECT_LT(Fetch(HistoryUrl(server), status), 20s);
  EXPECT_EQ(status, kHttpOk);
  EXPECT_TRUE(fetcher_.bodyFailed());
  EXPECT_EQ(test::LogTexts(), std::vector<std::string>{"Transfer from '" + HistoryUrl(server) +
                                                       "' failed: the answer is larger than 1048576 bytes"});
}

TEST_F(HostileTransfer, TrickleAndSilenceEndAtTheTimeLimit) {
  // The stall limit alone would wait a minute for the silent servers.
  session_.setTimeouts(30000, 60000);
  session_.setTransferLimits(kTransferByteLimit, 600);
  for (const auto mode : {HostileServer::Mode::Trickle, HostileServer::Mode::SilentAfterHeaders,
                          HostileServer::Mode::SilentBeforeHeaders}) {
    HostileServer server(mode);
    ASSERT_GT(server.port(), 0);
    test::WriteFile(LogFileName(), "");
    int status = 0;
    EXPECT_LT(Fetch(HistoryUrl(server), status), 5s) << static_cast<int>(mode);
    // Silence before the headers fails the request itself; later, the body.
    if (mode == HostileServer::Mode::SilentBeforeHeaders) {
      EXPECT_EQ(status, kHttpLocalFailure);
    } else {
      EXPECT_EQ(status, kHttpOk);
      EXPECT_TRUE(fetcher_.bodyFailed());
    }
    const auto log = test::LogTexts();
    ASSERT_EQ(log.size(), 1u) << static_cast<int>(mode);
    const std::string prefix = "Transfer from '" + HistoryUrl(server) + "' failed: ";
    EXPECT_EQ(log[0].substr(0, prefix.size()), prefix) << log[0];
  }
}

// velmora-monitor against a service whose every answer is an endless page:
// the history load fails at 16 MB, as a cut transfer, and the pass ends.
TEST(HostileService, MonitorPassEndsAgainstAnEndlessService) {
  HostileServer server(HostileServer::Mode::Endless);
  ASSERT_GT(server.port(), 0);
  test::TempFolder folder;
  test::WriteFile(folder.file("List.dat"), "MSFT\n");
  test::WriteMonitorConfig(folder, server.port(), "ThreadLoadQuoteNum=1");
  test::ScopedVariable retry("VELMORA_RETRY_PAUSE_MS", "10");
  test::ChildProcess monitor({test::BinPath("velmora-monitor"), "--passes", "1"}, folder.path());
  ASSERT_TRUE(monitor.started());
  std::vector<std::string> output;
  // It ends, and says that nothing loaded because the transfers failed: the
  // service did answer, so it is not called unreachable.
  EXPECT_EQ(test::RunToEnd(monitor, output, 45s), kExitNothingLoaded)
      << "velmora-monitor --passes 1 did not end";
  EXPECT_NE(monitor.DrainStderr().find("first failure: MSFT: the transfer failed"), std::string::npos);
  EXPECT_GE(server.requests(), 1);
  for (const std::string& line : test::MonitorLog(folder))
    EXPECT_EQ(line.find("Can not connect"), std::string::npos) << line;

  const std::string prefix = "Transfer from '" + server.base() + "/table.csv?s=MSFT&";
  const std::string reason = "' failed: the answer is larger than 16777216 bytes";
  int failures = 0;
  for (const std::string& line : test::MonitorLog(folder)) {
    if (line.compare(0, prefix.size(), prefix) == 0 && line.size() > reason.size() &&
        line.compare(line.size() - reason.size(), reason.size(), reason) == 0)
      ++failures;
  }
  EXPECT_GE(failures, 1) << test::ReadFile(folder.file("Trevanta Software.log"));
}

// Garbage from Yahoo's chart is bad data (tried three times); the file stays.
TEST(HostileService, ProviderGarbageIsBadDataAndLeavesTheFileAlone) {
  const auto chart = [](const char* times, const char* open, const char* high, const char* close) {
    return std::string(R"({"chart":{"result":[{"meta":{"symbol":"MSFT"},"timestamp":)") + times +
           R"(,"indicators":{"quote":[{"open":)" + open + R"(,"high":)" + high + R"(,"low":[1,1],"close":)" +
           close + R"(,"volume":[9,9]}]}}]}})";
  };
  const char* days = "[1796221800,1796308200]";  // 2 and 3 December 2026
  const std::pair<std::string, std::string> cases[] = {
      {std::string(15000000, '['), "no JSON"},
      {chart("[4084007400,4084093800]", "[2,2]", "[3,3]", "[2,2]"), "no usable bar"},  // June 2099
      {chart(days, "[null,null]", "[3,3]", "[2,2]"), "no usable bar, null rows skipped: 2"},
      {chart(days, "[2,2]", "[3,3]", "[1e-300,2]"), "a price that is no price"},
      {chart(days, "[2,2]", "[1.5,1.5]", "[1.2,1.2]"),
       "no usable bar, rows whose high and low do not hold their prices skipped: 2"}};
  const std::string file = "12/7/2026,86.00,87.50,85.90,87.28,21000000\n";
  test::ScopedVariable retry("VELMORA_RETRY_PAUSE_MS", "10");
  for (const auto& [body, reason] : cases) {
    SCOPED_TRACE(reason);
    HostileServer server(HostileServer::Mode::Answer, 90s, body);
    test::TempFolder folder;
    test::WriteFile(folder.file("List.dat"), "MSFT\n");
    test::WriteFile(folder.file("MSFT.csv"), file);
    test::WriteMonitorConfig(folder, server.port(),
                             "HistoryProvider=YahooChart\nYahooChartURL=" + server.base());
    EXPECT_EQ(test::RunProgram("velmora-monitor", {"--passes", "1"}, folder.path(), 60s).status,
              kExitNothingLoaded);
    EXPECT_EQ(test::CountIn(test::MonitorLog(folder), "YahooChart MSFT: bad data (" + reason + ")."), 3);
    EXPECT_EQ(test::ReadFile(folder.file("MSFT.csv")), file);
  }
}
}  // namespace
}  // namespace velmora
