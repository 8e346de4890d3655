#include <gtest/gtest.h>

#include <string>

#include "providers/provider.h"
#include "providers/provider_answer.h"

namespace velmora {
namespace {

using testing_answers::Answer;
using testing_answers::FailedTransfer;

class Finnhub : public ::testing::Test {
 protected:
  std::unique_ptr<QuoteProvider> finnhub_ =
      MakeQuoteProvider(ProviderId::kFinnhub, {"http://127.0.0.1:8123", "s3cr&t", ""});
};

TEST_F(Finnhub, AsksForOneQuoteWithTheKeyAsToken) {
  const ProviderRequest q = finnhub_->QuoteRequest({finnhub_->MapSymbol("brk-b"), "MSFT"});
  EXPECT_EQ(q.url, "http://127.0.0.1:8123/api/v1/quote?symbol=BRK.B&token=s3cr%26t");
  EXPECT_TRUE(q.headers.empty());
  EXPECT_TRUE(finnhub_->HistoryRequest("MSFT", {2024, 1, 2}, {2024, 3, 28}, 'd').url.empty());
  EXPECT_EQ(finnhub_->ReadHistory(Answer(200, "{}")).outcome.status, ProviderStatus::kNotFound);
}

TEST_F(Finnhub, ReadsTheQuote) {
  const ProviderQuotes q = finnhub_->ReadQuotes(Answer(
      200, R"({"c":415.2,"d":2.9,"dp":0.7034,"h":416.0,"l":410.1,"o":413.0,"pc":412.3,"t":1733518800})"));
  ASSERT_EQ(q.outcome.status, ProviderStatus::kOk);
  ASSERT_EQ(q.quotes.size(), 1u);
  const ProviderQuote& quote = q.quotes[0];
  EXPECT_DOUBLE_EQ(quote.last, 415.2);
  EXPECT_DOUBLE_EQ(quote.previousClose, 412.3);
  EXPECT_DOUBLE_EQ(quote.open, 413.0);
  EXPECT_DOUBLE_EQ(quote.high, 416.0);
  EXPECT_DOUBLE_EQ(quote.low, 410.1);
  EXPECT_DOUBLE_EQ(quote.volume, 0);  // Finnhub gives none
  EXPECT_EQ(quote.time, 1733518800);
}

TEST_F(Finnhub, ZerosErrorsAndRefusals) {
  struct Case {
    ProviderAnswer answer;
    ProviderStatus status;
  };
  const Case cases[] = {
      {Answer(200, R"({"c":0,"d":null,"dp":null,"h":0,"l":0,"o":0,"pc":0,"t":0})"),
       ProviderStatus::kNotFound},
      {Answer(429, R"({"error":"API limit reached. Please try again later. Remaining Limit: 0"})"),
       ProviderStatus::kRateLimited},
      {Answer(200, R"({"error":"API limit reached. Please try again later. Remaining Limit: 0"})"),
       ProviderStatus::kRateLimited},
      {Answer(403, R"({"error":"You don't have access to this resource."})"), ProviderStatus::kBadKey},
      {Answer(401, R"({"error":"Invalid API key"})"), ProviderStatus::kBadKey},
      {Answer(500, "oops"), ProviderStatus::kTransient},
      {Answer(200, R"({"c":-415.2,"pc":412.3,"t":1733518800})"), ProviderStatus::kBadData},
      {Answer(200, R"({"c":"415.2","pc":412.3,"t":1733518800})"), ProviderStatus::kBadData},
      {Answer(200, R"([{"c":415.2}])"), ProviderStatus::kBadData},
      {Answer(200, "c=415.2"), ProviderStatus::kBadData},
  };
  for (const Case& c : cases) {
    const ProviderQuotes q = finnhub_->ReadQuotes(c.answer);
    EXPECT_EQ(q.outcome.status, c.status) << c.answer.body << ": " << q.outcome.reason;
    EXPECT_TRUE(q.quotes.empty());
  }
  EXPECT_EQ(finnhub_->ReadQuotes(cases[3].answer).outcome.reason, "HTTP 403 (the key does not cover it)");
  // An error that quotes the key, even split by control characters, shows it masked.
  EXPECT_EQ(
      finnhub_->ReadQuotes(Answer(200, R"({"error":"the key s3\u0001cr&t may not ask"})")).outcome.reason,
      "error: the key *** may not ask");

  // The log line of a failed transfer never shows the token of the URL.
  const ProviderQuotes cut = finnhub_->ReadQuotes(FailedTransfer(
      "Failed to connect to http://127.0.0.1:8123/api/v1/quote?symbol=MSFT&token=s3cr%26t refused"));
  EXPECT_EQ(cut.outcome.status, ProviderStatus::kTransient);
  EXPECT_EQ(cut.outcome.reason.find("s3cr"), std::string::npos) << cut.outcome.reason;
  EXPECT_NE(cut.outcome.reason.find("refused"), std::string::npos) << cut.outcome.reason;
}

}  // namespace
}  // namespace velmora
