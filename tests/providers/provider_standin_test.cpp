// The three adapters over the real stand-in service and libcurl: what each
// provider's answer makes of a history and a quote is what the classic
// service's rows and records make of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "providers/provider.h"
#include "providers/provider_bars.h"
#include "providers/provider_fetch.h"
#include "quotes/quote_services.h"
#include "support/log_lines.h"
#include "support/standin_config.h"
#include "support/test_support.h"

namespace velmora {
namespace {

class ProvidersOverStandin : public test::InTempDir, public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(standin_.ok()); }

  std::unique_ptr<QuoteProvider> Provider(ProviderId id) {
    return MakeQuoteProvider(id, {standin_.baseUrl(), "k", ""});
  }

  // A history through one provider.
  velmora::ProviderHistory History(ProviderId id, const char* symbol) {
    const auto provider = Provider(id);
    const ProviderAnswer answer = FetchProviderAnswer(
        provider->HistoryRequest(provider->MapSymbol(symbol), {2014, 1, 2}, {2018, 12, 31}, 'd'), session_,
        symbol);
    velmora::ProviderHistory history = provider->ReadHistory(answer);
    EXPECT_EQ(history.outcome.status, ProviderStatus::kOk)
        << ProviderName(id) << ": " << history.outcome.reason;
    return history;
  }

  test::StandinServer standin_{{"--now", "2026-12-03T12:00"}};
  InternetSession session_;
};

TEST_F(ProvidersOverStandin, HistoryBarsAreTheClassicBars) {
  // CSCO splits in these years (the close then twice its adjusted close).
  std::vector<QuoteBar> classic(kHistoryCapacity), provided(kHistoryCapacity);
  const SystemConfig config = test::StandinConfig(standin_.baseUrl());
  const int next = LoadHistoryQuote("CSCO", 'd', 2014, 1, 2, 2018, 12, 31, session_, kHistoryCapacity,
                                    classic.data(), config);
  ASSERT_EQ(next, kHistoryCapacity);
  for (const ProviderId id : {ProviderId::kYahooChart, ProviderId::kTiingo}) {
    const velmora::ProviderHistory history = History(id, "CSCO");
    ASSERT_GE(history.bars.size(), static_cast<std::size_t>(next - 1)) << ProviderName(id);
    // Rows the classic reader scales to their adjusted close are among those stored.
    EXPECT_GT(std::count_if(history.bars.end() - (next - 1), history.bars.end(),
                            [](const ProviderBar& b) { return b.close > 1.1 * b.adjClose; }),
              100);
    ASSERT_EQ(StoreProviderBars(history.bars, "CSCO", kHistoryCapacity, provided.data()), next)
        << ProviderName(id);
    for (int i = 0; i < next; ++i) {
      ASSERT_STREQ(provided[i].date, classic[i].date) << ProviderName(id) << " " << i;
      ASSERT_EQ(provided[i].open, classic[i].open) << provided[i].date;
      ASSERT_EQ(provided[i].high, classic[i].high) << provided[i].date;
      ASSERT_EQ(provided[i].low, classic[i].low) << provided[i].date;
      ASSERT_EQ(provided[i].close, classic[i].close) << provided[i].date;
      ASSERT_EQ(provided[i].volume, classic[i].volume) << provided[i].date;
    }
  }
}

TEST_F(ProvidersOverStandin, QuoteOnTheCurrentBarIsTheClassicQuote) {
  QuoteBar start;
  start.SetDate("2-Dec-26");
  start.close = 100;
  start.high = start.low = start.open = 100;
  start.volume = 1;
  QuoteBar classic = start;
  ASSERT_EQ(LoadRealTimeQuote("MSFT", session_, {&classic, nullptr, nullptr},
                              test::StandinConfig(standin_.baseUrl())),
            1);
  for (const ProviderId id : {ProviderId::kYahooChart, ProviderId::kTiingo, ProviderId::kFinnhub}) {
    SCOPED_TRACE(ProviderName(id));
    const auto provider = Provider(id);
    const ProviderQuotes quotes = provider->ReadQuotes(
        FetchProviderAnswer(provider->QuoteRequest({provider->MapSymbol("MSFT")}), session_, "MSFT"));
    ASSERT_EQ(quotes.outcome.status, ProviderStatus::kOk) << quotes.outcome.reason;
    ASSERT_EQ(quotes.quotes.size(), 1u);
    QuoteBar bar = start;
    ASSERT_TRUE(ApplyProviderQuote(quotes.quotes[0], "MSFT", bar));
    // The classic record is dated by this machine's day; the provider's by
    // the quote's own time in New York.
    EXPECT_STREQ(bar.date, "12/3/2026");
    EXPECT_STREQ(bar.time, classic.time);
    EXPECT_EQ(bar.close, classic.close);
    EXPECT_EQ(bar.change, classic.change);
    EXPECT_EQ(bar.changePercent, classic.changePercent);
    EXPECT_EQ(bar.open, classic.open);  // the chart's from the bar of the quote's day
    EXPECT_EQ(bar.high, classic.high);
    EXPECT_EQ(bar.low, classic.low);
    EXPECT_EQ(bar.volume, id == ProviderId::kFinnhub ? start.volume : classic.volume);  // Finnhub has none
  }
}

}  // namespace
}  // namespace velmora
