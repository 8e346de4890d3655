// The walk forward against its definition (one full computation per day)
// on three years of the stand-in quote service's generated prices, loaded
// through the program's own history requests.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "backtest/backtest_series.h"
#include "backtest/walk_forward.h"
#include "quotes/quote_services.h"
#include "support/standin_config.h"
#include "support/test_support.h"

namespace velmora {
namespace {

TEST(WalkForwardOnStandinSeries, EqualsOneFullComputationPerDay) {
  test::StandinServer server({"--now", "2025-06-02T17:00"});
  ASSERT_TRUE(server.ok()) << "quote-standin did not start";
  InternetSession session;
  const SystemConfig config = test::StandinConfig(server.baseUrl());
  auto series = std::make_unique<QuoteSeries>();
  // Stocks with splits and dividends, and an index.
  for (const char* symbol : {"MSFT", "KO", "^GSPC"}) {
    SCOPED_TRACE(symbol);
    const int next = LoadHistoryQuote(symbol, 'd', 2022, 6, 2, 2025, 6, 2, session, kHistoryCapacity,
                                      series->data(), config);
    ASSERT_GT(next, 700);
    // Slot 0 repeats the newest row for today's quote; the history follows.
    const std::span<const QuoteBar> bars(series->data() + 1, static_cast<std::size_t>(next - 1));
    const bool isIndex = symbol[0] == '^';
    for (const int confirmDays : {2, 3}) {
      const std::vector<char> walked = WalkForwardMarks(bars, isIndex, confirmDays);
      EXPECT_EQ(test::MarkText(walked), test::MarkText(test::NaiveMarks(bars, isIndex, confirmDays)));
      EXPECT_NE(test::MarkText(walked).find('B'), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace velmora
