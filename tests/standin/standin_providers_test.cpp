// The market-data providers' endpoints: the same prices and quotes as the
// classic pages, in each provider's format.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>

#include "standin/standin_client.h"
#include "standin/standin_helpers.h"
#include "standin/standin_provider_helpers.h"
#include "support/test_support.h"

namespace velmora::test {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

// A Thursday at noon in New York, while the market trades.
constexpr const char* kNow = "2026-12-03T12:00";
constexpr year_month_day kQuoteDay = 2026y / 12 / 3;

Json getJson(int port, const std::string& target, int status = 200) {
  const HttpReply r = HttpGet(port, target);
  EXPECT_EQ(r.status, status) << target << "\n" << r.body.substr(0, 300);
  EXPECT_EQ(r.header("content-type"), "application/json") << target;
  return Json::parse(r.body, nullptr, false);
}

DayWatch dayWatch(int port, const std::string& symbol) {
  DayWatch q;
  EXPECT_TRUE(ParseDayWatch(HttpGet(port, QuoteTarget(symbol, kDayWatchFields)).body, q)) << symbol;
  return q;
}

// The bar of the quote's day as a chart shows it: the classic quote so far.
CentsBar quoteBar(int port, const std::string& symbol, const std::string& date) {
  const DayWatch q = dayWatch(port, symbol);
  return CentsBar{date, Cents(q.open), Cents(q.high), Cents(q.low), Cents(q.last), Cents(q.last), q.volume};
}

// Daily bars grouped by week (Monday to Sunday) or by month, as the
// providers' weekly and monthly bars are made.
std::vector<CentsBar> aggregate(const std::vector<CentsBar>& daily, char period) {
  std::vector<CentsBar> out;
  std::string key;
  for (const CentsBar& day : daily) {
    std::string k = day.date.substr(0, 7);
    if (period == 'w') {
      const int y = std::stoi(day.date.substr(0, 4)), m = std::stoi(day.date.substr(5, 2)),
                d = std::stoi(day.date.substr(8, 2));
      const sys_days sd{year(y) / m / d};
      k = std::to_string((sd - days{weekday(sd).iso_encoding() - 1}).time_since_epoch().count());
    }
    if (out.empty() || k != key) {
      out.push_back(day);
      key = k;
      continue;
    }
    CentsBar& group = out.back();
    group.high = std::max(group.high, day.high);
    group.low = std::min(group.low, day.low);
    group.close = day.close;
    group.adjClose = day.adjClose;
    group.volume += day.volume;
  }
  return out;
}

class StandinProviders : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ =
        std::make_unique<StandinServer>(std::vector<std::string>{"--now", kNow, "--page-size", "100000"});
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override { ASSERT_TRUE(server_->ok()); }
  static int port() { return server_->port(); }
  static std::unique_ptr<StandinServer> server_;
};
std::unique_ptr<StandinServer> StandinProviders::server_;

TEST_F(StandinProviders, YahooDailyBarsAreTheClassicRows) {
  // Six years of a stock that split twice and pays dividends in them.
  const Json answer = getJson(port(), ChartTarget("CSCO", 2014y / 1 / 1, 2019y / 12 / 31));
  EXPECT_TRUE(answer.at("chart").at("error").is_null());
  const std::vector<CentsBar> classic = ClassicBars(port(), "CSCO", 2014y / 1 / 1, 2019y / 12 / 31);
  ASSERT_GT(classic.size(), 1500u);
  EXPECT_NE(classic.front().adjClose, classic.front().close);
  EXPECT_EQ(ChartBars(answer), classic);

  // period1 and period2 bound the dates exactly; a weekend has no bars.
  const std::vector<CentsBar> one =
      ChartBars(getJson(port(), ChartTarget("CSCO", 2019y / 1 / 22, 2019y / 1 / 22)));
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].date, "2019-01-22");
  const Json weekend = getJson(port(), ChartTarget("CSCO", 2019y / 1 / 19, 2019y / 1 / 20));
  EXPECT_TRUE(weekend.at("chart").at("result").at(0).at("timestamp").empty());

  // Indices as they are; up to the quote's day, whose bar is the quote so far.
  const Json index = getJson(port(), ChartTarget("%5EGSPC", 2026y / 6 / 1, 2026y / 12 / 3));
  EXPECT_EQ(index.at("chart").at("result").at(0).at("meta").at("symbol"), "^GSPC");
  std::vector<CentsBar> indexRows = ClassicBars(port(), "^GSPC", 2026y / 6 / 1, 2026y / 12 / 3);
  ASSERT_FALSE(indexRows.empty());
  EXPECT_EQ(indexRows.back().date, "2026-12-02");  // the history ends the day before the quote's
  indexRows.push_back(quoteBar(port(), "^GSPC", "2026-12-03"));
  EXPECT_EQ(ChartBars(index), indexRows);
  // Asked up to the day before, the chart has no bar of the quote's day.
  indexRows.pop_back();
  EXPECT_EQ(ChartBars(getJson(port(), ChartTarget("%5EGSPC", 2026y / 6 / 1, 2026y / 12 / 2))), indexRows);
}

TEST_F(StandinProviders, YahooWeeklyAndMonthlyBarsAggregateTheDays) {
  // From a Monday to a Sunday, from the first of a month to its end: whole groups only.
  const std::vector<CentsBar> weekDays = ClassicBars(port(), "KO", 2024y / 5 / 6, 2024y / 7 / 28);
  const std::vector<CentsBar> weeks =
      ChartBars(getJson(port(), ChartTarget("KO", 2024y / 5 / 6, 2024y / 7 / 28, "1wk")));
  EXPECT_EQ(weeks, aggregate(weekDays, 'w'));
  EXPECT_EQ(weeks, ClassicBars(port(), "KO", 2024y / 5 / 6, 2024y / 7 / 28, 'w'));
  EXPECT_EQ(weeks.size(), 12u);
  // A week that began before period1 is not in the answer, not even in part.
  const std::vector<CentsBar> fromWednesday =
      ChartBars(getJson(port(), ChartTarget("KO", 2024y / 5 / 8, 2024y / 7 / 28, "1wk")));
  EXPECT_EQ(fromWednesday, std::vector<CentsBar>(weeks.begin() + 1, weeks.end()));

  const std::vector<CentsBar> monthDays = ClassicBars(port(), "KO", 2024y / 1 / 1, 2024y / 12 / 31);
  const std::vector<CentsBar> months =
      ChartBars(getJson(port(), ChartTarget("KO", 2024y / 1 / 1, 2024y / 12 / 31, "1mo")));
  EXPECT_EQ(months, aggregate(monthDays, 'm'));
  ASSERT_EQ(months.size(), 12u);
  EXPECT_EQ(months[0].date, "2024-01-01");
  EXPECT_EQ(months[5].date, "2024-06-03");  // dated by the first trading day
}

TEST_F(StandinProviders, YahooRangeGivesTheNewestDaysAndTheClassicQuote) {
  // Five trading days: the quote's day so far and the four before it.
  const Json answer = getJson(port(), "/v8/finance/chart/IBM?range=5d&interval=1d");
  std::vector<CentsBar> days = ClassicBars(port(), "IBM", 2026y / 11 / 1, kQuoteDay);
  ASSERT_GE(days.size(), 4u);
  days.push_back(quoteBar(port(), "IBM", "2026-12-03"));
  EXPECT_EQ(ChartBars(answer), std::vector<CentsBar>(days.end() - 5, days.end()));

  const Json& meta = answer.at("chart").at("result").at(0).at("meta");
  const DayWatch q = dayWatch(port(), "IBM");
  EXPECT_EQ(q.time, "12:00pm");
  EXPECT_EQ(meta.at("symbol"), "IBM");
  EXPECT_EQ(meta.at("currency"), "USD");
  EXPECT_EQ(meta.at("exchangeTimezoneName"), "America/New_York");
  EXPECT_EQ(meta.at("gmtoffset"), -18000);
  EXPECT_EQ(Cents(meta.at("regularMarketPrice")), Cents(q.last));
  EXPECT_EQ(Cents(meta.at("regularMarketDayHigh")), Cents(q.high));
  EXPECT_EQ(Cents(meta.at("regularMarketDayLow")), Cents(q.low));
  EXPECT_EQ(meta.at("regularMarketVolume"), q.volume);
  EXPECT_EQ(Cents(meta.at("chartPreviousClose")), Cents(q.last) - Cents(q.change));
  EXPECT_EQ(Cents(meta.at("chartPreviousClose")), days[days.size() - 2].close);
  EXPECT_EQ(meta.at("regularMarketTime"), UnixMidnight(kQuoteDay) + 17 * 3600);  // 12:00 EST

  // Monthly bars of a range are the months that hold its days, this one
  // with the quote's day in it.
  const std::vector<CentsBar> months =
      ChartBars(getJson(port(), "/v8/finance/chart/IBM?range=5d&interval=1mo"));
  EXPECT_EQ(months, aggregate(days, 'm'));
  ASSERT_EQ(months.size(), 2u);
  EXPECT_EQ(months[0], ClassicBars(port(), "IBM", 2026y / 11 / 1, 2026y / 11 / 30, 'm').at(0));
}

TEST_F(StandinProviders, TiingoPricesAreTheClassicRowsWithTheirSplits) {
  const HttpReply r = HttpGet(port(), TiingoTarget("csco", "2014-01-01", "2019-12-31"));
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(r.header("content-type"), "text/csv");
  EXPECT_EQ(r.body.substr(0, r.body.find('\n')),
            "date,close,high,low,open,volume,adjClose,adjHigh,adjLow,adjOpen,adjVolume,divCash,splitFactor");
  const std::vector<TiingoRow> rows = TiingoRows(r.body);
  std::vector<CentsBar> raw;
  for (const TiingoRow& row : rows) raw.push_back(row.raw);
  EXPECT_EQ(raw, ClassicBars(port(), "CSCO", 2014y / 1 / 1, 2019y / 12 / 31));

  // The split factors and dividends agree with the adjusted closes: across a
  // split the ratio of close to adjusted close changes by its factor.
  int splits = 0;
  int dividends = 0;
  for (std::size_t i = 1; i < rows.size(); ++i) {
    const TiingoRow& row = rows[i];
    dividends += row.divCash > 0 ? 1 : 0;
    // The other adjusted prices follow the close's adjustment.
    const double adjust = static_cast<double>(row.raw.adjClose) / row.raw.close;
    EXPECT_NEAR(row.adjHigh, row.raw.high * adjust, 1.0) << row.raw.date;
    EXPECT_NEAR(row.adjOpen, row.raw.open * adjust, 1.0) << row.raw.date;
    if (row.splitFactor == 1.0) continue;
    ++splits;
    const TiingoRow& before = rows[i - 1];
    const double change = (static_cast<double>(before.raw.close) / before.raw.adjClose) / (1 / adjust);
    EXPECT_NEAR(change, row.splitFactor, 0.05 * row.splitFactor) << row.raw.date;
    EXPECT_GT(before.adjVolume, before.raw.volume) << row.raw.date;
  }
  EXPECT_EQ(splits, 2);
  EXPECT_GT(dividends, 15);

  // Weekly and monthly rows are the classic ones; a class share's ticker is
  // the share; without a start date only the newest day comes.
  for (const char* freq : {"weekly", "monthly"}) {
    raw.clear();
    for (const TiingoRow& row :
         TiingoRows(HttpGet(port(), TiingoTarget("ibm", "2025-01-01", "2026-12-03", freq)).body))
      raw.push_back(row.raw);
    EXPECT_EQ(raw, ClassicBars(port(), "IBM", 2025y / 1 / 1, kQuoteDay, freq[0])) << freq;
  }
  raw.clear();
  for (const TiingoRow& row :
       TiingoRows(HttpGet(port(), TiingoTarget("brk-b", "2026-01-01", "2026-12-03")).body))
    raw.push_back(row.raw);
  EXPECT_EQ(raw, ClassicBars(port(), "BRK.B", 2026y / 1 / 1, kQuoteDay));
  const std::vector<TiingoRow> newest =
      TiingoRows(HttpGet(port(), "/tiingo/daily/IBM/prices?format=csv&resampleFreq=daily").body);
  ASSERT_EQ(newest.size(), 1u);
  EXPECT_EQ(newest[0].raw.date, "2026-12-02");
}

// The classic quote of IBM, MSFT and BRK.B against Tiingo's and Finnhub's.
void expectProviderQuotesAreClassic(int port, const std::string& now, const year_month_day& day,
                                    int minuteOfDay, int utcOffsetHours) {
  const Json iex = getJson(port, "/iex/ibm,msft,brk-b");
  ASSERT_EQ(iex.size(), 3u) << iex.dump();
  const char* const symbols[] = {"IBM", "MSFT", "BRK.B"};
  const char* const tickers[] = {"IBM", "MSFT", "BRK-B"};
  const long long unixTime = UnixMidnight(day) + minuteOfDay * 60 + utcOffsetHours * 3600;
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(symbols[i]);
    const DayWatch q = dayWatch(port, symbols[i]);
    const Json& t = iex[i];
    EXPECT_EQ(t.at("ticker"), tickers[i]);
    EXPECT_EQ(Cents(t.at("tngoLast")), Cents(q.last));
    EXPECT_EQ(Cents(t.at("prevClose")), Cents(q.last) - Cents(q.change));
    EXPECT_EQ(Cents(t.at("open")), Cents(q.open));
    EXPECT_EQ(Cents(t.at("high")), Cents(q.high));
    EXPECT_EQ(Cents(t.at("low")), Cents(q.low));
    EXPECT_EQ(t.at("volume"), q.volume);
    EXPECT_EQ(t.at("timestamp"), now);
    if (q.time == "4:00pm") {
      EXPECT_TRUE(t.at("last").is_null());  // outside the session: tngoLast only
    } else {
      EXPECT_EQ(Cents(t.at("last")), Cents(q.last));
    }

    const Json f = getJson(port, "/api/v1/quote?symbol=" + std::string(symbols[i]) + "&token=any");
    EXPECT_EQ(Cents(f.at("c")), Cents(q.last));
    EXPECT_EQ(Cents(f.at("d")), Cents(q.change));
    EXPECT_NEAR(f.at("dp").get<double>(), 100 * q.change / (q.last - q.change), 0.00006);
    EXPECT_EQ(Cents(f.at("h")), Cents(q.high));
    EXPECT_EQ(Cents(f.at("l")), Cents(q.low));
    EXPECT_EQ(Cents(f.at("o")), Cents(q.open));
    EXPECT_EQ(Cents(f.at("pc")), Cents(q.last) - Cents(q.change));
    EXPECT_EQ(f.at("t"), unixTime);
    EXPECT_FALSE(f.contains("v"));
  }
}

TEST_F(StandinProviders, TiingoAndFinnhubQuotesAreTheClassicQuote) {
  expectProviderQuotesAreClassic(port(), "2026-12-03T12:00:00-05:00", kQuoteDay, 12 * 60, 5);
  // After the close in summer time: the close at 16:00 EDT.
  StandinServer summer({"--now", "2026-07-15T17:00"});
  ASSERT_TRUE(summer.ok());
  expectProviderQuotesAreClassic(summer.port(), "2026-07-15T16:00:00-04:00", 2026y / 7 / 15, 16 * 60, 4);
  const Json chart = getJson(summer.port(), ChartTarget("IBM", 2026y / 7 / 13, 2026y / 7 / 15));
  const Json& result = chart.at("chart").at("result").at(0);
  EXPECT_EQ(result.at("meta").at("gmtoffset"), -14400);
  // Bars are stamped with their opening bell, 9:30 EDT.
  EXPECT_EQ(result.at("timestamp"), Json::array({UnixMidnight(2026y / 7 / 13) + 13 * 3600 + 1800,
                                                 UnixMidnight(2026y / 7 / 14) + 13 * 3600 + 1800,
                                                 UnixMidnight(2026y / 7 / 15) + 13 * 3600 + 1800}));
}

TEST_F(StandinProviders, EachProviderServesItsOwnMarkets) {
  for (const char* symbol : {"%5EDJI", "%5EIXIC", "RY.TO", "0700.HK", "VOD.L"}) {
    const Json answer = getJson(port(), std::string("/v8/finance/chart/") + symbol + "?range=5d&interval=1d");
    EXPECT_EQ(answer.at("chart").at("result").at(0).at("timestamp").size(), 5u) << symbol;
  }
  // Tiingo and Finnhub: no indices, no other markets.
  for (const char* ticker : {"%5Egspc", "ry.to", "vod-l"}) {
    const HttpReply r = HttpGet(port(), TiingoTarget(ticker, "2026-01-01", "2026-12-03"));
    EXPECT_EQ(r.status, 404) << ticker;
  }
  EXPECT_EQ(HttpGet(port(), TiingoTarget("ry.to", "2026-01-01", "2026-12-03")).body,
            R"({"detail":"Error: Ticker 'ry.to' not found"})");
  const Json iex = getJson(port(), "/iex/%5Egspc,ibm,ry.to,vod-l,bad%20one");
  ASSERT_EQ(iex.size(), 1u);
  EXPECT_EQ(iex[0].at("ticker"), "IBM");
  EXPECT_EQ(HttpGet(port(), "/iex/%5Egspc").body, "[]");
  const std::string zeros = R"({"c":0,"d":null,"dp":null,"h":0,"l":0,"o":0,"pc":0,"t":0})";
  for (const char* symbol : {"%5EGSPC", "%5EDJI", "A%20B"}) {
    const HttpReply r = HttpGet(port(), std::string("/api/v1/quote?symbol=") + symbol);
    EXPECT_EQ(r.status, 200) << symbol;
    EXPECT_EQ(r.body, zeros) << symbol;
  }
  const HttpReply foreign = HttpGet(port(), "/api/v1/quote?symbol=RY.TO");
  EXPECT_EQ(foreign.status, 403);
  EXPECT_EQ(foreign.body, R"({"error":"You don't have access to this resource."})");
  const HttpReply unknown = HttpGet(port(), "/v8/finance/chart/A%20B?range=5d");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_EQ(
      unknown.body,
      R"({"chart":{"result":null,"error":{"code":"Not Found","description":"No data found, symbol may be delisted"}}})");
}

TEST_F(StandinProviders, BadRequestsAreRefusedInTheProvidersWay) {
  for (const char* query : {"?range=5d&interval=5m", "?range=max", "?interval=1d", "?period1=x&period2=1",
                            "?period1=1&period2=1e9", "?range=-5d", "?range=%2B5d"}) {
    const HttpReply r = HttpGet(port(), std::string("/v8/finance/chart/IBM") + query);
    EXPECT_EQ(r.status, 400) << query;
    const Json answer = Json::parse(r.body, nullptr, false);
    EXPECT_EQ(answer["chart"]["error"]["code"], "Bad Request") << query << r.body;
  }
  for (const char* query :
       {"?startDate=2026-01-01", "?startDate=2026-13-01&format=csv", "?startDate=2026-01-01&format=json",
        "?endDate=20260101&format=csv", "?startDate=2026-01-01&format=csv&resampleFreq=hourly"}) {
    const HttpReply r = HttpGet(port(), std::string("/tiingo/daily/ibm/prices") + query);
    EXPECT_EQ(r.status, 400) << query;
    EXPECT_EQ(r.body.rfind(R"({"detail":"Error: )", 0), 0u) << r.body;
  }
  EXPECT_EQ(HttpGet(port(), "/iex/").status, 400);
  EXPECT_EQ(HttpGet(port(), "/iex/,,").status, 400);
  EXPECT_EQ(HttpGet(port(), "/api/v1/quote").status, 400);
  for (const char* path :
       {"/v8/finance/chart/", "/v8/finance/chart/IBM/x", "/tiingo/daily/ibm", "/tiingo/daily//prices",
        "/tiingo/daily/a/b/prices", "/iex", "/api/v1/quote/x", "/moved/moved/moved/iex/ibm"}) {
    EXPECT_EQ(HttpGet(port(), path).status, 404) << path;
  }
}

TEST(StandinProvidersDataDir, FileRowsReachEveryProvider) {
  TempFolder dir;
  WriteFile(dir.file("TEST.csv"),
            "Date,Open,High,Low,Close,Volume,Adj Close\n"
            "2005-12-01,26.50,26.90,26.40,26.80,50000000,26.30\n"
            "2005-12-02,26.80,27.00,26.70,26.95,55000000,26.45\n"
            "2005-12-05,26.95,27.10,26.80,26.93,58000000,26.43\n"
            "2005-12-06,26.93,27.09,26.85,27.03,60302500,26.53\n");
  StandinServer server({"--data-dir", dir.path(), "--now", "2005-12-06T17:00"});
  ASSERT_TRUE(server.ok());
  const Json chart = getJson(server.port(), ChartTarget("TEST", 2005y / 12 / 1, 2005y / 12 / 6));
  const std::vector<CentsBar> expected = {{"2005-12-01", 2650, 2690, 2640, 2680, 2630, 50000000},
                                          {"2005-12-02", 2680, 2700, 2670, 2695, 2645, 55000000},
                                          {"2005-12-05", 2695, 2710, 2680, 2693, 2643, 58000000},
                                          {"2005-12-06", 2693, 2709, 2685, 2703, 2653, 60302500}};
  EXPECT_EQ(ChartBars(chart), expected);
  const Json& meta = chart.at("chart").at("result").at(0).at("meta");
  EXPECT_EQ(Cents(meta.at("regularMarketPrice")), 2703);
  EXPECT_EQ(Cents(meta.at("chartPreviousClose")), 2693);
  EXPECT_EQ(HttpGet(server.port(), TiingoTarget("test", "2005-12-01", "2005-12-06")).body,
            "date,close,high,low,open,volume,adjClose,adjHigh,adjLow,adjOpen,adjVolume,divCash,splitFactor\n"
            "2005-12-01,26.80,26.90,26.40,26.50,50000000,26.30,26.40,25.91,26.01,50000000,0.00,1.0\n"
            "2005-12-02,26.95,27.00,26.70,26.80,55000000,26.45,26.50,26.20,26.30,55000000,0.00,1.0\n"
            "2005-12-05,26.93,27.10,26.80,26.95,58000000,26.43,26.60,26.30,26.45,58000000,0.00,1.0\n");
  EXPECT_EQ(HttpGet(server.port(), "/api/v1/quote?symbol=TEST").body,
            R"({"c":27.03,"d":0.1,"dp":0.3713,"h":27.09,"l":26.85,"o":26.93,"pc":26.93,"t":1133902800})");
}

}  // namespace
}  // namespace velmora::test
