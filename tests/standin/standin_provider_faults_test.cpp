// The providers' keys, refusals and failures, the split that only they show,
// and what their requests leave in the request log.
#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "standin/standin_client.h"
#include "standin/standin_helpers.h"
#include "standin/standin_provider_helpers.h"
#include "support/test_support.h"

namespace velmora::test {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

constexpr const char* kNow = "2026-12-03T12:00";

const std::string kYahooLimit = "Too Many Requests";
const std::string kTiingoLimit = "You have exceeded your allocated number of requests per hour.";
const std::string kTiingoQuota =
    "You have run over your 500 symbol look up for this month. Please upgrade at "
    "https://api.tiingo.com/pricing "
    "to have your limits increased.";
const std::string kFinnhubLimit =
    R"({"error":"API limit reached. Please try again later. Remaining Limit: 0"})";
const std::string kYahooCrumb =
    R"({"finance":{"result":null,"error":{"code":"Unauthorized","description":"Invalid Crumb"}}})";
const std::string kYahooNotFound =
    R"({"chart":{"result":null,"error":{"code":"Not Found","description":"No data found, symbol may be delisted"}}})";
const std::string kTiingoBadKey = R"({"detail":"Invalid token."})";
const std::string kFinnhubBadKey = R"({"error":"Invalid API key"})";
const std::string kFinnhubZeros = R"({"c":0,"d":null,"dp":null,"h":0,"l":0,"o":0,"pc":0,"t":0})";

// One request to each provider endpoint for a symbol.
std::string yahoo(const std::string& symbol) {
  return "/v8/finance/chart/" + symbol + "?range=5d&interval=1d";
}
std::string tiingo(const std::string& ticker) { return TiingoTarget(ticker, "2026-11-02", "2026-12-03"); }
std::string iex(const std::string& tickers) { return "/iex/" + tickers; }
std::string finnhub(const std::string& symbol) { return "/api/v1/quote?symbol=" + symbol + "&token=k"; }

struct Expected {
  int status;
  std::string body;  // empty: the healthy answer
  std::string contentType;
};

class StandinProviderFaults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<StandinServer>(std::vector<std::string>{
        "--now",         kNow,           "--fault",      "RL=ratelimit=7", "--fault",
        "RL0=ratelimit", "--fault",      "CH=challenge", "--fault",        "QU=quota",
        "--fault",       "CR=crumb",     "--fault",      "ZE=zeros",       "--fault",
        "NU=nulls",      "--fault",      "NF=notfound",  "--fault",        "F500=500",
        "--fault",       "JUNK=garbage", "--fault",      "HALF=truncated", "--fault",
        "MOVED=redirect"});
    reference_ = std::make_unique<StandinServer>(std::vector<std::string>{"--now", kNow});
  }
  static void TearDownTestSuite() {
    server_.reset();
    reference_.reset();
  }
  void SetUp() override { ASSERT_TRUE(server_->ok() && reference_->ok()); }
  static int port() { return server_->port(); }
  static std::string healthy(const std::string& target) { return HttpGet(reference_->port(), target).body; }

  static void expect(const std::string& target, const Expected& e, const std::string& retryAfter = "") {
    const HttpReply r = HttpGet(port(), target);
    EXPECT_EQ(r.status, e.status) << target;
    EXPECT_EQ(r.body, e.body.empty() ? healthy(target) : e.body) << target;
    EXPECT_EQ(r.header("content-type"), e.contentType) << target;
    EXPECT_EQ(r.header("retry-after"), retryAfter) << target;
  }
  static std::unique_ptr<StandinServer> server_;
  static std::unique_ptr<StandinServer> reference_;
};
std::unique_ptr<StandinServer> StandinProviderFaults::server_;
std::unique_ptr<StandinServer> StandinProviderFaults::reference_;

TEST_F(StandinProviderFaults, RateLimitsAndQuotaInEachProvidersWords) {
  const std::string json = "application/json";
  const std::string text = "text/plain";
  expect(yahoo("RL"), {429, kYahooLimit, text}, "7");
  expect(tiingo("rl"), {429, kTiingoLimit, text}, "7");
  expect(iex("rl"), {429, kTiingoLimit, text}, "7");
  expect(finnhub("RL"), {429, kFinnhubLimit, json}, "7");
  expect(yahoo("RL0"), {429, kYahooLimit, text});
  expect(finnhub("RL0"), {429, kFinnhubLimit, json});
  // Tiingo's monthly quota answers 200; the others have none and limit the rate.
  expect(tiingo("qu"), {200, kTiingoQuota, text});
  expect(iex("qu"), {200, kTiingoQuota, text});
  expect(yahoo("QU"), {429, kYahooLimit, text});
  expect(finnhub("QU"), {429, kFinnhubLimit, json});
  // One limited ticker limits a quotes request for many.
  expect(iex("ibm,rl,msft"), {429, kTiingoLimit, text}, "7");
}

TEST_F(StandinProviderFaults, ChallengeCrumbAndUnknownSymbols) {
  const std::string json = "application/json";
  for (const std::string& target : {yahoo("CH"), tiingo("ch"), iex("ch"), finnhub("CH")}) {
    const HttpReply r = HttpGet(port(), target);
    EXPECT_EQ(r.status, 200) << target;
    EXPECT_EQ(r.header("content-type"), "text/html") << target;
    EXPECT_EQ(r.body.rfind("<!DOCTYPE html>", 0), 0u) << target;
  }
  expect(yahoo("CR"), {401, kYahooCrumb, json});
  expect(tiingo("cr"), {401, kTiingoBadKey, json});
  expect(finnhub("CR"), {401, kFinnhubBadKey, json});
  for (const char* symbol : {"ZE", "NF"}) {
    const std::string lower = symbol == std::string("ZE") ? "ze" : "nf";
    expect(yahoo(symbol), {404, kYahooNotFound, json});
    expect(tiingo(lower), {404, R"({"detail":"Error: Ticker ')" + lower + R"(' not found"})", json});
    expect(iex(lower), {200, "[]", json});
    expect(finnhub(symbol), {200, kFinnhubZeros, json});
  }
  // In a quotes request for many, an unknown ticker is only left out.
  const Json quotes = Json::parse(HttpGet(port(), iex("ibm,nf,ze,msft")).body);
  ASSERT_EQ(quotes.size(), 2u);
  EXPECT_EQ(quotes[0]["ticker"], "IBM");
  EXPECT_EQ(quotes[1]["ticker"], "MSFT");
}

TEST_F(StandinProviderFaults, NullsKeepTheTimestampsAligned) {
  const std::string target = ChartTarget("NU", 2026y / 10 / 1, 2026y / 11 / 30);
  const std::vector<CentsBar> bars = ChartBars(Json::parse(HttpGet(port(), target).body));
  const std::vector<CentsBar> clean = ChartBars(Json::parse(healthy(target)));
  ASSERT_EQ(bars.size(), clean.size());
  ASSERT_GE(bars.size(), 40u);
  const Json answer = Json::parse(HttpGet(port(), target).body);
  const Json& quote = answer["chart"]["result"][0]["indicators"]["quote"][0];
  for (std::size_t i = 0; i < bars.size(); ++i) {
    EXPECT_EQ(bars[i].date, clean[i].date);
    if (i % 5 == 4) {
      EXPECT_TRUE(bars[i].null) << i;
      for (const char* column : {"open", "high", "low", "close", "volume"})
        EXPECT_TRUE(quote[column][i].is_null());
      EXPECT_TRUE(answer["chart"]["result"][0]["indicators"]["adjclose"][0]["adjclose"][i].is_null());
    } else {
      EXPECT_EQ(bars[i], clean[i]) << i;
    }
  }
  // Only Yahoo has nulls.
  expect(tiingo("nu"), {200, "", "text/csv"});
  expect(iex("nu"), {200, "", "application/json"});
  EXPECT_EQ(Json::parse(HttpGet(port(), iex("nu")).body).size(), 1u);
  expect(finnhub("NU"), {200, "", "application/json"});
}

TEST_F(StandinProviderFaults, ClassicFaultsReachTheProviderEndpoints) {
  EXPECT_EQ(HttpGet(port(), yahoo("F500")).status, 500);
  EXPECT_EQ(HttpGet(port(), iex("ibm,f500")).status, 500);
  const HttpReply junk = HttpGet(port(), finnhub("JUNK"));
  EXPECT_EQ(junk.status, 200);
  EXPECT_EQ(junk.header("content-type"), "application/json");
  EXPECT_GE(junk.body.size(), 512u);
  const HttpReply half = HttpGet(port(), tiingo("half"));
  EXPECT_FALSE(half.complete);
  EXPECT_EQ(half.body, healthy(tiingo("half")).substr(0, half.body.size()));

  const HttpReply moved = HttpGet(port(), yahoo("MOVED"));
  ASSERT_EQ(moved.status, 302);
  const std::string location = moved.header("location");
  const std::string origin = "http://127.0.0.1:" + std::to_string(port());
  ASSERT_EQ(location.rfind(origin, 0), 0u);
  EXPECT_EQ(location.substr(origin.size()), "/moved" + yahoo("MOVED"));
  EXPECT_EQ(HttpGet(port(), location.substr(origin.size())).body, healthy(yahoo("MOVED")));

  // The providers' kinds on the classic pages, in the classic way.
  const std::string history = "/table.csv?s=RL&a=10&b=1&c=2026&d=11&e=3&f=2026&g=d";
  const HttpReply limited = HttpGet(port(), history);
  EXPECT_EQ(limited.status, 429);
  EXPECT_EQ(limited.header("retry-after"), "7");
  EXPECT_EQ(HttpGet(port(), "/table.csv?s=NF&a=10&b=1&c=2026&d=11&e=3&f=2026&g=d").status, 404);
  EXPECT_EQ(HttpGet(port(), QuoteTarget("CH", kDayWatchFields)).header("content-type"), "text/html");
  for (const char* symbol : {"CR", "NU"}) {
    const std::string target = QuoteTarget(symbol, kDayWatchFields);
    EXPECT_EQ(HttpGet(port(), target).body, healthy(target)) << symbol;
  }
}

TEST(StandinProviderKeys, RequiredKeyOrAnyKey) {
  StandinServer keyed({"--now", kNow, "--require-key", "s3cret-K3Y"});
  StandinServer open({"--now", kNow});
  ASSERT_TRUE(keyed.ok() && open.ok());
  for (const std::string& target : {tiingo("ibm"), iex("ibm")}) {
    for (const std::vector<std::string>& headers : {std::vector<std::string>{},
                                                    {"Authorization: Token wrong"},
                                                    {"Authorization: Bearer s3cret-K3Y"},
                                                    {"Authorization: Token s3cret-K3Y-and-more"}}) {
      const HttpReply refused = HttpGet(keyed.port(), target, headers);
      EXPECT_EQ(refused.status, 401) << target;
      EXPECT_EQ(refused.body, kTiingoBadKey);
      EXPECT_EQ(HttpGet(open.port(), target, headers).status, 200) << target;
    }
    const HttpReply granted = HttpGet(keyed.port(), target, {"Authorization: Token s3cret-K3Y"});
    EXPECT_EQ(granted.status, 200);
    EXPECT_EQ(granted.body, HttpGet(open.port(), target).body);
  }
  for (const char* query : {"symbol=IBM", "symbol=IBM&token=wrong", "symbol=IBM&token=S3CRET-K3Y"}) {
    const HttpReply refused = HttpGet(keyed.port(), std::string("/api/v1/quote?") + query);
    EXPECT_EQ(refused.status, 401) << query;
    EXPECT_EQ(refused.body, kFinnhubBadKey);
    EXPECT_EQ(HttpGet(open.port(), std::string("/api/v1/quote?") + query).status, 200) << query;
  }
  EXPECT_EQ(HttpGet(keyed.port(), "/api/v1/quote?symbol=IBM&token=s3cret-K3Y").status, 200);
  // Yahoo needs no key, and the classic pages none either.
  EXPECT_EQ(HttpGet(keyed.port(), yahoo("IBM")).status, 200);
  EXPECT_EQ(HttpGet(keyed.port(), QuoteTarget("IBM", kDayWatchFields)).status, 200);
}

TEST(StandinProviderWide, AProvidersFaultAnswersEveryRequestOfIt) {
  StandinServer server({"--now", kNow, "--provider-fault", "yahoo=ratelimit=3", "--provider-fault",
                        "tiingo=quota", "--provider-fault", "finnhub=slow=1", "--provider-fault",
                        "finnhub=notfound", "--fault", "IBM=500", "--fault", "MSFT=crumb"});
  ASSERT_TRUE(server.ok());
  for (const char* symbol : {"IBM", "MSFT", "%5EGSPC", "ORCL"}) {
    const HttpReply r = HttpGet(server.port(), yahoo(symbol));
    EXPECT_EQ(r.status, 429) << symbol;  // before the symbol's own fault
    EXPECT_EQ(r.header("retry-after"), "3");
    EXPECT_EQ(r.header("x-standin-fault"), "ratelimit");
    EXPECT_EQ(HttpGet(server.port(), tiingo(symbol)).body, kTiingoQuota) << symbol;
    const HttpReply f = HttpGet(server.port(), finnhub(symbol));
    EXPECT_EQ(f.body, kFinnhubZeros) << symbol;
    EXPECT_EQ(f.header("x-standin-fault"), "notfound");
  }
  EXPECT_EQ(HttpGet(server.port(), iex("ibm,msft")).body, kTiingoQuota);
  // The classic pages keep to the symbols' faults.
  EXPECT_EQ(HttpGet(server.port(), QuoteTarget("ORCL", kDayWatchFields)).status, 200);
  EXPECT_EQ(HttpGet(server.port(), QuoteTarget("IBM", kDayWatchFields)).status, 500);
}

TEST(StandinProviderSplit, BarsBeforeTheDayReadAsSplit) {
  // CSCO splits two for one on Tuesday 2026-12-01, KO four for one on the
  // quote's day, IBM after it (not yet).
  StandinServer split({"--now", kNow, "--page-size", "100000", "--provider-split", "CSCO=2026-12-01:2",
                       "--provider-split", "KO=2026-12-03:4", "--provider-split", "IBM=2026-12-10:2"});
  StandinServer plain({"--now", kNow, "--page-size", "100000"});
  ASSERT_TRUE(split.ok() && plain.ok());
  const auto halved = [](long long cents) { return (cents + 1) / 2; };  // to the nearest cent, halves up

  const std::vector<CentsBar> classic = ClassicBars(plain.port(), "CSCO", 2026y / 11 / 2, 2026y / 12 / 3);
  EXPECT_EQ(ClassicBars(split.port(), "CSCO", 2026y / 11 / 2, 2026y / 12 / 3), classic);  // untouched
  const std::vector<CentsBar> bars =
      ChartBars(Json::parse(HttpGet(split.port(), ChartTarget("CSCO", 2026y / 11 / 2, 2026y / 12 / 3)).body));
  // The history's days, then the quote's day, which comes after the split.
  ASSERT_EQ(bars.size(), classic.size() + 1);
  EXPECT_EQ(bars.back(), ChartBars(Json::parse(HttpGet(plain.port(), yahoo("CSCO")).body)).back());
  for (std::size_t i = 0; i < classic.size(); ++i) {
    SCOPED_TRACE(classic[i].date);
    const CentsBar& c = classic[i];
    const CentsBar expected =
        c.date < "2026-12-01" ? CentsBar{c.date,          halved(c.open),     halved(c.high), halved(c.low),
                                         halved(c.close), halved(c.adjClose), c.volume * 2}
                              : c;
    EXPECT_EQ(bars[i], expected);
  }
  // The week of the split is built from the rewritten days.
  const std::vector<CentsBar> weeks = ChartBars(
      Json::parse(HttpGet(split.port(), ChartTarget("CSCO", 2026y / 11 / 30, 2026y / 12 / 3, "1wk")).body));
  ASSERT_EQ(weeks.size(), 1u);
  const std::size_t monday = bars.size() - 4;
  EXPECT_EQ(weeks[0].date, "2026-11-30");
  EXPECT_EQ(weeks[0].open, bars[monday].open);
  EXPECT_EQ(weeks[0].close, bars.back().close);
  EXPECT_EQ(weeks[0].volume,
            bars[monday].volume + bars[monday + 1].volume + bars[monday + 2].volume + bars.back().volume);

  // Tiingo: the raw close stays, the adjusted values read as split.
  const std::vector<TiingoRow> rows =
      TiingoRows(HttpGet(split.port(), TiingoTarget("csco", "2026-11-02", "2026-12-03")).body);
  ASSERT_EQ(rows.size(), classic.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(classic[i].date);
    const bool before = classic[i].date < "2026-12-01";
    CentsBar raw = rows[i].raw;
    EXPECT_EQ(raw.adjClose, before ? halved(classic[i].adjClose) : classic[i].adjClose);
    raw.adjClose = classic[i].adjClose;
    EXPECT_EQ(raw, classic[i]);
    EXPECT_EQ(rows[i].adjVolume, before ? 2 * classic[i].volume : classic[i].volume);
    EXPECT_EQ(rows[i].splitFactor, classic[i].date == "2026-12-01" ? 2.0 : 1.0);
  }

  // A split on the quote's day: every bar and the previous close read as split.
  const Json ko = Json::parse(HttpGet(split.port(), yahoo("KO")).body);
  const Json koPlain = Json::parse(HttpGet(plain.port(), yahoo("KO")).body);
  const long long previous = Cents(koPlain["chart"]["result"][0]["meta"]["chartPreviousClose"]);
  EXPECT_EQ(Cents(ko["chart"]["result"][0]["meta"]["chartPreviousClose"]), (previous + 2) / 4);
  const std::vector<CentsBar> koBars = ChartBars(ko);
  const std::vector<CentsBar> koPlainBars = ChartBars(koPlain);
  ASSERT_EQ(koBars.size(), 5u);
  EXPECT_EQ(koBars[3].close, (koPlainBars[3].close + 2) / 4);
  EXPECT_EQ(koBars[4], koPlainBars[4]);  // the quote's day itself
  const Json f = Json::parse(HttpGet(split.port(), finnhub("KO")).body);
  EXPECT_EQ(Cents(f["pc"]), (previous + 2) / 4);
  EXPECT_EQ(Cents(f["d"]), Cents(f["c"]) - Cents(f["pc"]));
  EXPECT_EQ(Cents(Json::parse(HttpGet(split.port(), iex("ko")).body)[0]["prevClose"]), (previous + 2) / 4);
  // A split still to come changes nothing.
  for (const std::string& target : {yahoo("IBM"), tiingo("ibm"), finnhub("IBM")}) {
    EXPECT_EQ(HttpGet(split.port(), target).body, HttpGet(plain.port(), target).body) << target;
  }
}

TEST(StandinProviderLog, ProviderRequestsAreLoggedWholeWithoutTheirKeys) {
  TempFolder dir;
  const std::string logPath = dir.file("requests.log");
  const std::string key = "K3Y-NOT-TO-BE-LOGGED";
  StandinServer server({"--now", kNow, "--request-log", logPath, "--require-key", key});
  ASSERT_TRUE(server.ok());
  const std::string chart = ChartTarget("MSFT", 2026y / 11 / 25, 2026y / 12 / 3);
  EXPECT_EQ(HttpGet(server.port(), chart).status, 200);
  EXPECT_EQ(HttpGet(server.port(), tiingo("msft"), {"Authorization: Token " + key}).status, 200);
  EXPECT_EQ(HttpGet(server.port(), "/api/v1/quote?symbol=MSFT&token=" + key).status, 200);
  EXPECT_EQ(HttpGet(server.port(), "/api/v1/quote?token=" + key + "&symbol=IBM&tokens=kept").status, 200);
  HttpGet(server.port(), "/api/v1/quote?symbol=IBM&%74oken=" + key);
  HttpGet(server.port(), "/api/v1/quote?symbol=IBM&TOKEN=" + key + "&token=");
  server.process().Signal(SIGTERM);
  ASSERT_EQ(server.process().Wait(10s), 0);

  const std::string log = ReadFile(logPath);
  EXPECT_EQ(log.find(key), std::string::npos) << log;
  const auto lines = SplitLines(log);
  ASSERT_EQ(lines.size(), 6u) << log;
  EXPECT_NE(lines[0].find(" GET " + chart + " 200 "), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(" GET " + tiingo("msft") + " 200 "), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find(" GET /api/v1/quote?symbol=MSFT&token=*** 200 "), std::string::npos) << lines[2];
  EXPECT_NE(lines[3].find(" GET /api/v1/quote?token=***&symbol=IBM&tokens=kept 200 "), std::string::npos)
      << lines[3];
  EXPECT_NE(lines[4].find(" GET /api/v1/quote?symbol=IBM&%74oken=*** "), std::string::npos) << lines[4];
  EXPECT_NE(lines[5].find(" GET /api/v1/quote?symbol=IBM&TOKEN=***&token=*** 401 "), std::string::npos)
      << lines[5];
}

TEST(StandinProviderOptions, HelpAndBadValues) {
  ChildProcess help({BinPath("quote-standin"), "--help"});
  ASSERT_TRUE(help.started());
  EXPECT_EQ(help.Wait(10s), 0);
  const std::string text = help.DrainStdout();
  for (const char* word : {"/v8/finance/chart/", "/tiingo/daily/", "/iex/", "/api/v1/quote",
                           "--provider-fault", "--provider-split", "--require-key", "ratelimit", "challenge",
                           "quota", "crumb", "zeros", "nulls", "notfound", "token=***"}) {
    EXPECT_NE(text.find(word), std::string::npos) << word;
  }
  for (std::vector<std::string> bad : {std::vector<std::string>{"--provider-fault", "bing=ratelimit"},
                                       {"--provider-fault", "yahoo=melt"},
                                       {"--provider-fault", "yahoo"},
                                       {"--provider-fault", "Yahoo=crumb"},
                                       {"--fault", "MSFT=ratelimit=x"},
                                       {"--fault", "MSFT=ratelimit=-1"},
                                       {"--fault", "MSFT=ratelimit="},
                                       {"--provider-split", "MSFT=2026-12-01"},
                                       {"--provider-split", "MSFT=2026-13-01:2"},
                                       {"--provider-split", "MSFT=2026-12-1:2"},
                                       {"--provider-split", "MSFT=2026-12-01:0"},
                                       {"--provider-split", "MSFT=2026-12-01:2x"},
                                       {"--provider-split", "MSFT=2026-12-01:nan"},
                                       {"--provider-split", "M/S=2026-12-01:2"},
                                       {"--require-key", ""},
                                       {"--require-key", "two words"}}) {
    bad.insert(bad.begin(), BinPath("quote-standin"));
    ChildProcess child(bad);
    EXPECT_EQ(child.Wait(10s), 2) << bad[1] << " " << bad[2];
    EXPECT_NE(child.DrainStderr().find("quote-standin: "), std::string::npos);
  }
  StandinServer fine({"--provider-split=MSFT=2026-12-01:1.5", "--provider-fault=tiingo=ratelimit=0",
                      "--fault=MSFT=ratelimit=86400"});
  EXPECT_TRUE(fine.ok());
}

}  // namespace
}  // namespace velmora::test
