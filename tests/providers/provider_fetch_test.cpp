#include "providers/provider_fetch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "net/fake_transport.h"
#include "net/loopback_http_server.h"
#include "support/log_lines.h"

namespace velmora {
namespace {

using test::FakeNet;
using test::LoopbackHttpServer;
using test::Reply;

constexpr const char* kKey = "s3cr3t-k3y";

ProviderRequest request(const std::string& url, std::vector<std::string> headers = {}) {
  return ProviderRequest{url, std::move(headers)};
}

// Whether any line of the log holds `text`.
bool logMentions(const std::string& text) {
  for (const std::string& line : test::LogTexts())
    if (line.find(text) != std::string::npos) return true;
  return false;
}

class ProviderFetch : public test::InTempDir, public ::testing::Test {};

TEST_F(ProviderFetch, KeysAreMaskedWhereverTheyStandInAUrl) {
  EXPECT_EQ(MaskedUrl("https://finnhub.io/api/v1/quote?symbol=MSFT&token=abc123"),
            "https://finnhub.io/api/v1/quote?symbol=MSFT&token=***");
  EXPECT_EQ(MaskedUrl("http://user:pw@h/x?Token=abc&b=1&apikey=zz#f&mytoken=1"),
            "http://***@h/x?Token=***&b=1&apikey=***#f&mytoken=1");
  EXPECT_EQ(MaskedUrl("failed: 'http://h/q?key=abc' refused"), "failed: 'http://h/q?key=***' refused");
}

// Through libcurl to a real server: the provider's headers and ours go out,
// and the whole body comes back, however large.
TEST_F(ProviderFetch, SendsTheProvidersHeadersAndReadsTheWholeBody) {
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "2026-12-03,1.00,2.00,0.50,1.50,100\n";
  LoopbackHttpServer server([&big](const std::string&) {
    return LoopbackHttpServer::KeepAlive(200, big, "Content-Type: text/csv\r\n");
  });
  ASSERT_TRUE(server.ok());
  InternetSession session;
  const ProviderAnswer answer = FetchProviderAnswer(
      request(server.base() + "/tiingo/daily/msft/prices?format=csv",
              {"Authorization: Token " + std::string(kKey), "User-Agent: Mozilla/5.0 test"}),
      session, "Tiingo MSFT");
  EXPECT_FALSE(answer.transferFailed) << answer.error;
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, big);
  EXPECT_NE(answer.headers.find("Content-Type: text/csv\r\n"), std::string::npos);
  const std::vector<std::string> heads = server.requests();
  ASSERT_EQ(heads.size(), 1u);
  EXPECT_EQ(heads[0].rfind("GET /tiingo/daily/msft/prices?format=csv HTTP/1.1\r\n", 0), 0u) << heads[0];
  EXPECT_NE(heads[0].find("\r\nAuthorization: Token s3cr3t-k3y\r\n"), std::string::npos);
  EXPECT_NE(heads[0].find("\r\nUser-Agent: Mozilla/5.0 test\r\n"), std::string::npos);
  EXPECT_NE(heads[0].find("\r\nAccept: */*\r\n"), std::string::npos);
  EXPECT_EQ(heads[0].find("Trevanta"), std::string::npos);
  EXPECT_EQ(session.answeredRequests(), 1);
}

TEST_F(ProviderFetch, CutBodyFailsAndItsLogLineKeepsTheKeySecret) {
  LoopbackHttpServer server([](const std::string&) {
    LoopbackHttpServer::Answer a{"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n{\"c\":415.2,"};
    a.close = true;
    return a;
  });
  ASSERT_TRUE(server.ok());
  InternetSession session;
  const ProviderAnswer answer =
      FetchProviderAnswer(request(server.base() + "/api/v1/quote?symbol=MSFT&token=" + kKey,
                                  {"Authorization: Token " + std::string(kKey)}),
                          session, "Finnhub MSFT");
  EXPECT_TRUE(answer.transferFailed);
  EXPECT_FALSE(answer.error.empty());
  const std::vector<std::string> log = test::LogTexts();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].rfind("Finnhub MSFT: transfer from '" + server.base() +
                             "/api/v1/quote?symbol=MSFT&token=***' failed: ",
                         0),
            0u)
      << log[0];
  EXPECT_FALSE(logMentions(kKey));
}

TEST_F(ProviderFetch, FollowsOneRedirectAndKeepsTheKeyWithItsServer) {
  FakeNet net;
  const auto route = [&net](const std::string& from, int status, const std::string& to) {
    net.server->Route(
        from, Reply(status, status == 200 ? to : "", status == 200 ? "" : "Location: " + to + "\r\n"));
  };
  route("https://api.test:443/a?x=1", 302, "/b?x=1");
  route("https://api.test:443/b?x=1", 200, "[]");
  route("https://api.test:443/c", 301, "https://elsewhere.test/d");
  route("https://elsewhere.test:443/d", 200, "moved");
  route("https://api.test:443/e", 302, "e2");
  route("https://api.test:443/e2", 302, "/e3");
  route("https://api.test:443/down", 302, "http://api.test/down");
  const std::vector<std::string> auth = {"Authorization: Token " + std::string(kKey)};
  const auto fetch = [&](const std::string& url, const std::vector<std::string>& headers = {}) {
    return FetchProviderAnswer(request(url, headers), net.session, "Tiingo X");
  };

  EXPECT_EQ(fetch("https://api.test/a?x=1", auth).body, "[]");
  EXPECT_NE(net.server->requests.at(1).headerBlock.find("Authorization: Token"), std::string::npos);
  // Another server never sees the key.
  EXPECT_EQ(fetch("https://api.test/c", auth).body, "moved");
  EXPECT_EQ(net.server->requests.at(3).headerBlock, "Accept: */*\r\n");
  // Only one redirect: the second one is the answer.
  const ProviderAnswer second = fetch("https://api.test/e");
  EXPECT_FALSE(second.transferFailed);
  EXPECT_EQ(second.status, 302);
  EXPECT_EQ(net.server->requests.size(), 6u);
  EXPECT_TRUE(test::LogTexts().empty());

  EXPECT_EQ(fetch("https://api.test/down").error, "a redirect from https to http is not followed");
  // A header line holding a line break would smuggle in lines of its own.
  EXPECT_EQ(fetch("https://api.test/a?x=1", {"X-Key: a\r\nX-Evil: 1"}).error,
            "a request header holds a line break");
  EXPECT_EQ(net.server->requests.size(), 7u);
  EXPECT_TRUE(logMentions(
      "Tiingo X: transfer from 'https://api.test/a?x=1' failed: a request header holds a line break"));
}

TEST_F(ProviderFetch, SessionLimitsStopAndNoConnectionFailTheTransfer) {
  FakeNet net;
  net.server->Route("http://api.test:80/big", Reply(200, std::string(5000, 'x')));
  net.session.setTransferLimits(1000, 60000);
  ProviderAnswer answer = FetchProviderAnswer(request("http://api.test/big"), net.session, "YahooChart BIG");
  EXPECT_TRUE(answer.transferFailed);
  EXPECT_EQ(answer.error, "the answer is larger than 1000 bytes");

  net.server->Route("http://api.test:80/gone", test::SendFails("Connection refused"));
  answer = FetchProviderAnswer(request("http://api.test/gone"), net.session, "YahooChart GONE");
  EXPECT_TRUE(answer.transferFailed);
  EXPECT_EQ(answer.error, "Connection refused");

  net.server->refuseConnect = true;
  answer = FetchProviderAnswer(request("http://api.test/big"), net.session, "YahooChart REFUSED");
  EXPECT_TRUE(answer.transferFailed);
  EXPECT_EQ(answer.error, "can not open a connection to 'api.test'");
  EXPECT_EQ(test::LogTexts().size(), 3u);

  // A stop asked for by the owner is no failure to log.
  std::atomic<bool> stop{true};
  net.session.setStopFlag(&stop);
  net.server->refuseConnect = false;
  answer = FetchProviderAnswer(request("http://api.test/big"), net.session, "YahooChart STOP");
  EXPECT_TRUE(answer.transferFailed);
  EXPECT_EQ(test::LogTexts().size(), 3u);
}

}  // namespace
}  // namespace velmora
