// Injected faults, bad requests, the request log and the process itself.
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <regex>

#include "standin/standin_client.h"
#include "standin/standin_helpers.h"
#include "support/test_support.h"

namespace velmora::test {
namespace {

using namespace std::chrono_literals;

const std::string kHistoryHeader = "Date,Open,High,Low,Close,Volume,Adj Close\n";

std::string history(const std::string& symbol) { return CsvHistoryTarget(symbol, 2005, 1, 3, 2005, 12, 6); }

// Location "http://127.0.0.1:PORT/path?query" -> "/path?query".
std::string targetOf(const std::string& location, int port) {
  const std::string origin = "http://127.0.0.1:" + std::to_string(port);
  EXPECT_EQ(location.rfind(origin, 0), 0u) << location;
  return location.substr(origin.size());
}

class StandinFaults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ =
        std::make_unique<StandinServer>(std::vector<std::string>{"--now",   "2005-12-06T17:00",
                                                                 "--fault", "F404=404",
                                                                 "--fault", "F500=500",
                                                                 "--fault", "F502=502",
                                                                 "--fault", "AUTH=401",
                                                                 "--fault", "MOVED=redirect",
                                                                 "--fault", "NOLOC=redirect-no-location",
                                                                 "--fault", "TWICE=redirect-twice",
                                                                 "--fault", "SLOW=slow=300",
                                                                 "--fault", "HUNG=hang",
                                                                 "--fault", "EMPTY=empty",
                                                                 "--fault", "JUNK=garbage",
                                                                 "--fault", "HALF=truncated",
                                                                 "--fault", "^tv.o=502"});
    reference_ = std::make_unique<StandinServer>(std::vector<std::string>{"--now", "2005-12-06T17:00"});
  }
  static void TearDownTestSuite() {
    server_.reset();
    reference_.reset();
  }
  void SetUp() override { ASSERT_TRUE(server_->ok() && reference_->ok()); }
  static int port() { return server_->port(); }
  // What the symbol's request answers when nothing goes wrong.
  static std::string healthy(const std::string& target) { return HttpGet(reference_->port(), target).body; }
  static std::unique_ptr<StandinServer> server_;
  static std::unique_ptr<StandinServer> reference_;
};
std::unique_ptr<StandinServer> StandinFaults::server_;
std::unique_ptr<StandinServer> StandinFaults::reference_;

TEST_F(StandinFaults, StatusFaultsApplyToEveryEndpointOfTheirSymbol) {
  for (const std::string& target :
       {history("F404"), QuoteTarget("f404", kDayWatchFields),
        HtmlHistoryTarget("F404", 2005, 1, 3, 2005, 12, 6), std::string("/stock-chart.php?symbol=F404")}) {
    EXPECT_EQ(HttpGet(port(), target).status, 404) << target;
  }
  EXPECT_EQ(HttpGet(port(), history("F500")).status, 500);
  EXPECT_EQ(HttpGet(port(), history("F502")).status, 502);
  // Only the faulted symbol: ^TV.O fails, the composite it derives from does not.
  EXPECT_EQ(HttpGet(port(), QuoteTarget("^TV.O", kDayWatchFields)).status, 502);
  EXPECT_EQ(HttpGet(port(), QuoteTarget("^IXIC", kDayWatchFields)).status, 200);
  EXPECT_EQ(HttpGet(port(), history("MSFT")).body, healthy(history("MSFT")));
}

TEST_F(StandinFaults, UnauthorizedUnlessTheCredentialsCome) {
  const HttpReply refused = HttpGet(port(), history("AUTH"));
  EXPECT_EQ(refused.status, 401);
  EXPECT_EQ(refused.header("www-authenticate").rfind("Basic", 0), 0u);
  EXPECT_EQ(HttpGet(port(), history("AUTH"), {"Authorization: Basic dXNlcjpvdGhlcg=="}).status, 401);
  const HttpReply granted = HttpGet(port(), history("AUTH"), {"Authorization: Basic dXNlcjpzZWNyZXQ="});
  EXPECT_EQ(granted.status, 200);
  EXPECT_EQ(granted.body, healthy(history("AUTH")));
}

TEST_F(StandinFaults, RedirectsLeadToTheSameResource) {
  const std::string target = history("MOVED");
  const HttpReply first = HttpGet(port(), target);
  ASSERT_EQ(first.status, 302);
  const std::string moved = targetOf(first.header("location"), port());
  EXPECT_EQ(moved, "/moved" + target);
  const HttpReply there = HttpGet(port(), moved);
  EXPECT_EQ(there.status, 200);
  EXPECT_EQ(there.body, healthy(target));

  const HttpReply twice = HttpGet(port(), QuoteTarget("TWICE", kDayWatchFields));
  ASSERT_EQ(twice.status, 302);
  const HttpReply second = HttpGet(port(), targetOf(twice.header("location"), port()));
  ASSERT_EQ(second.status, 302);
  const std::string last = targetOf(second.header("location"), port());
  EXPECT_EQ(last, "/moved/moved" + QuoteTarget("TWICE", kDayWatchFields));
  EXPECT_EQ(HttpGet(port(), last).body, healthy(QuoteTarget("TWICE", kDayWatchFields)));

  const HttpReply noLocation = HttpGet(port(), history("NOLOC"));
  EXPECT_EQ(noLocation.status, 302);
  EXPECT_EQ(noLocation.headers.count("location"), 0u);
}

TEST_F(StandinFaults, BodyFaults) {
  const HttpReply empty = HttpGet(port(), history("EMPTY"));
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.header("content-length"), "0");
  EXPECT_TRUE(empty.body.empty());

  const HttpReply junk = HttpGet(port(), QuoteTarget("JUNK", kDayWatchFields));
  EXPECT_EQ(junk.status, 200);
  EXPECT_GE(junk.body.size(), 512u);
  EXPECT_TRUE(junk.complete);
  EXPECT_NE(junk.body.substr(0, 6), "\"JUNK\"");

  const HttpReply half = HttpGet(port(), history("HALF"));
  const std::string whole = healthy(history("HALF"));
  EXPECT_EQ(half.status, 200);
  EXPECT_EQ(half.header("content-length"), std::to_string(whole.size()));
  EXPECT_FALSE(half.complete);
  EXPECT_FALSE(half.timedOut);  // the server closed the connection
  EXPECT_EQ(half.body, whole.substr(0, whole.size() / 2));
}

TEST_F(StandinFaults, SlowAnswersLate) {
  const auto start = std::chrono::steady_clock::now();
  const HttpReply slow = HttpGet(port(), history("SLOW"));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 290ms);
  EXPECT_EQ(slow.status, 200);
  EXPECT_EQ(slow.body, healthy(history("SLOW")));
}

TEST_F(StandinFaults, HungRequestsDoNotHoldUpOthers) {
  std::vector<std::unique_ptr<PendingRequest>> hung;
  for (int i = 0; i < 32; ++i) {
    hung.push_back(std::make_unique<PendingRequest>(port(), history("HUNG")));
    ASSERT_TRUE(hung.back()->sent());
  }
  // Sixteen clients at once, served side by side, while thirty-two requests
  // hold a worker each.
  std::vector<std::unique_ptr<PendingRequest>> clients;
  for (int i = 0; i < 16; ++i) clients.push_back(std::make_unique<PendingRequest>(port(), history("MSFT")));
  const std::string expected = healthy(history("MSFT"));
  for (auto& c : clients) {
    const HttpReply r = c->Finish(10s);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, expected);
  }
  for (auto& h : hung) EXPECT_FALSE(h->AnswerArrived(10ms));
  EXPECT_FALSE(hung.front()->AnswerArrived(400ms));
  hung.clear();  // the clients give up
  EXPECT_EQ(HttpGet(port(), history("MSFT")).status, 200);
}

TEST(StandinRequests, BadRequestsAreRefusedPolitely) {
  StandinServer server({"--now", "2005-12-06T17:00"});
  ASSERT_TRUE(server.ok());
  const int p = server.port();
  const std::string good = "/table.csv?s=MSFT&d=11&e=6&f=2005&g=d&a=0&b=3&c=2005&z=400&y=0&ignore=.csv";
  ASSERT_EQ(HttpGet(p, good).status, 200);
  // Every range key is required.
  for (const char* key : {"&d=11", "&e=6", "&f=2005", "&a=0", "&b=3", "&c=2005"}) {
    std::string target = good;
    target.erase(target.find(key), std::string(key).size());
    const HttpReply r = HttpGet(p, target);
    EXPECT_EQ(r.status, 400) << target;
    EXPECT_NE(r.body.find(std::string("missing key '") + key[1] + "'"), std::string::npos) << r.body;
  }
  for (const char* bad : {"c=99999999999999999999", "c=2005x", "a=12", "a=-1", "b=0", "y=-1", "y=99999999999",
                          "g=x", "g=dd", "z=1e9", "c=", "c=%00"}) {
    std::string target =
        "/table.csv?" + std::string(bad) + "&s=MSFT&d=11&e=6&f=2005&g=d&a=0&b=3&c=2005&z=400&y=0";
    EXPECT_EQ(HttpGet(p, target).status, 400) << bad;  // the first of a repeated key counts
  }
  EXPECT_EQ(HttpGet(p, "/table.csv?d=11&e=6&f=2005&a=0&b=3&c=2005").status, 400);  // no symbol
  EXPECT_EQ(HttpGet(p, QuoteTarget("MSFT", "")).status, 400);
  EXPECT_EQ(HttpGet(p, QuoteTarget("MSFT", "1sl")).status, 400);
  EXPECT_EQ(HttpGet(p, "/d/quotes.csv?s=MSFT").status, 400);
  // Malformed symbols are unknown symbols; unknown paths are not found.
  for (const char* symbol : {"MS%2FFT", "..", "", "%00", "^", "A%20B", "ABCDEFGHIJKLMNOPQ", "%FF%FE"}) {
    EXPECT_EQ(HttpGet(p, "/table.csv?s=" + std::string(symbol) + "&d=11&e=6&f=2005&a=0&b=3&c=2005").status,
              404)
        << symbol;
  }
  for (const char* path :
       {"/nothing", "/table.csv/x", "/moved/moved/moved/table.csv", "/../etc/passwd", "/q"}) {
    EXPECT_EQ(HttpGet(p, path).status, 404) << path;
  }
  ASSERT_EQ(HttpGet(p, good).status, 200);
}

TEST(StandinRequests, JunkOnTheWireNeverStopsTheServer) {
  StandinServer server({"--now", "2005-12-06T17:00"});
  ASSERT_TRUE(server.ok());
  const int p = server.port();
  std::vector<std::string> junk = {
      std::string("\0\xff\x01\x02\r\n\r\n", 8),
      "GET\r\n\r\n",
      "GET /table.csv?s=MSFT HTTP/9.9\r\n\r\n",
      "POST /table.csv HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello",
      "GET /" + std::string(200000, 'a') + " HTTP/1.1\r\n\r\n",
      "GET / HTTP/1.1\r\nX: " + std::string(100000, 'b') + "\r\n\r\n",
      "GET /d/quotes.csv?s=%%%%&f=%zz HTTP/1.1\r\nConnection: close\r\n\r\n",
      "GET /table.csv?s=MSFT&a=0&b=1&c=2005&d=0&e=1&f=2005&&&&===&y= HTTP/1.1\r\nConnection: close\r\n\r\n",
  };
  std::uint64_t x = 88172645463325252ull;  // a fixed xorshift stream of random bytes
  for (int i = 0; i < 40; ++i) {
    std::string bytes;
    for (int j = 0; j < 64 + i * 37; ++j) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      bytes += static_cast<char>(x & 0xff);
    }
    junk.push_back(i % 2 == 0 ? bytes : "GET /table.csv?" + bytes + " HTTP/1.1\r\n\r\n");
  }
  for (const auto& bytes : junk) {
    const std::string answer = RawExchange(p, bytes, 10s);
    if (!answer.empty()) {
      const HttpReply r = ParseReply(answer);
      EXPECT_TRUE(r.answered) << answer.substr(0, 200);
      EXPECT_GE(r.status, 200);
    }
  }
  EXPECT_EQ(HttpGet(p, "/table.csv?s=MSFT&d=11&e=6&f=2005&g=d&a=0&b=3&c=2005&z=400&y=0").status, 200);
  server.process().Signal(SIGTERM);
  EXPECT_EQ(server.process().Wait(10s), 0);
}

TEST(StandinProcess, RequestLogHasOneLinePerRequest) {
  TempFolder dir;
  const std::string logPath = dir.file("requests.log");
  StandinServer server({"--now", "2005-12-06T17:00", "--request-log", logPath, "--fault", "F404=404"});
  ASSERT_TRUE(server.ok());
  HttpGet(server.port(), history("MSFT"));
  HttpGet(server.port(), history("F404"));
  HttpGet(server.port(), "/no%01where");
  RawExchange(server.port(), "GARBAGE\r\n\r\n", 5s);
  server.process().Signal(SIGTERM);
  ASSERT_EQ(server.process().Wait(10s), 0);

  const auto lines = SplitLines(ReadFile(logPath));
  ASSERT_EQ(lines.size(), 4u) << ReadFile(logPath);
  const std::regex layout(
      R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z (127\.0\.0\.1:\d+|-) \S+ \S+ \d{3} \d+ (\d+\.\d\dms|-) \S+)");
  for (const auto& line : lines) EXPECT_TRUE(std::regex_match(line, layout)) << line;
  EXPECT_NE(lines[0].find(" GET " + history("MSFT") + " 200 "), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(" 404 "), std::string::npos);
  EXPECT_EQ(lines[1].substr(lines[1].size() - 4), " 404");  // the fault's name
  EXPECT_NE(lines[2].find(" GET /no%01where 404 "), std::string::npos) << lines[2];
  EXPECT_NE(lines[3].find(" 400 "), std::string::npos) << lines[3];
}

TEST(StandinProcess, StopsCleanlyOnSignals) {
  for (int signo : {SIGTERM, SIGINT}) {
    StandinServer server({"--fault", "HUNG=hang"});
    ASSERT_TRUE(server.ok());
    PendingRequest hung(server.port(), history("HUNG"));
    EXPECT_FALSE(hung.AnswerArrived(100ms));
    server.process().Signal(signo);
    EXPECT_EQ(server.process().Wait(10s), 0) << signo;
  }
}

TEST(StandinProcess, CommandLine) {
  ChildProcess help({BinPath("quote-standin"), "--help"});
  ASSERT_TRUE(help.started());
  EXPECT_EQ(help.Wait(10s), 0);
  const std::string text = help.DrainStdout();
  for (const char* option :
       {"--port", "--bind", "--data-dir", "--fault", "--latency", "--page-size", "--now", "--request-log",
        "--backlog", "TIME CLIENT METHOD TARGET STATUS BYTES DURATION FAULT"}) {
    EXPECT_NE(text.find(option), std::string::npos) << option;
  }
  for (std::vector<std::string> bad : {std::vector<std::string>{"--port", "70000"},
                                       {"--fault", "MSFT"},
                                       {"--fault", "MSFT=melt"},
                                       {"--now", "2005-13-01T10:00"},
                                       {"--page-size", "0"},
                                       {"--backlog", "0"},
                                       {"--data-dir", "/no/such/folder"},
                                       {"--bogus"},
                                       {"--latency"}}) {
    bad.insert(bad.begin(), BinPath("quote-standin"));
    ChildProcess child(bad);
    EXPECT_EQ(child.Wait(10s), 2) << bad[1];
    EXPECT_NE(child.DrainStderr().find("quote-standin: "), std::string::npos);
  }
  // A port already in use is an error, not a shared port.
  StandinServer first;
  ASSERT_TRUE(first.ok());
  ChildProcess second({BinPath("quote-standin"), "--port", std::to_string(first.port())});
  EXPECT_EQ(second.Wait(10s), 1);
  // --latency delays every answer; "--name=value" works as well.
  StandinServer late({"--latency=200"});
  ASSERT_TRUE(late.ok());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(HttpGet(late.port(), QuoteTarget("MSFT", kDayWatchFields)).status, 200);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 190ms);
}

}  // namespace
}  // namespace velmora::test
