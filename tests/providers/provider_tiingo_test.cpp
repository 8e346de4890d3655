#include <gtest/gtest.h>

#include <string>

#include "providers/provider.h"
#include "providers/provider_answer.h"

namespace velmora {
namespace {

using testing_answers::Answer;

constexpr const char* kHeader =
    "date,close,high,low,open,volume,adjClose,adjHigh,adjLow,adjOpen,adjVolume,divCash,splitFactor";

class Tiingo : public ::testing::Test {
 protected:
  std::unique_ptr<QuoteProvider> tiingo_ =
      MakeQuoteProvider(ProviderId::kTiingo, {"http://127.0.0.1:8123", "k3y", ""});
};

TEST_F(Tiingo, RequestsCarryTheKeyInTheHeaderOnly) {
  const ProviderRequest h =
      tiingo_->HistoryRequest(tiingo_->MapSymbol("BRK.B"), {2024, 1, 2}, {2024, 3, 28}, 'w');
  EXPECT_EQ(h.url,
            "http://127.0.0.1:8123/tiingo/daily/brk-b/prices?startDate=2024-01-02&endDate=2024-03-28"
            "&resampleFreq=weekly&format=csv");
  EXPECT_EQ(h.headers, std::vector<std::string>{"Authorization: Token k3y"});
  EXPECT_NE(
      tiingo_->HistoryRequest("msft", {2024, 1, 2}, {2024, 3, 28}, 'm').url.find("resampleFreq=monthly"),
      std::string::npos);

  const ProviderRequest q = tiingo_->QuoteRequest({"msft", "brk-b", "aapl"});
  EXPECT_EQ(q.url, "http://127.0.0.1:8123/iex/msft,brk-b,aapl");
  EXPECT_EQ(q.headers, std::vector<std::string>{"Authorization: Token k3y"});
  EXPECT_TRUE(tiingo_->QuoteRequest({}).url.empty());
}

TEST_F(Tiingo, ReadsTheCsvByItsColumnNames) {
  // CRLF line ends, no line end after the last row, a row with an empty
  // value, and a 2:1 split between the rows: close is the price of its day.
  const std::string body = std::string(kHeader) +
                           "\r\n2024-06-03,400.0,402.0,398.0,399.0,1000,200.0,201.0,199.0,199.5,2000,0.0,1.0"
                           "\r\n2024-06-04,,1,1,1,1,1,1,1,1,1,0.0,1.0"
                           "\r\n2024-06-05,201.0,202.5,200.0,200.5,3000,201.0,202.5,200.0,200.5,3000,0.0,2.0";
  const ProviderHistory h = tiingo_->ReadHistory(Answer(200, body));
  ASSERT_EQ(h.outcome.status, ProviderStatus::kOk) << h.outcome.reason;
  EXPECT_EQ(h.outcome.reason, "null rows skipped: 1");
  ASSERT_EQ(h.bars.size(), 2u);
  EXPECT_EQ(h.bars[0].date.key(), 20240603);
  EXPECT_DOUBLE_EQ(h.bars[0].open, 399.0);
  EXPECT_DOUBLE_EQ(h.bars[0].high, 402.0);
  EXPECT_DOUBLE_EQ(h.bars[0].low, 398.0);
  EXPECT_DOUBLE_EQ(h.bars[0].close, 400.0);
  EXPECT_DOUBLE_EQ(h.bars[0].adjClose, 200.0);
  EXPECT_DOUBLE_EQ(h.bars[0].volume, 1000);
  EXPECT_EQ(h.bars[1].date.key(), 20240605);
  EXPECT_DOUBLE_EQ(h.bars[1].close, 201.0);

  // Other columns, in another order, in capitals.
  const ProviderHistory other =
      tiingo_->ReadHistory(Answer(200, "Volume,Open,AdjClose,Close,Low,High,Date\n7,2,2,2,1,3,2024-06-03\n"));
  ASSERT_EQ(other.outcome.status, ProviderStatus::kOk);
  ASSERT_EQ(other.bars.size(), 1u);
  EXPECT_DOUBLE_EQ(other.bars[0].high, 3);
  EXPECT_DOUBLE_EQ(other.bars[0].volume, 7);

  const ProviderHistory headerOnly = tiingo_->ReadHistory(Answer(200, std::string(kHeader) + "\n"));
  EXPECT_EQ(headerOnly.outcome.status, ProviderStatus::kOk);
  EXPECT_TRUE(headerOnly.bars.empty());
}

TEST_F(Tiingo, AnswersThatAreNoBarsHaveTheirStatus) {
  const std::string row = "\n2024-06-03,400.0,402.0,398.0,399.0,1000,200.0,201.0,199.0,199.5,2000,0.0,1.0\n";
  struct Case {
    ProviderAnswer answer;
    ProviderStatus status;
  };
  const Case cases[] = {
      {Answer(200,
              "You have run over your 500 symbol look up for this month. Please upgrade at "
              "https://api.tiingo.com/pricing to have your limits increased."),
       ProviderStatus::kQuotaUsedUp},
      {Answer(429, "You have exceeded your allocated number of requests per hour."),
       ProviderStatus::kRateLimited},
      {Answer(401, R"({"detail":"Invalid token."})"), ProviderStatus::kBadKey},
      {Answer(404, R"({"detail":"Error: Ticker 'FOO' not found"})"), ProviderStatus::kNotFound},
      {Answer(200, R"({"detail":"Error: Ticker 'FOO' not found"})"), ProviderStatus::kNotFound},
      {Answer(200, "<html><body>Please verify you are human</body></html>"), ProviderStatus::kBlocked},
      {Answer(503, "Service Unavailable"), ProviderStatus::kTransient},
      {Answer(200, "date,close,high,low,open,volume\n2024-06-03,1,1,1,1,1\n"), ProviderStatus::kBadData},
      {Answer(200, std::string(kHeader) + "\n2024-06-03,400.0,402.0"), ProviderStatus::kBadData},
      {Answer(200, std::string(kHeader) + "\n2024-06-03,4O0.0,402.0,398.0,399.0,1000,200.0,1,1,1,1,0,1"),
       ProviderStatus::kBadData},
      {Answer(200, std::string(kHeader) + "\n06/03/2024,400.0,402.0,398.0,399.0,1000,200.0,1,1,1,1,0,1"),
       ProviderStatus::kBadData},
      {Answer(200,
              std::string(kHeader) + "\n2024-06-03,-400.0,402.0,398.0,399.0,1000,200.0,1,1,1,1,0,1" + row),
       ProviderStatus::kBadData},
      {Answer(200, ""), ProviderStatus::kBadData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer.body);
    const ProviderHistory h = tiingo_->ReadHistory(c.answer);
    EXPECT_EQ(h.outcome.status, c.status) << h.outcome.reason;
    EXPECT_TRUE(h.bars.empty());
  }
  ProviderAnswer hourly = cases[1].answer;
  hourly.headers = "HTTP/1.1 429 Too Many Requests\r\nretry-after: 120\r\n\r\n";
  EXPECT_EQ(tiingo_->ReadQuotes(hourly).outcome.retryAfterSeconds, 120);
  EXPECT_EQ(tiingo_->ReadQuotes(cases[0].answer).outcome.status, ProviderStatus::kQuotaUsedUp);
}

TEST_F(Tiingo, ReadsBatchQuotesWithTheLastTradeOutsideHours) {
  const std::string body =
      R"([{"ticker":"MSFT","last":415.2,"tngoLast":415.2,"prevClose":412.3,"open":413.0,"high":416.0,)"
      R"("low":410.1,"volume":20311000,"timestamp":"2026-12-07T16:00:00-05:00"},)"
      R"({"ticker":"AAPL","last":null,"tngoLast":190.5,"prevClose":189.0,"open":null,"high":null,)"
      R"("low":null,"volume":null,"timestamp":"2026-12-07T20:00:00.123456789+00:00"}])";
  const ProviderQuotes q = tiingo_->ReadQuotes(Answer(200, body));
  ASSERT_EQ(q.outcome.status, ProviderStatus::kOk);
  ASSERT_EQ(q.quotes.size(), 2u);
  EXPECT_EQ(q.quotes[0].symbol, "MSFT");
  EXPECT_DOUBLE_EQ(q.quotes[0].last, 415.2);
  EXPECT_DOUBLE_EQ(q.quotes[0].previousClose, 412.3);
  EXPECT_DOUBLE_EQ(q.quotes[0].open, 413.0);
  EXPECT_DOUBLE_EQ(q.quotes[0].volume, 20311000);
  EXPECT_EQ(q.quotes[0].time, 1796677200);  // 21:00 UTC
  EXPECT_TRUE(q.quotes[0].timeZone.empty());
  EXPECT_DOUBLE_EQ(q.quotes[1].last, 190.5);
  EXPECT_DOUBLE_EQ(q.quotes[1].open, 0);  // not given
  EXPECT_EQ(q.quotes[1].time, 1796673600);

  EXPECT_EQ(tiingo_->ReadQuotes(Answer(200, "[]")).outcome.status, ProviderStatus::kNotFound);
  for (const char* bad : {R"([{"ticker":"X","last":-1}])", R"([{"ticker":"X","last":"12.5"}])",
                          R"([{"ticker":"X","last":1,"timestamp":"yesterday"}])", R"([7])", "[{"}) {
    const ProviderQuotes b = tiingo_->ReadQuotes(Answer(200, bad));
    EXPECT_EQ(b.outcome.status, ProviderStatus::kBadData) << bad;
    EXPECT_TRUE(b.quotes.empty());
  }
}

}  // namespace
}  // namespace velmora
