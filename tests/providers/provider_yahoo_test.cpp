#include <gtest/gtest.h>

#include <string>

#include "providers/provider.h"
#include "providers/provider_answer.h"

namespace velmora {
namespace {

using testing_answers::Answer;
using testing_answers::FailedTransfer;

// A chart answer of MSFT around 6 December 2024; the columns are JSON array
// texts (no adjusted close column when empty).
std::string Chart(const std::string& timestamps, const std::string& open, const std::string& high,
                  const std::string& low, const std::string& close, const std::string& volume,
                  const std::string& adjclose, const std::string& metaExtra = "") {
  return R"({"chart":{"result":[{"meta":{"currency":"USD","symbol":"MSFT","exchangeTimezoneName":"America/New_York",)"
         R"("gmtoffset":-18000,"regularMarketPrice":445.0,"regularMarketTime":1733518800,)"
         R"("regularMarketDayHigh":446.1,"regularMarketDayLow":439.0,"regularMarketVolume":18821000,)"
         R"("chartPreviousClose":400.0)" +
         metaExtra + R"(},"timestamp":)" + timestamps + R"(,"indicators":{"quote":[{"open":)" + open +
         R"(,"high":)" + high + R"(,"low":)" + low + R"(,"close":)" + close + R"(,"volume":)" + volume +
         "}]" + (adjclose.empty() ? "" : R"(,"adjclose":[{"adjclose":)" + adjclose + "}]") +
         "}}],\"error\":null}}";
}

// 2, 3, 5 and 6 December, stamped at 9:30 New York time; the 4th is a row
// of nulls.
std::string FourDays(const std::string& adjclose = "[429.5,429.7,null,441.1,442.0]") {
  return Chart("[1733149800,1733236200,1733322600,1733409000,1733495400]", "[430.1,431.0,null,437.0,442.3]",
               "[433.5,432.2,null,443.3,446.1]", "[429.0,428.4,null,436.1,439.0]",
               "[430.98,431.2,null,442.62,443.57]", "[20207200,18302000,null,21697800,18821000]", adjclose);
}

class YahooChart : public ::testing::Test {
 protected:
  std::unique_ptr<QuoteProvider> yahoo_ =
      MakeQuoteProvider(ProviderId::kYahooChart, {"http://127.0.0.1:8123/", "", ""});
};

TEST_F(YahooChart, RequestsCoverTheWholeLastDayWithABrowsersAgent) {
  const ProviderRequest daily = yahoo_->HistoryRequest("^GSPC", {2024, 12, 2}, {2024, 12, 6}, 'd');
  EXPECT_EQ(daily.url,
            "http://127.0.0.1:8123/v8/finance/chart/%5EGSPC?period1=1733097600&period2=1733529600"
            "&interval=1d&events=div%7Csplit");
  ASSERT_EQ(daily.headers.size(), 1u);
  EXPECT_EQ(daily.headers[0].rfind("User-Agent: Mozilla/5.0 (X11; Linux x86_64)", 0), 0u);
  EXPECT_NE(yahoo_->HistoryRequest("MSFT", {2024, 1, 1}, {2024, 12, 31}, 'w').url.find("&interval=1wk&"),
            std::string::npos);
  EXPECT_NE(yahoo_->HistoryRequest("MSFT", {2024, 1, 1}, {2024, 12, 31}, 'm').url.find("&interval=1mo&"),
            std::string::npos);

  const auto own = MakeQuoteProvider(ProviderId::kYahooChart, {"", "", "Agent/1.0\r\nX-Injected: 1"});
  const ProviderRequest quote = own->QuoteRequest({"RY.TO"});
  EXPECT_EQ(quote.url, "https://query2.finance.yahoo.com/v8/finance/chart/RY.TO?range=5d&interval=1d");
  EXPECT_EQ(quote.headers, std::vector<std::string>{"User-Agent: Agent/1.0X-Injected: 1"});
}

TEST_F(YahooChart, ReadsBarsByTheExchangesDateSkippingNullRows) {
  const ProviderHistory h = yahoo_->ReadHistory(Answer(200, FourDays()));
  ASSERT_EQ(h.outcome.status, ProviderStatus::kOk);
  EXPECT_EQ(h.outcome.reason, "null rows skipped: 1");
  // The bar of the quote's day (the 6th) is the current bar, not history.
  ASSERT_EQ(h.bars.size(), 3u);
  EXPECT_EQ(h.bars[0].date.key(), 20241202);
  EXPECT_EQ(h.bars[1].date.key(), 20241203);
  EXPECT_EQ(h.bars[2].date.key(), 20241205);
  EXPECT_DOUBLE_EQ(h.bars[2].open, 437.0);
  EXPECT_DOUBLE_EQ(h.bars[2].high, 443.3);
  EXPECT_DOUBLE_EQ(h.bars[2].low, 436.1);
  EXPECT_DOUBLE_EQ(h.bars[2].close, 442.62);
  EXPECT_DOUBLE_EQ(h.bars[2].adjClose, 441.1);
  EXPECT_DOUBLE_EQ(h.bars[2].volume, 21697800);

  // The meta is the current quote; its open and the previous close come from
  // the bars of the quote's day and the day before.
  ASSERT_TRUE(h.hasQuote);
  EXPECT_EQ(h.quote.symbol, "MSFT");
  EXPECT_DOUBLE_EQ(h.quote.last, 445.0);
  EXPECT_DOUBLE_EQ(h.quote.open, 442.3);
  EXPECT_DOUBLE_EQ(h.quote.previousClose, 442.62);
  EXPECT_DOUBLE_EQ(h.quote.high, 446.1);
  EXPECT_DOUBLE_EQ(h.quote.volume, 18821000);
  EXPECT_EQ(h.quote.time, 1733518800);
  EXPECT_EQ(h.quote.timeZone, "America/New_York");
  EXPECT_TRUE(h.quote.hasUtcOffset);
  EXPECT_EQ(h.quote.utcOffsetSeconds, -18000);

  const ProviderQuotes q = yahoo_->ReadQuotes(Answer(200, FourDays()));
  ASSERT_EQ(q.outcome.status, ProviderStatus::kOk);
  ASSERT_EQ(q.quotes.size(), 1u);
  EXPECT_DOUBLE_EQ(q.quotes[0].previousClose, 442.62);
}

TEST_F(YahooChart, SortsBarsAndKeepsTheLaterOfOneDate) {
  // Tokyo: bars stamped at 0:00 UTC are 9:00 local on the same day; the
  // second bar of the 4th (a partial one sent again) wins.
  std::string body = Chart("[1733270400,1733184000,1733270500]", "[3,1,4]", "[3,1,4]", "[3,1,4]", "[3,1,4]",
                           "[30,10,40]", "[3,1,4]");
  body.replace(body.find("-18000"), 6, "32400");
  const ProviderHistory h = yahoo_->ReadHistory(Answer(200, body));
  ASSERT_EQ(h.outcome.status, ProviderStatus::kOk);
  ASSERT_EQ(h.bars.size(), 2u);
  EXPECT_EQ(h.bars[0].date.key(), 20241203);
  EXPECT_EQ(h.bars[1].date.key(), 20241204);
  EXPECT_DOUBLE_EQ(h.bars[1].close, 4);
  EXPECT_TRUE(h.outcome.reason.empty());
}

TEST_F(YahooChart, AnswerWithoutBarsOrAdjustedCloseStillReads) {
  // A range with no trading days has no timestamps at all.
  const std::string empty =
      R"({"chart":{"result":[{"meta":{"symbol":"MSFT","regularMarketPrice":1.5,"gmtoffset":-18000},)"
      R"("indicators":{"quote":[{}]}}],"error":null}})";
  const ProviderHistory none = yahoo_->ReadHistory(Answer(200, empty));
  EXPECT_EQ(none.outcome.status, ProviderStatus::kOk);
  EXPECT_TRUE(none.bars.empty());

  const ProviderHistory h = yahoo_->ReadHistory(Answer(200, FourDays("")));
  ASSERT_EQ(h.outcome.status, ProviderStatus::kOk) << h.outcome.reason;
  ASSERT_EQ(h.bars.size(), 3u);
  EXPECT_DOUBLE_EQ(h.bars[2].adjClose, 442.62);
}

TEST_F(YahooChart, RefusalsAndFailuresHaveTheirStatus) {
  struct Case {
    ProviderAnswer answer;
    ProviderStatus status;
  };
  const Case cases[] = {
      {Answer(404, R"({"chart":{"result":null,"error":{"code":"Not Found","description":"No data found"}}})"),
       ProviderStatus::kNotFound},
      {Answer(200, R"({"chart":{"result":null,"error":{"code":"Not Found","description":"delisted"}}})"),
       ProviderStatus::kNotFound},
      {Answer(401,
              R"({"finance":{"result":null,"error":{"code":"Unauthorized","description":"Invalid Crumb"}}})"),
       ProviderStatus::kBlocked},
      {Answer(401, R"({"finance":{"error":{"description":"Invalid Cookie"}}})"), ProviderStatus::kBlocked},
      {Answer(429, "Too Many Requests"), ProviderStatus::kRateLimited},
      {Answer(502, "Bad Gateway"), ProviderStatus::kTransient},
      {FailedTransfer("Operation timed out after 120000 milliseconds"), ProviderStatus::kTransient},
      {Answer(200, "<!DOCTYPE html><html>consent</html>"), ProviderStatus::kBlocked},
      {Answer(200, "{\"chart\":"), ProviderStatus::kBadData},
      {Answer(200, ""), ProviderStatus::kBadData},
      {Answer(200, R"({"finance":{}})"), ProviderStatus::kBadData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer.body);
    const ProviderHistory h = yahoo_->ReadHistory(c.answer);
    EXPECT_EQ(h.outcome.status, c.status) << h.outcome.reason;
    EXPECT_TRUE(h.bars.empty());
    EXPECT_EQ(yahoo_->ReadQuotes(c.answer).outcome.status, c.status);
  }
  EXPECT_EQ(yahoo_->ReadHistory(cases[2].answer).outcome.reason, "HTTP 401 Invalid Crumb");
}

TEST_F(YahooChart, NumbersThatAreNoPricesSpoilTheAnswer) {
  const std::string t = "[1733149800,1733236200]";
  const std::string p = "[10,11]";
  const std::string v = "[100,200]";
  const std::string bad[] = {
      Chart("[1733149800]", p, p, p, p, v, p),              // columns of different lengths
      Chart(t, "[10,-11]", p, p, p, v, p),                  // a negative price
      Chart(t, p, p, p, "[10,0]", v, p),                    // a zero close
      Chart(t, p, p, p, p, "[100,-1]", p),                  // a negative volume
      Chart(t, p, p, p, p, v, "[10,\"11\"]"),               // a text where a number belongs
      Chart(t, p, p, p, p, v, "[10,1e999]"),                // an infinite number
      Chart(t, p, "[10,1e10]", p, p, v, p),                 // a price beyond any security's
      Chart("[1733149800,99999999999]", p, p, p, p, v, p),  // a time past 2100
      Chart(t, p, p, p, p, v, p, R"(,"gmtoffset":"-5h")"),  // an offset that is no number
  };
  for (const std::string& body : bad) {
    const ProviderHistory h = yahoo_->ReadHistory(Answer(200, body));
    EXPECT_EQ(h.outcome.status, ProviderStatus::kBadData) << body;
    EXPECT_TRUE(h.bars.empty());
  }
  // A bar whose high is below its low is one bad bar, not a bad answer.
  const ProviderHistory h = yahoo_->ReadHistory(Answer(200, Chart(t, p, "[12,9]", "[9,10]", p, v, p)));
  ASSERT_EQ(h.outcome.status, ProviderStatus::kOk);
  EXPECT_EQ(h.bars.size(), 1u);
  EXPECT_EQ(h.outcome.reason, "rows whose high and low do not hold their prices skipped: 1");
}

TEST_F(YahooChart, MonthlyBarsKeepTheirFirstTradingDay) {
  // June, July and August 2024 bars, each stamped at the first trading
  // day's open (summer time, 13:30 UTC).
  std::string body = Chart("[1717421400,1719840600,1722519000]", "[1,2,3]", "[1,2,3]", "[1,2,3]", "[1,2,3]",
                           "[9,9,9]", "[1,2,3]");
  body.replace(body.find("-18000"), 6, "-14400");
  const ProviderHistory h = yahoo_->ReadHistory(Answer(200, body));
  ASSERT_EQ(h.bars.size(), 3u);
  EXPECT_EQ(h.bars[0].date.key(), 20240603);
  EXPECT_EQ(h.bars[1].date.key(), 20240701);
  EXPECT_EQ(h.bars[2].date.key(), 20240801);
  // No bar of the quote's day: the chart's previous close stands.
  EXPECT_DOUBLE_EQ(h.quote.previousClose, 400.0);
  EXPECT_DOUBLE_EQ(h.quote.open, 0);
}

}  // namespace
}  // namespace velmora
