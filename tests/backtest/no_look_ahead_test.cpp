// No decision uses a later price: for every day k, the trades that the
// back-test over the bars up to k has opened and closed are exactly the
// first trades of the back-test over the whole series.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backtest/backtest.h"
#include "backtest_series.h"

namespace velmora {
namespace {

std::string describe(const BacktestTrade& t, int shift) {
  return std::to_string(t.entryBar + shift) + "->" + std::to_string(t.exitBar + shift) +
         (t.side == TradeSide::kLong ? " long " : " short ") + std::to_string(t.entryPrice) + " " +
         std::to_string(t.exitPrice) + " " + std::to_string(t.returnOnAccount);
}

// The closed trades as text, bars numbered in the whole series.
std::string closedTrades(const BacktestResult& r, int shift, int newestExit) {
  std::string text;
  for (const BacktestTrade& t : r.trades)
    if (!t.open && t.exitBar + shift >= newestExit) text += describe(t, shift) + "\n";
  return text;
}

// The first day whose back-test disagrees with the whole one (-1: none).
int firstDisagreement(std::span<const QuoteBar> bars, const BacktestOptions& o, std::string& detail) {
  const BacktestResult whole = RunBacktest(bars, o);
  for (int k = static_cast<int>(bars.size()) - 1; k >= 0; --k) {
    const BacktestResult known = RunBacktest(bars.subspan(static_cast<std::size_t>(k)), o);
    const std::string upToK = closedTrades(known, k, k);
    const std::string firstOfWhole = closedTrades(whole, 0, k);
    if (upToK != firstOfWhole) {
      detail = "up to bar " + std::to_string(k) + " (" + bars[static_cast<std::size_t>(k)].date + "):\n" +
               upToK + "whole series:\n" + firstOfWhole;
      return k;
    }
  }
  return -1;
}

TEST(NoLookAhead, EveryDaysTradesAreTheFirstTradesOfTheWhole) {
  BacktestOptions withCosts;
  withCosts.commission = 7.5;
  BacktestOptions shortSide;
  shortSide.allowShort = true;
  shortSide.confirmDays = 3;
  // Seed 7's marks differ from those of one full computation on four bars.
  for (const std::uint32_t seed : {7u, 3u, 28u}) {
    const auto bars = test::DatedMarketBars(1095, seed);
    for (const BacktestOptions& o : {withCosts, shortSide}) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << (o.allowShort ? ", short side" : ""));
      ASSERT_GT(RunBacktest(bars, o).summary.trades, 10);
      std::string detail;
      EXPECT_EQ(firstDisagreement(bars, o, detail), -1) << detail;
    }
  }
}

TEST(NoLookAhead, HoldsOnTheSp500) {
  const auto sp500 = test::Sp500Bars();
  if (sp500.empty()) GTEST_SKIP() << "no S&P 500 test data (scripts/fetch-test-data.sh)";
  BacktestOptions o;
  o.isIndex = true;
  o.allowShort = true;
  for (const std::size_t skip : {std::size_t{0}, sp500.size() - 2400}) {
    const auto bars = std::span<const QuoteBar>(sp500).subspan(skip, kHistoryCapacity);
    SCOPED_TRACE(bars[0].date);
    std::string detail;
    EXPECT_EQ(firstDisagreement(bars, o, detail), -1) << detail;
  }
}

}  // namespace
}  // namespace velmora
