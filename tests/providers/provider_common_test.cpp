#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "providers/provider.h"
#include "providers/provider_answer.h"
#include "providers/provider_time.h"

namespace velmora {
namespace {

using testing_answers::Answer;
using testing_answers::FailedTransfer;

TEST(ProviderNames, ReadBackInAnyCaseAndNothingElseReads) {
  for (int i = 0; i < kProviderCount; ++i) {
    const auto id = static_cast<ProviderId>(i);
    std::string text = std::string("  ") + ProviderName(id) + "\t";
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ProviderId read = ProviderId::kClassic;
    EXPECT_TRUE(ParseProviderName(text, read)) << text;
    EXPECT_EQ(read, id);
  }
  ProviderId read = ProviderId::kTiingo;
  for (const char* bad : {"", "Yahoo", "Tiingo2", "Fin hub"})
    EXPECT_FALSE(ParseProviderName(bad, read)) << bad;
  EXPECT_EQ(read, ProviderId::kTiingo);
  EXPECT_STREQ(ProviderStatusText(ProviderStatus::kQuotaUsedUp), "quota used up");
  EXPECT_STREQ(DefaultProviderBaseUrl(ProviderId::kFinnhub), "https://finnhub.io");
  EXPECT_STREQ(DefaultProviderBaseUrl(ProviderId::kClassic), "");
  EXPECT_EQ(MakeQuoteProvider(ProviderId::kClassic, {}), nullptr);
}

TEST(ProviderAbilitiesOf, EachProvider) {
  const ProviderAbilities yahoo = MakeQuoteProvider(ProviderId::kYahooChart, {})->abilities();
  const ProviderAbilities tiingo = MakeQuoteProvider(ProviderId::kTiingo, {})->abilities();
  const ProviderAbilities finnhub = MakeQuoteProvider(ProviderId::kFinnhub, {})->abilities();
  EXPECT_TRUE(yahoo.daily && yahoo.weekly && yahoo.monthly && yahoo.adjusted && yahoo.singleQuote &&
              yahoo.indices);
  EXPECT_FALSE(yahoo.batchQuote || yahoo.needsKey);
  EXPECT_TRUE(tiingo.history() && tiingo.adjusted && tiingo.singleQuote && tiingo.batchQuote &&
              tiingo.needsKey);
  EXPECT_FALSE(tiingo.indices);
  EXPECT_TRUE(finnhub.singleQuote && finnhub.needsKey);
  EXPECT_FALSE(finnhub.history() || finnhub.batchQuote || finnhub.indices);
}

TEST(ProviderSymbols, EachProviderSpellsWhatItServes) {
  const auto yahoo = MakeQuoteProvider(ProviderId::kYahooChart, {});
  const auto tiingo = MakeQuoteProvider(ProviderId::kTiingo, {});
  const auto finnhub = MakeQuoteProvider(ProviderId::kFinnhub, {});
  struct Case {
    const char* symbol;
    const char* yahoo;
    const char* tiingo;
    const char* finnhub;
  };
  const Case cases[] = {
      {" msft ", "MSFT", "msft", "MSFT"},
      {"NASDAQ", "^IXIC", "", ""},
      {"^gspc", "^GSPC", "", ""},
      {"BRK.B", "BRK-B", "brk-b", "BRK.B"},
      {"brk-a", "BRK-A", "brk-a", "BRK.A"},
      {"RY.TO", "RY.TO", "", ""},
      {"0700.HK", "0700.HK", "", ""},
      {"VOD.L", "VOD.L", "", ""},  // one letter, but London
      {"EURUSD=X", "EURUSD=X", "", ""},
      {"MS FT", "", "", ""},
      {"../etc", "", "", ""},
      {"A&B", "", "", ""},
      {"", "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(yahoo->MapSymbol(c.symbol), c.yahoo) << c.symbol;
    EXPECT_EQ(tiingo->MapSymbol(c.symbol), c.tiingo) << c.symbol;
    EXPECT_EQ(finnhub->MapSymbol(c.symbol), c.finnhub) << c.symbol;
  }
  EXPECT_EQ(yahoo->MapSymbol(std::string(64, 'A')), "");
}

TEST(CommonOutcome, StatusOfEveryKindOfAnswer) {
  struct Case {
    ProviderAnswer answer;
    ProviderStatus status;
    const char* reason;
  };
  const Case cases[] = {
      {FailedTransfer("Connection refused"), ProviderStatus::kTransient,
       "transfer failed: Connection refused"},
      {Answer(0, ""), ProviderStatus::kTransient, "no HTTP status"},
      {Answer(503, "busy"), ProviderStatus::kTransient, "HTTP 503"},
      {Answer(429, "slow down"), ProviderStatus::kRateLimited, "HTTP 429"},
      {Answer(401, ""), ProviderStatus::kBadKey, "HTTP 401"},
      {Answer(403, ""), ProviderStatus::kBadKey, "HTTP 403"},
      {Answer(404, ""), ProviderStatus::kNotFound, "HTTP 404"},
      {Answer(302, ""), ProviderStatus::kBlocked, "HTTP 302"},
      {Answer(400, ""), ProviderStatus::kBadData, "HTTP 400"},
      {Answer(200, " \r\n\t<html>"), ProviderStatus::kBlocked, "an HTML page instead of data"},
      {Answer(200, "{}", "HTTP/1.1 200 OK\r\ncontent-type: Text/HTML; charset=utf-8\r\n\r\n"),
       ProviderStatus::kBlocked, "an HTML page instead of data"},
      {Answer(200, "{}", "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n"), ProviderStatus::kOk,
       ""},
      {Answer(200, "date,close\n"), ProviderStatus::kOk, ""},
  };
  for (const Case& c : cases) {
    const ProviderOutcome o = QuoteProvider::CommonOutcome(c.answer);
    EXPECT_EQ(o.status, c.status) << c.answer.status << " " << c.answer.body;
    EXPECT_EQ(o.reason, c.reason);
  }
}

TEST(CommonOutcome, RetryAfterOfTheFinalAnswerInSeconds) {
  const auto retryAfter = [](const std::string& headers) {
    return QuoteProvider::CommonOutcome(Answer(429, "", headers)).retryAfterSeconds;
  };
  EXPECT_EQ(retryAfter("HTTP/1.1 429 Too Many\r\nRETRY-AFTER:  30 \r\n\r\n"), 30);
  EXPECT_EQ(retryAfter("HTTP/1.1 429 Too Many\r\n\r\n"), -1);
  EXPECT_EQ(retryAfter("HTTP/1.1 429 X\r\nRetry-After: Wed, 21 Oct 2026 07:28:00 GMT\r\n\r\n"), -1);
  EXPECT_EQ(retryAfter("HTTP/1.1 429 X\r\nRetry-After: 99999999999999999999\r\n\r\n"), 86400);
  // After a redirect only the final answer's header counts.
  EXPECT_EQ(retryAfter("HTTP/1.1 302 Found\r\nRetry-After: 5\r\n\r\nHTTP/1.1 429 X\r\n\r\n"), -1);
  EXPECT_EQ(
      retryAfter("HTTP/1.1 302 Found\r\n\r\nHTTP/1.1 429 X\r\nX-Retry-After: 1\r\nRetry-After: 7\r\n\r\n"),
      7);
}

TEST(ProviderTime, NewYorkSwitchesAtTwoInTheMorningLocalTime) {
  EXPECT_EQ(NewYorkUtcOffsetSeconds(1772953200 - 1), -5 * 3600);  // 8 March 2026, 1:59:59 EST
  EXPECT_EQ(NewYorkUtcOffsetSeconds(1772953200), -4 * 3600);      // 3:00 EDT
  EXPECT_EQ(NewYorkUtcOffsetSeconds(1793512800 - 1), -4 * 3600);  // 1 November 2026, 1:59:59 EDT
  EXPECT_EQ(NewYorkUtcOffsetSeconds(1793512800), -5 * 3600);      // 1:00 EST again

  for (const std::int64_t days : {-25567, -1, 0, 59, 19000, 47482}) {
    const ProviderDate d = DateOfDays(days);
    EXPECT_TRUE(IsCalendarDate(d));
    EXPECT_EQ(DaysSinceEpoch(d), days);
  }
  EXPECT_EQ(DateOfDays(-1).key(), 19691231);
  EXPECT_FALSE(IsCalendarDate({2023, 2, 29}));
  EXPECT_TRUE(IsCalendarDate({2024, 2, 29}));

  std::int64_t t = 0;
  EXPECT_TRUE(ReadIsoTimestamp("2026-12-07T16:00:00-05:00", t));
  EXPECT_EQ(t, 1796677200);
  EXPECT_TRUE(ReadIsoTimestamp("2026-12-07T21:00:00.5Z", t));
  EXPECT_EQ(t, 1796677200);
  EXPECT_TRUE(ReadIsoTimestamp("2026-12-08T02:30+0530", t));
  EXPECT_EQ(t, 1796677200);
  for (const char* bad : {"2026-12-07", "2026-12-07T25:00:00Z", "2026-02-30T10:00:00Z",
                          "2026-12-07T16:00:00 EST", "2026-12-07T16:00:00-05"})
    EXPECT_FALSE(ReadIsoTimestamp(bad, t)) << bad;
}

// Every reader stops at the 65th nested container; 64 levels still read.
TEST(ProviderAnswers, NestingDeeperThanSixtyFourIsNoJson) {
  const auto yahoo = MakeQuoteProvider(ProviderId::kYahooChart, {});
  const auto finnhub = MakeQuoteProvider(ProviderId::kFinnhub, {"", "k", ""});
  for (const int depth : {64, 65}) {
    std::string objects = "1";
    for (int i = 0; i < depth; ++i) objects = "{\"a\":" + objects + "}";
    const std::string arrays = std::string(depth, '[') + std::string(depth, ']');
    EXPECT_EQ(yahoo->ReadHistory(Answer(200, arrays)).outcome.reason,
              depth == 64 ? "no chart in the answer" : "no JSON");
    EXPECT_EQ(finnhub->ReadQuotes(Answer(200, objects)).outcome.reason,
              depth == 64 ? "a quote of zeros" : "no quote object");
  }
}

}  // namespace
}  // namespace velmora
