#include "net/http_fetcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>

#include "fake_transport.h"
#include "net/quote_result.h"
#include "net/url_parts.h"
#include "support/log_lines.h"

namespace velmora {
namespace {

using test::FakeNet;
using test::FakeResponse;
using test::Guarded;
using test::LogHas;
using test::LogTexts;
using test::Reply;
using test::SendFails;

TEST(UrlSplit, AcceptsHttpAndHttpsWithTheirParts) {
  UrlParts p;
  ASSERT_TRUE(SplitUrl("http://quotes.example:8080/table.csv?s=MSFT&y=0#top", p));
  EXPECT_EQ(p.scheme, "http");
  EXPECT_EQ(p.host, "quotes.example");
  EXPECT_EQ(p.port, 8080);
  EXPECT_EQ(p.object, "/table.csv?s=MSFT&y=0");

  ASSERT_TRUE(SplitUrl("HTTPS://user:pw@secure.example", p));
  EXPECT_TRUE(p.secure());
  EXPECT_EQ(p.host, "secure.example");
  EXPECT_EQ(p.port, 443);
  EXPECT_EQ(p.object, "/");

  ASSERT_TRUE(SplitUrl("http://[::1]:18321?s=1", p));
  EXPECT_EQ(p.host, "[::1]");
  EXPECT_EQ(p.port, 18321);
  EXPECT_EQ(p.object, "/?s=1");
}

TEST(UrlSplit, RefusesOtherSchemesAndBrokenAuthorities) {
  UrlParts p;
  for (const char* bad : {"ftp://quotes.example/table.csv", "file:///etc/passwd", "quotes.example/table.csv",
                          "http://", "http:///path", "http://host:0/", "http://host:65536/",
                          "http://host:8x/", "http://ho st/", "http://[::1/", ""}) {
    EXPECT_FALSE(SplitUrl(bad, p)) << bad;
  }
  EXPECT_FALSE(SplitUrl(nullptr, p));
}

TEST(RedirectLocation, IsTheRestOfTheLocationLine) {
  std::string where;
  EXPECT_TRUE(FindNewLocation("HTTP/1.1 302 Found\r\nLocation: http://b/x?y=1\r\nServer: s\r\n\r\n", where));
  EXPECT_EQ(where, "http://b/x?y=1");
  EXPECT_TRUE(FindNewLocation("HTTP/1.1 301 Moved\r\nlocation: http://c/\r\n\r\n", where));
  EXPECT_EQ(where, "http://c/");
  EXPECT_FALSE(FindNewLocation("HTTP/1.1 302 Found\r\nContent-Location: http://d/\r\n\r\n", where));
  EXPECT_FALSE(FindNewLocation("HTTP/1.1 302 Found\r\nLocation:http://d/\r\n\r\n", where));
}

class FetcherTest : public test::InTempDir, public ::testing::Test {
 protected:
  FakeNet net_;
  HttpFetcher fetcher_;
  static constexpr const char* kA = "http://quotes.example:80/table.csv?s=MSFT";
};

TEST_F(FetcherTest, OtherSchemeIsInvalidWithoutTraffic) {
  EXPECT_EQ(fetcher_.Open("ftp://quotes.example/table.csv", net_.session), kHttpLocalFailure);
  EXPECT_TRUE(LogHas("Invalid URL 'ftp://quotes.example/table.csv'."));
  EXPECT_EQ(net_.server->connects, 0);
}

TEST_F(FetcherTest, LibraryAndConnectionFailuresAre400) {
  net_.server->Route(kA, SendFails("Failed to connect to quotes.example port 80: Connection refused"));
  EXPECT_EQ(fetcher_.Open(kA, net_.session), kHttpLocalFailure);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{std::string("Transfer from '") + kA +
                                                 "' failed: Failed to connect to quotes.example port 80: "
                                                 "Connection refused"});
  fetcher_.Close();

  net_.server->refuseConnect = true;
  EXPECT_EQ(fetcher_.Open(kA, net_.session), kHttpLocalFailure);
  EXPECT_TRUE(LogHas("Can not open connection to 'quotes.example'."));
}

TEST_F(FetcherTest, GoodCredentialsAreRememberedForTheSession) {
  net_.server->Route(kA, Guarded("secret\n", "user", "secret"));
  int asked = 0;
  net_.session.setCredentialPrompt([&](const CredentialRequest& request, Credentials& out) {
    ++asked;
    EXPECT_EQ(request.server, "quotes.example");
    EXPECT_EQ(request.url, kA);
    out = Credentials{"user", "secret"};
    return true;
  });
  EXPECT_EQ(fetcher_.Open(kA, net_.session), kHttpOk);
  EXPECT_EQ(asked, 1);
  ASSERT_EQ(net_.server->requests.size(), 2u);
  EXPECT_TRUE(net_.server->requests[1].withCredentials);
  fetcher_.Close();

  // The next request of the session carries them at once.
  EXPECT_EQ(fetcher_.Open(kA, net_.session), kHttpOk);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(net_.server->requests.size(), 3u);
  EXPECT_TRUE(LogTexts().empty());
}

class ReadLineTest : public FetcherTest {
 protected:
  std::vector<std::string> ReadAll(const std::string& body, int capacity, std::size_t chunk = 4096,
                                   const std::string& readError = "") {
    FakeResponse r = Reply(200, body);
    r.chunk = chunk;
    r.readError = readError;
    net_.server->routes[kA] = {r};
    EXPECT_EQ(fetcher_.Open(kA, net_.session), kHttpOk);
    std::vector<std::string> lines;
    std::vector<char> buffer(static_cast<std::size_t>(capacity), '\x7f');
    while (fetcher_.ReadLine(capacity, buffer.data())) lines.emplace_back(buffer.data());
    EXPECT_FALSE(fetcher_.ReadLine(capacity, buffer.data()));
    fetcher_.Close();
    return lines;
  }
};

TEST_F(ReadLineTest, DropsCarriageReturnsAndKeepsTheLastPartialLine) {
  const std::vector<std::string> expected{"Date,Open\n", "6-Dec-05,1\n", "\n", "5-Dec-05,2"};
  EXPECT_EQ(ReadAll("Date,Open\r\n6-Dec-05,1\r\n\r\n5-Dec-05,2", 512), expected);
  // The same across every read-ahead boundary, CR and LF split apart.
  for (std::size_t chunk : {1u, 2u, 3u, 7u}) {
    EXPECT_EQ(ReadAll("Date,Open\r\n6-Dec-05,1\r\n\r\n5-Dec-05,2", 512, chunk), expected) << chunk;
  }
  EXPECT_TRUE(ReadAll("", 512).empty());
}

TEST_F(ReadLineTest, LongLinesComeInPiecesOfCapacityLessTwo) {
  const std::vector<std::string> expected{"abcdef", "ghij\n", "k"};
  EXPECT_EQ(ReadAll("abcdefghij\nk", 8), expected);
  const std::string longLine(5000, 'x');
  const auto pieces = ReadAll(longLine + "\n", 512);
  ASSERT_EQ(pieces.size(), 10u);
  EXPECT_EQ(pieces[0].size(), 510u);
  EXPECT_EQ(pieces[9], std::string(5000 - 9 * 510, 'x') + "\n");
}

TEST_F(ReadLineTest, ReadErrorEndsTheBodyAndIsLogged) {
  const std::vector<std::string> expected{"one\n", "tw"};
  EXPECT_EQ(ReadAll("one\ntw", 512, 4096, "transfer closed with 10 bytes remaining to read"), expected);
  EXPECT_TRUE(LogHas(std::string("Transfer from '") + kA +
                     "' failed: transfer closed with 10 bytes remaining to read"));
}

TEST_F(ReadLineTest, IdleFetcherHasNoLines) {
  char buffer[16];
  EXPECT_FALSE(fetcher_.ReadLine(16, buffer));
  fetcher_.Close();
  fetcher_.Close();
  EXPECT_FALSE(fetcher_.ReadLine(16, buffer));
}

// A server that never stops sending, or trickles for ever, ends at the
// session's limits; the body then counts as cut.
class TransferLimitTest : public FetcherTest {
 protected:
  // Reads the whole answer; the number of body bytes handed out.
  std::size_t Drain(const FakeResponse& response) {
    net_.server->routes[kA] = {response};
    EXPECT_EQ(fetcher_.Open(kA, net_.session), kHttpOk);
    std::size_t bytes = 0;
    char line[512];
    while (fetcher_.ReadLine(sizeof line, line)) bytes += std::strlen(line);
    return bytes;
  }
  static FakeResponse Endless(std::size_t bytes, int delayMs = 0) {
    FakeResponse r = Reply(200, "6-Dec-05,10.00,11.00,9.50,10.50,1000,10.50\n");
    r.repeatTo = bytes;
    r.readDelayMs = delayMs;
    return r;
  }
};

TEST_F(TransferLimitTest, EndlessBodyEndsAtTheByteLimitAsACutOne) {
  net_.session.setTransferLimits(64 * 1024, 60000);
  // 64 MB stands for "for ever": without a limit every byte is read.
  const std::size_t read = Drain(Endless(64u * 1024 * 1024));
  EXPECT_TRUE(fetcher_.bodyFailed());
  EXPECT_LE(read, 64u * 1024);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{std::string("Transfer from '") + kA +
                                                 "' failed: the answer is larger than 65536 bytes"});
  char line[64];
  EXPECT_FALSE(fetcher_.ReadLine(sizeof line, line));
}

TEST_F(TransferLimitTest, BodyOfExactlyTheLimitIsWhole) {
  net_.session.setTransferLimits(8192, 60000);
  EXPECT_EQ(Drain(Endless(8192)), 8192u);
  EXPECT_FALSE(fetcher_.bodyFailed());
  EXPECT_TRUE(LogTexts().empty());
}

TEST_F(TransferLimitTest, TrickleEndsAtTheTimeLimit) {
  net_.session.setTransferLimits(kTransferByteLimit, 200);
  // 100 pieces of 16 bytes, one each 20 ms: two seconds in all.
  FakeResponse slow = Endless(1600, 20);
  slow.chunk = 16;
  const auto start = std::chrono::steady_clock::now();
  const std::size_t read = Drain(slow);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  EXPECT_TRUE(fetcher_.bodyFailed());
  EXPECT_LT(read, 1600u);
  EXPECT_EQ(LogTexts(), std::vector<std::string>{std::string("Transfer from '") + kA +
                                                 "' failed: no complete answer within 200 ms"});
}

TEST_F(TransferLimitTest, LimitsApplyToEachRequestAndDefaultToSixteenMegabytesAndTwoMinutes) {
  InternetSession plain;
  EXPECT_EQ(plain.transferByteLimit(), 16u * 1024 * 1024);
  EXPECT_EQ(plain.transferTimeLimitMs(), 120000);

  // The next request on the same fetcher starts with a fresh count.
  net_.session.setTransferLimits(4096, 60000);
  Drain(Endless(64u * 1024 * 1024));
  EXPECT_TRUE(fetcher_.bodyFailed());
  fetcher_.Close();
  EXPECT_EQ(Drain(Endless(4000)), 4000u);
  EXPECT_FALSE(fetcher_.bodyFailed());
}

TEST_F(FetcherTest, TemporaryFileIsCreatedEmptyOnceAndDeletedWithTheFetcher) {
  namespace fs = std::filesystem;
  std::string first;
  {
    HttpFetcher a;
    HttpFetcher b;
    EXPECT_TRUE(a.tempFilePath().empty());
    ASSERT_TRUE(a.TempFileName());
    first = a.tempFilePath();
    ASSERT_TRUE(a.TempFileName());
    EXPECT_EQ(a.tempFilePath(), first);
    ASSERT_TRUE(b.TempFileName());
    EXPECT_NE(b.tempFilePath(), first);
    const fs::path p(first);
    EXPECT_EQ(p.parent_path(), fs::current_path());
    const std::string name = p.filename().string();
    EXPECT_EQ(name.substr(0, 3), "aaa");
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
    EXPECT_EQ(fs::file_size(p), 0u);
  }
  EXPECT_FALSE(fs::exists(first));
  EXPECT_TRUE(fs::is_empty(fs::current_path()));
}

}  // namespace
}  // namespace velmora
