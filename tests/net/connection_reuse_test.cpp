// HttpFetcher over libcurl against servers on loopback that keep their
// connections open: a session reuses its connection, nothing of one request
// is sent with the next, a half-read answer never spoils the next request,
// and the transfers to one host stay under the per-host cap.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "loopback_http_server.h"
#include "net/http_fetcher.h"
#include "net/quote_result.h"
#include "support/log_lines.h"

namespace velmora {
namespace {

using test::LogHas;
using test::LoopbackHttpServer;
using Answer = LoopbackHttpServer::Answer;
using Clock = std::chrono::steady_clock;

// Opens `url` and reads the whole body; the status.
int Fetch(InternetSession& session, const std::string& url, std::string* body = nullptr) {
  HttpFetcher fetcher;
  const int status = fetcher.Open(url.c_str(), session);
  std::string text;
  char line[512];
  while (fetcher.ReadLine(sizeof line, line)) text += line;
  if (body != nullptr) *body = text;
  return status;
}

std::string ExpectedHead(const LoopbackHttpServer& server, const std::string& object) {
  return "GET " + object + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) +
         "\r\nAccept: text/*\r\nUser-Agent: Trevanta Software\r\nConnection: close\r\n\r\n";
}

// The object of a request head: "GET /x?y HTTP/1.1" gives "/x?y".
std::string ObjectOf(const std::string& head) { return head.substr(4, head.find(' ', 4) - 4); }

class ConnectionReuse : public test::InTempDir, public ::testing::Test {};

// Our request says "Connection: close" (the header block is fixed), yet
// libcurl keeps the connection when the server answers keep-alive, so a
// session's requests to such a server share one connection.
TEST_F(ConnectionReuse, ConsecutiveRequestsOfASessionShareOneConnection) {
  LoopbackHttpServer server([](const std::string& head) {
    return LoopbackHttpServer::KeepAlive(200, "page " + ObjectOf(head) + "\n");
  });
  ASSERT_TRUE(server.ok());
  InternetSession session;
  for (int i = 0; i < 5; ++i) {
    std::string body;
    const std::string object = "/table.csv?s=MSFT&y=" + std::to_string(i * 200);
    ASSERT_EQ(Fetch(session, server.base() + object, &body), kHttpOk);
    EXPECT_EQ(body, "page " + object + "\n");
  }
  EXPECT_EQ(server.connections(), 1);
  // Every request went out with exactly the same bytes as on a new connection.
  const std::vector<std::string> heads = server.requests();
  ASSERT_EQ(heads.size(), 5u);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(heads[i], ExpectedHead(server, "/table.csv?s=MSFT&y=" + std::to_string(i * 200)));

  // Another session has connections of its own.
  InternetSession other;
  EXPECT_EQ(Fetch(other, server.base() + "/d/quotes.csv?s=IBM"), kHttpOk);
  EXPECT_EQ(server.connections(), 2);
}

TEST_F(ConnectionReuse, ServerThatClosesIsAskedOnANewConnectionEachTime) {
  LoopbackHttpServer server([](const std::string&) { return LoopbackHttpServer::Closing(200, "row\n"); });
  ASSERT_TRUE(server.ok());
  InternetSession session;
  for (int i = 0; i < 3; ++i) {
    std::string body;
    EXPECT_EQ(Fetch(session, server.base() + "/table.csv", &body), kHttpOk);
    EXPECT_EQ(body, "row\n");
  }
  EXPECT_EQ(server.connections(), 3);
  EXPECT_TRUE(test::LogTexts().empty());
}

// An answer left half-read (closed early, cut by the server, stopped) is
// dropped with its connection; the session's next request is whole.
TEST_F(ConnectionReuse, HalfReadAnswerNeverSpoilsTheNextRequest) {
  std::string page;
  for (int i = 0; i < 200; ++i) page += "6-Dec-05,10.00,11.00,9.50,10.50,1000,10.50\n";
  LoopbackHttpServer server([&page](const std::string& head) {
    const std::string object = ObjectOf(head);
    if (object == "/page") {
      Answer a = LoopbackHttpServer::KeepAlive(200, page);
      a.holdAt = a.bytes.size() / 2;  // the rest comes after the client has gone
      a.holdMs = 300;
      return a;
    }
    if (object == "/cut") {
      Answer a{"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nline one\nline t"};
      a.close = true;
      return a;
    }
    if (object == "/slow") {
      Answer a = LoopbackHttpServer::KeepAlive(200, "first\nsecond\nthird\n");
      a.trickleMs = 5;
      return a;
    }
    return LoopbackHttpServer::KeepAlive(200, "small " + object + "\n");
  });
  ASSERT_TRUE(server.ok());
  std::atomic<bool> stop{false};
  InternetSession session;
  session.setStopFlag(&stop);
  char line[512];
  std::string body;

  {  // closed after one line, while the rest of the page is on its way
    HttpFetcher fetcher;
    ASSERT_EQ(fetcher.Open((server.base() + "/page").c_str(), session), kHttpOk);
    ASSERT_TRUE(fetcher.ReadLine(sizeof line, line));
    fetcher.Close();
  }
  EXPECT_EQ(Fetch(session, server.base() + "/after-page", &body), kHttpOk);
  EXPECT_EQ(body, "small /after-page\n");
  EXPECT_EQ(server.connections(), 2);

  {  // the server ends the connection half-way
    HttpFetcher fetcher;
    ASSERT_EQ(fetcher.Open((server.base() + "/cut").c_str(), session), kHttpOk);
    while (fetcher.ReadLine(sizeof line, line)) {
    }
    EXPECT_TRUE(fetcher.bodyFailed());
  }
  EXPECT_EQ(Fetch(session, server.base() + "/after-cut", &body), kHttpOk);
  EXPECT_EQ(body, "small /after-cut\n");

  {  // stopped after the first line
    HttpFetcher fetcher;
    ASSERT_EQ(fetcher.Open((server.base() + "/slow").c_str(), session), kHttpOk);
    ASSERT_TRUE(fetcher.ReadLine(sizeof line, line));
    EXPECT_STREQ(line, "first\n");
    stop = true;
    while (fetcher.ReadLine(sizeof line, line)) {
    }
    EXPECT_TRUE(fetcher.bodyFailed());
  }
  stop = false;
  EXPECT_EQ(Fetch(session, server.base() + "/after-stop", &body), kHttpOk);
  EXPECT_EQ(body, "small /after-stop\n");
}

// The composite index asks for its volume while its own record is still
// open: two requests of one session at once, each with its own answer.
TEST_F(ConnectionReuse, TwoOpenRequestsOfOneSessionKeepTheirOwnAnswers) {
  const auto numbered = [](const std::string& object) {
    std::string body;
    for (int i = 0; i < 3000; ++i) body += object + " line " + std::to_string(i) + "\n";
    return body;
  };
  LoopbackHttpServer server(
      [&](const std::string& head) { return LoopbackHttpServer::KeepAlive(200, numbered(ObjectOf(head))); });
  ASSERT_TRUE(server.ok());
  InternetSession session;
  HttpFetcher outer;
  ASSERT_EQ(outer.Open((server.base() + "/outer").c_str(), session), kHttpOk);
  char line[512];
  ASSERT_TRUE(outer.ReadLine(sizeof line, line));
  EXPECT_STREQ(line, "/outer line 0\n");
  for (int round = 0; round < 2; ++round) {
    std::string inner;
    ASSERT_EQ(Fetch(session, server.base() + "/inner", &inner), kHttpOk);
    EXPECT_EQ(inner, numbered("/inner"));
  }
  int lines = 1;
  while (outer.ReadLine(sizeof line, line)) {
    EXPECT_EQ(std::string(line), "/outer line " + std::to_string(lines) + "\n");
    ++lines;
  }
  EXPECT_EQ(lines, 3000);
  EXPECT_FALSE(outer.bodyFailed());
}

// A kept handle keeps its options between requests; the credentials given
// for one request must never go to another server, nor to the same server
// once they were refused.
TEST_F(ConnectionReuse, CredentialsGoOnlyWhereTheSessionRemembersThem) {
  const std::string kGood = "Authorization: Basic dXNlcjpzZWNyZXQ=\r\n";  // user:secret
  LoopbackHttpServer guarded([&kGood](const std::string& head) {
    if (head.find(kGood) != std::string::npos) return LoopbackHttpServer::KeepAlive(200, "secret\n");
    return LoopbackHttpServer::KeepAlive(401, "Unauthorized\n", "WWW-Authenticate: Basic realm=\"q\"\r\n");
  });
  LoopbackHttpServer open([](const std::string&) { return LoopbackHttpServer::KeepAlive(200, "open\n"); });
  ASSERT_TRUE(guarded.ok() && open.ok());
  InternetSession session;
  std::string password = "secret";
  session.setCredentialPrompt([&password](const CredentialRequest&, Credentials& out) {
    out = Credentials{"user", password};
    return true;
  });

  EXPECT_EQ(Fetch(session, guarded.base() + "/one"), kHttpOk);
  EXPECT_EQ(Fetch(session, open.base() + "/two"), kHttpOk);
  EXPECT_EQ(Fetch(session, guarded.base() + "/three"), kHttpOk);  // remembered for this server
  ASSERT_EQ(open.requests().size(), 1u);
  EXPECT_EQ(open.requests()[0], ExpectedHead(open, "/two"));
  std::vector<std::string> heads = guarded.requests();
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_EQ(heads[0], ExpectedHead(guarded, "/one"));
  EXPECT_NE(heads[1].find(kGood), std::string::npos);
  EXPECT_NE(heads[2].find(kGood), std::string::npos);

  // Refused credentials are forgotten: the next request carries none.
  InternetSession wrong;
  wrong.setCredentialPrompt([](const CredentialRequest&, Credentials& out) {
    out = Credentials{"user", "guess"};
    return true;
  });
  EXPECT_EQ(Fetch(wrong, guarded.base() + "/four"), kHttpUnauthorized);
  EXPECT_EQ(Fetch(wrong, open.base() + "/five"), kHttpOk);
  heads = guarded.requests();
  ASSERT_EQ(heads.size(), 5u);
  EXPECT_NE(heads[4].find("Authorization: Basic dXNlcjpndWVzcw=="), std::string::npos);  // user:guess
  wrong.setCredentialPrompt(nullptr);
  EXPECT_EQ(Fetch(wrong, guarded.base() + "/six"), kHttpUnauthorized);
  ASSERT_EQ(guarded.requests().size(), 6u);
  EXPECT_EQ(guarded.requests()[5], ExpectedHead(guarded, "/six"));
  EXPECT_EQ(open.requests()[1], ExpectedHead(open, "/five"));
}

// The per-host cap holds across sessions and threads.
class HostCapThreads : public test::InTempDir, public ::testing::Test {};

TEST_F(HostCapThreads, NoMoreThanTheCapReachOneHostAtOnce) {
  LoopbackHttpServer server([](const std::string& head) {
    Answer a = LoopbackHttpServer::KeepAlive(200, "quote " + ObjectOf(head) + "\n");
    a.delayMs = 60;
    return a;
  });
  ASSERT_TRUE(server.ok());
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      InternetSession session;
      session.setMaxConnectionsPerHost(2);
      for (int i = 0; i < 3; ++i) {
        std::string body;
        const std::string object = "/d/quotes.csv?s=T" + std::to_string(t) + "_" + std::to_string(i);
        if (Fetch(session, server.base() + object, &body) == kHttpOk && body == "quote " + object + "\n")
          ++good;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(good.load(), 18);
  EXPECT_EQ(server.mostAtOnce(), 2);
}

// Two requests hung on a silent server stop counting after a second, so a
// third request to that host gets through while they still wait.
TEST_F(HostCapThreads, HungTransfersGiveUpTheirPlaces) {
  LoopbackHttpServer server([](const std::string& head) {
    Answer a = LoopbackHttpServer::KeepAlive(200, "ok\n");
    a.hang = ObjectOf(head) == "/hang";
    return a;
  });
  ASSERT_TRUE(server.ok());
  std::atomic<bool> stop{false};
  std::atomic<int> hungStatus[2] = {0, 0};
  std::vector<std::thread> hung;
  for (int t = 0; t < 2; ++t) {
    hung.emplace_back([&, t] {
      InternetSession session;
      session.setMaxConnectionsPerHost(2);
      session.setStopFlag(&stop);
      hungStatus[t] = Fetch(session, server.base() + "/hang");
    });
  }
  for (int i = 0; i < 200 && server.requestCount() < 2; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(server.requestCount(), 2u);

  InternetSession session;
  session.setMaxConnectionsPerHost(2);
  session.setTransferLimits(kTransferByteLimit, 5000);  // a failure shows soon
  const auto start = Clock::now();
  std::string body;
  EXPECT_EQ(Fetch(session, server.base() + "/quote", &body), kHttpOk);
  const auto waited = Clock::now() - start;
  EXPECT_EQ(body, "ok\n");
  // It waited while the hung ones still counted, and not much longer.
  EXPECT_GE(waited, std::chrono::milliseconds(800));
  EXPECT_LT(waited, std::chrono::seconds(4));

  stop = true;
  for (std::thread& t : hung) t.join();
  EXPECT_EQ(hungStatus[0].load(), kHttpLocalFailure);
  EXPECT_EQ(hungStatus[1].load(), kHttpLocalFailure);
}

// A request waiting for a place ends at once when its owner stops, and the
// wait counts against its time limit.
TEST_F(HostCapThreads, WaitForAPlaceEndsOnStopAndAtTheTimeLimit) {
  LoopbackHttpServer server([](const std::string& head) {
    if (ObjectOf(head) != "/busy") return LoopbackHttpServer::KeepAlive(200, "ok\n");
    std::string body;
    for (int i = 0; i < 400; ++i) body += "x\n";
    Answer a = LoopbackHttpServer::KeepAlive(200, body);
    a.trickleMs = 5;  // two seconds of steady bytes: the place stays taken
    return a;
  });
  ASSERT_TRUE(server.ok());
  std::atomic<bool> holderStop{false};
  std::atomic<bool> started{false};
  std::thread holder([&] {
    InternetSession session;
    session.setMaxConnectionsPerHost(1);
    session.setStopFlag(&holderStop);
    HttpFetcher fetcher;
    if (fetcher.Open((server.base() + "/busy").c_str(), session) != kHttpOk) return;
    started = true;
    char line[64];
    while (fetcher.ReadLine(sizeof line, line)) {
    }
  });
  for (int i = 0; i < 200 && !started; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(started.load());

  std::atomic<bool> stop{false};
  InternetSession waiting;
  waiting.setMaxConnectionsPerHost(1);
  waiting.setStopFlag(&stop);
  Clock::time_point stopped;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stopped = Clock::now();
    stop = true;
  });
  EXPECT_EQ(Fetch(waiting, server.base() + "/stopped"), kHttpLocalFailure);
  const auto returned = Clock::now();
  stopper.join();
  EXPECT_LT(returned - stopped, std::chrono::milliseconds(250));
  EXPECT_TRUE(LogHas("The transfer was stopped on request."));

  InternetSession limited;
  limited.setMaxConnectionsPerHost(1);
  limited.setTransferLimits(kTransferByteLimit, 300);
  const std::string url = server.base() + "/late";
  EXPECT_EQ(Fetch(limited, url), kHttpLocalFailure);
  EXPECT_TRUE(LogHas("Transfer from '" + url + "' failed: no complete answer within 300 ms"));

  holderStop = true;
  holder.join();
  // Only the holder's request reached the server.
  EXPECT_EQ(server.requestCount(), 1u);
}

}  // namespace
}  // namespace velmora
