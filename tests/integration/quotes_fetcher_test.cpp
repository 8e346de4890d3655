// HttpFetcher over libcurl against real servers on loopback: the stand-in
// quote service with its faults, and a scripted raw server for exact bytes.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "net/http_fetcher.h"
#include "net/quote_result.h"
#include "net/raw_http_server.h"
#include "support/log_lines.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::LogHas;
using test::LogTexts;
using test::RawHttpServer;
using Clock = std::chrono::steady_clock;

class QuotesFetcher : public test::InTempDir, public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.ok()) << "quote-standin did not start"; }

  std::string QuoteUrl(const std::string& symbol) const {
    return server_.baseUrl() + "/d/quotes.csv?s=" + symbol + "&f=sl1d1t1c1ohgv&e=.csv";
  }

  // Lines of the stand-in's request log, waiting briefly for `atLeast`.
  std::vector<std::string> Requests(std::size_t atLeast = 0) const {
    std::vector<std::string> lines;
    for (int i = 0; i < 50; ++i) {
      lines = test::SplitLines(test::ReadFile(folder_.file("requests.log")));
      if (lines.size() >= atLeast) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return lines;
  }

  test::StandinServer server_{{"--fault", "RED=redirect", "--fault", "NOLOC=redirect-no-location", "--fault",
                               "TWICE=redirect-twice", "--fault", "BAD=404", "--fault", "AUTH=401", "--fault",
                               "HANG=hang", "--request-log", folder_.file("requests.log")}};
  InternetSession session_;
  HttpFetcher fetcher_;
};

TEST_F(QuotesFetcher, OtherSchemeIsRefusedWithoutTraffic) {
  const std::string url = "ftp://127.0.0.1:" + std::to_string(server_.port()) + "/table.csv";
  EXPECT_EQ(fetcher_.Open(url.c_str(), session_), kHttpLocalFailure);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"Invalid URL '" + url + "'."});
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(Requests().empty());
}

TEST_F(QuotesFetcher, RedirectIsFollowedOnceWithItsWarning) {
  const std::string url = QuoteUrl("RED");
  EXPECT_EQ(fetcher_.Open(url.c_str(), session_), kHttpOk);
  const std::string moved = server_.baseUrl() + "/moved/d/quotes.csv?s=RED&f=sl1d1t1c1ohgv&e=.csv";
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"Warning: '" + url + "' is redirected to '" + moved + "'."});
  char line[1024];
  ASSERT_TRUE(fetcher_.ReadLine(1024, line));
  EXPECT_EQ(std::string(line).substr(0, 6), "\"RED\",");
  EXPECT_EQ(Requests(2).size(), 2u);
}

TEST_F(QuotesFetcher, RedirectWithoutLocationIsALocalFailure) {
  EXPECT_EQ(fetcher_.Open(QuoteUrl("NOLOC").c_str(), session_), kHttpLocalFailure);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"Can not find new location."});
}

TEST_F(QuotesFetcher, SecondRedirectIsFinal) {
  const std::string url = QuoteUrl("TWICE");
  EXPECT_EQ(fetcher_.Open(url.c_str(), session_), 302);
  const std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].substr(0, 11 + url.size()), "Warning: '" + url + "'");
  EXPECT_EQ(log[1], "Warnning: got status code 302 when opening URL:");
  EXPECT_EQ(log[2], url);
  EXPECT_EQ(Requests(2).size(), 2u);
}

TEST_F(QuotesFetcher, NotFoundIsReturnedWithTheStatusLines) {
  const std::string url = QuoteUrl("BAD");
  EXPECT_EQ(fetcher_.Open(url.c_str(), session_), 404);
  const std::vector<std::string> expected{"Warnning: got status code 404 when opening URL:", url};
  EXPECT_EQ(LogTexts(), expected);
}

TEST_F(QuotesFetcher, UnauthorizedWithoutAndWithCredentials) {
  const std::string url = QuoteUrl("AUTH");
  EXPECT_EQ(fetcher_.Open(url.c_str(), session_), kHttpUnauthorized);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"No authorization."});
  fetcher_.Close();

  InternetSession wrong;
  wrong.setCredentialPrompt([](const CredentialRequest&, Credentials& out) {
    out = Credentials{"user", "guess"};
    return true;
  });
  EXPECT_EQ(fetcher_.Open(url.c_str(), wrong), kHttpUnauthorized);
  EXPECT_TRUE(LogHas("Warnning: got status code 401 when opening URL:"));
  fetcher_.Close();

  int asked = 0;
  session_.setCredentialPrompt([&](const CredentialRequest& request, Credentials& out) {
    ++asked;
    EXPECT_EQ(request.server, "127.0.0.1");
    out = Credentials{"user", "secret"};
    return true;
  });
  EXPECT_EQ(fetcher_.Open(url.c_str(), session_), kHttpOk);
  char line[1024];
  ASSERT_TRUE(fetcher_.ReadLine(1024, line));
  EXPECT_EQ(std::string(line).substr(0, 7), "\"AUTH\",");
  fetcher_.Close();
  EXPECT_EQ(fetcher_.Open(url.c_str(), session_), kHttpOk);  // remembered for the session
  EXPECT_EQ(asked, 1);
}

TEST_F(QuotesFetcher, LibraryErrorsAre400WithTheirText) {
  // Nothing listens on port 1 of the loopback address.
  EXPECT_EQ(fetcher_.Open("http://127.0.0.1:1/table.csv", session_), kHttpLocalFailure);
  const std::vector<std::string> log = LogTexts();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("onnect"), std::string::npos) << log[0];
  fetcher_.Close();

  // https is a scheme the fetcher speaks: the stand-in's plain answer fails
  // the TLS handshake, which is a library error, not an invalid URL.
  const std::string https = "https://127.0.0.1:" + std::to_string(server_.port()) + "/table.csv";
  EXPECT_EQ(fetcher_.Open(https.c_str(), session_), kHttpLocalFailure);
  EXPECT_FALSE(LogHas("Invalid URL '" + https + "'."));
  EXPECT_EQ(LogTexts().size(), 2u);
}

TEST_F(QuotesFetcher, StallLimitEndsAHungTransfer) {
  session_.setTimeouts(30000, 1000);
  const auto start = Clock::now();
  EXPECT_EQ(fetcher_.Open(QuoteUrl("HANG").c_str(), session_), kHttpLocalFailure);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(LogTexts().size(), 1u);
}

// The stop flag is set from another thread, as the loader pool's stop does.
class QuotesFetcherStopThreads : public QuotesFetcher {};

TEST_F(QuotesFetcherStopThreads, StopFlagAbortsAHungTransferWithinASecond) {
  std::atomic<bool> stop{false};
  session_.setStopFlag(&stop);
  Clock::time_point stopped;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stopped = Clock::now();
    stop = true;
  });
  EXPECT_EQ(fetcher_.Open(QuoteUrl("HANG").c_str(), session_), kHttpLocalFailure);
  const auto returned = Clock::now();
  stopper.join();
  EXPECT_LT(returned - stopped, std::chrono::seconds(1));
  EXPECT_EQ(LogTexts(), std::vector<std::string>{"The transfer was stopped on request."});
}

class QuotesFetcherThreads : public test::InTempDir, public ::testing::Test {};

TEST_F(QuotesFetcherThreads, SendsTheHeaderBlockAndReadsRawLines) {
  RawHttpServer raw([](const std::string&) {
    return RawHttpServer::Answer(200, "Date,Open\r\n6-Dec-05,1\r\n\r\n5-Dec-05,2");
  });
  ASSERT_GT(raw.port(), 0);
  InternetSession session;
  HttpFetcher fetcher;
  const std::string url = raw.base() + "/table.csv?s=MSFT";
  ASSERT_EQ(fetcher.Open(url.c_str(), session), kHttpOk);
  std::vector<std::string> lines;
  char line[512];
  while (fetcher.ReadLine(512, line)) lines.emplace_back(line);
  const std::vector<std::string> expected{"Date,Open\n", "6-Dec-05,1\n", "\n", "5-Dec-05,2"};
  EXPECT_EQ(lines, expected);

  // Exactly the request line, the host and the three headers of the block.
  ASSERT_EQ(raw.requests().size(), 1u);
  EXPECT_EQ(raw.requests()[0],
            "GET /table.csv?s=MSFT HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(raw.port()) +
                "\r\nAccept: text/*\r\nUser-Agent: Trevanta Software\r\nConnection: close\r\n\r\n");
}

TEST_F(QuotesFetcherThreads, RelativeLocationAndBodyCutShort) {
  RawHttpServer raw([](const std::string& head) {
    if (head.rfind("GET /cut", 0) == 0) {
      return std::string("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nline one\nline t");
    }
    return RawHttpServer::Answer(301, "", "Location: /elsewhere\r\n");
  });
  InternetSession session;
  HttpFetcher fetcher;
  EXPECT_EQ(fetcher.Open((raw.base() + "/moved").c_str(), session), kHttpLocalFailure);
  EXPECT_TRUE(LogHas("Invalid URL '/elsewhere'."));
  fetcher.Close();

  ASSERT_EQ(fetcher.Open((raw.base() + "/cut").c_str(), session), kHttpOk);
  char line[512];
  ASSERT_TRUE(fetcher.ReadLine(512, line));
  EXPECT_STREQ(line, "line one\n");
  ASSERT_TRUE(fetcher.ReadLine(512, line));
  EXPECT_STREQ(line, "line t");
  EXPECT_FALSE(fetcher.ReadLine(512, line));
  EXPECT_TRUE(fetcher.bodyFailed());
}

}  // namespace
}  // namespace velmora
