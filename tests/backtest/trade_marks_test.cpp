// Trading given marks, worked out by hand on a short series.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "backtest/backtest.h"

namespace velmora {
namespace {

struct Day {
  const char* date;
  double open, close;
};

// Eight days, oldest first. The first and last are a year apart, so the
// annual return is the total one stretched over 365 of 365.25 days.
const std::initializer_list<Day> kDays = {
    {"1/2/2018", 10.00, 10.00}, {"1/3/2018", 10.00, 11.00}, {"3/1/2018", 11.00, 12.00},
    {"6/1/2018", 12.00, 11.00}, {"8/1/2018", 11.00, 11.00}, {"10/1/2018", 11.00, 10.00},
    {"12/3/2018", 10.00, 9.00}, {"1/2/2019", 9.00, 9.50},
};

// The bars newest first; high and low just enclose open and close.
std::vector<QuoteBar> bars(std::initializer_list<Day> days = kDays) {
  std::vector<QuoteBar> out(days.size());
  std::size_t i = days.size();
  for (const Day& d : days) {
    QuoteBar& b = out[--i];
    b.SetDate(d.date);
    b.open = d.open;
    b.close = d.close;
    b.high = std::max(d.open, d.close) + 0.1;
    b.low = std::min(d.open, d.close) - 0.1;
    b.volume = 1000;
  }
  return out;
}

// Marks written oldest first ("B.S." is a buy on the first day), returned
// one per bar newest first.
std::vector<char> marks(const std::string& oldestFirst) {
  std::vector<char> out(oldestFirst.rbegin(), oldestFirst.rend());
  for (char& m : out) m = m == '.' ? 0 : m;
  return out;
}

BacktestResult trade(const std::string& marksOldestFirst, const BacktestOptions& options = {},
                     BarSpan span = {7, 0}) {
  return TradeMarks(bars(), marks(marksOldestFirst), options, span);
}

BacktestOptions noCosts() {
  BacktestOptions o;
  o.slippageBp = 0;
  return o;
}

constexpr double kTight = 1e-9;

TEST(TradeMarks, HandWorkedRoundTripsWithoutCosts) {
  // Buy on day 1, sell on day 3, buy on day 5, sell on day 7; each acts at
  // the next day's open.
  const BacktestResult r = trade("B.S.B.S.", noCosts());
  ASSERT_EQ(r.trades.size(), 2u);
  // 1: in at day 2's open 10.00 with 10,000 (1,000 shares), out at day 4's
  // open 12.00: 12,000, +20 %, held over the closes of days 2 and 3.
  const BacktestTrade& first = r.trades[0];
  EXPECT_EQ(first.side, TradeSide::kLong);
  EXPECT_EQ(first.signalBar, 7);
  EXPECT_EQ(first.entryBar, 6);
  EXPECT_EQ(first.exitBar, 4);
  EXPECT_EQ(first.entryDate, 20180103);
  EXPECT_EQ(first.exitDate, 20180601);
  EXPECT_DOUBLE_EQ(first.entryPrice, 10.00);
  EXPECT_DOUBLE_EQ(first.exitPrice, 12.00);
  EXPECT_NEAR(first.returnOnAccount, 0.20, kTight);
  EXPECT_EQ(first.barsHeld, 2);
  EXPECT_FALSE(first.open);
  // 2: in at day 6's open 11.00 with 12,000, out at day 8's open 9.00:
  // 12,000 * 9 / 11 = 9,818.18, a return of 9 / 11 - 1 = -18.18 %.
  EXPECT_NEAR(r.trades[1].returnOnAccount, 9.0 / 11 - 1, kTight);
  EXPECT_EQ(r.trades[1].barsHeld, 2);

  const BacktestSummary& s = r.summary;
  EXPECT_EQ(s.bars, 8);
  EXPECT_EQ(s.firstDate, 20180102);
  EXPECT_EQ(s.lastDate, 20190102);
  EXPECT_EQ(s.trades, 2);
  EXPECT_EQ(s.wins, 1);
  EXPECT_EQ(s.losses, 1);
  EXPECT_DOUBLE_EQ(s.winShare, 0.5);
  EXPECT_NEAR(s.averageWin, 0.20, kTight);
  EXPECT_NEAR(s.averageLoss, -2.0 / 11, kTight);
  // 0.20 won against 2 / 11 lost.
  EXPECT_NEAR(s.profitFactor, 1.1, kTight);
  // 10,000 * 1.2 * 9 / 11 = 9,818.18.
  EXPECT_NEAR(s.finalEquity, 10000 * 1.2 * 9 / 11, 1e-6);
  EXPECT_NEAR(s.totalReturn, 1.2 * 9 / 11 - 1, kTight);
  EXPECT_NEAR(s.annualReturn, std::pow(1.2 * 9 / 11, 365.25 / 365) - 1, kTight);
  // Closing values 10,000 11,000 12,000 12,000 12,000 10,909 9,818 9,818:
  // from the 12,000 peak down to 9,818, 2 / 11 of the peak.
  ASSERT_EQ(r.equity.size(), 8u);
  EXPECT_NEAR(r.equity[1].value, 11000, 1e-9);
  EXPECT_NEAR(r.equity[5].value, 12000.0 * 10 / 11, 1e-9);
  EXPECT_NEAR(s.maxDrawdown, 2.0 / 11, kTight);
  EXPECT_DOUBLE_EQ(s.timeInMarket, 4.0 / 8);
  // Bought at the first close 10.00, worth the last close 9.50.
  EXPECT_NEAR(s.buyAndHold, -0.05, kTight);
  EXPECT_EQ(s.openPositions, 0);
}

TEST(TradeMarks, HandWorkedCommissionAndSlippage) {
  BacktestOptions o;
  o.commission = 10;
  o.slippageBp = 5;  // fills 0.05 % against the trader
  const BacktestResult r = trade("B.S.B.S.", o);
  ASSERT_EQ(r.trades.size(), 2u);
  // 1: pays 10.00 * 1.0005 = 10.005 with 10,000 - 10; sells at
  // 12.00 * 0.9995 = 11.994 and pays 10 again.
  EXPECT_DOUBLE_EQ(r.trades[0].entryPrice, 10.005);
  EXPECT_DOUBLE_EQ(r.trades[0].exitPrice, 11.994);
  const double afterFirst = 9990 / 10.005 * 11.994 - 10;  // 11,966.02
  EXPECT_NEAR(r.trades[0].returnOnAccount, afterFirst / 10000 - 1, kTight);
  // 2: 11.00 * 1.0005 = 11.0055 in, 9.00 * 0.9995 = 8.9955 out.
  const double afterSecond = (afterFirst - 10) / 11.0055 * 8.9955 - 10;
  EXPECT_NEAR(r.trades[1].returnOnAccount, afterSecond / afterFirst - 1, kTight);
  EXPECT_NEAR(r.summary.totalReturn, afterSecond / 10000 - 1, kTight);
  // Buy and hold pays the same entry costs: (10,000 - 10) / 10.005 shares
  // worth 9.50 each at the end.
  EXPECT_NEAR(r.summary.buyAndHold, 9990 / 10.005 * 9.5 / 10000 - 1, kTight);
  // Costs only take away.
  EXPECT_LT(r.summary.totalReturn, trade("B.S.B.S.", noCosts()).summary.totalReturn);
}

TEST(TradeMarks, APositionStillHeldIsValuedAtTheLastClose) {
  // The buy of day 7 enters at day 8's open 9.00; day 8 closes at 9.50.
  const BacktestResult r = trade("......B.", noCosts());
  ASSERT_EQ(r.trades.size(), 1u);
  const BacktestTrade& t = r.trades[0];
  EXPECT_TRUE(t.open);
  EXPECT_EQ(t.exitBar, 0);
  EXPECT_EQ(t.exitDate, 20190102);
  EXPECT_DOUBLE_EQ(t.exitPrice, 9.50);
  EXPECT_NEAR(t.returnOnAccount, 9.5 / 9 - 1, kTight);
  EXPECT_EQ(t.barsHeld, 1);
  // It counts in the account but not among the closed trades.
  EXPECT_EQ(r.summary.openPositions, 1);
  EXPECT_EQ(r.summary.trades, 0);
  EXPECT_DOUBLE_EQ(r.summary.profitFactor, 0);
  EXPECT_NEAR(r.summary.totalReturn, 9.5 / 9 - 1, kTight);
  EXPECT_DOUBLE_EQ(r.summary.timeInMarket, 1.0 / 8);
}

TEST(TradeMarks, NoMarksNoTrades) {
  const BacktestResult r = trade("........");
  EXPECT_TRUE(r.trades.empty());
  const BacktestSummary& s = r.summary;
  EXPECT_EQ(s.trades, 0);
  EXPECT_DOUBLE_EQ(s.winShare, 0);
  EXPECT_DOUBLE_EQ(s.profitFactor, 0);
  EXPECT_DOUBLE_EQ(s.totalReturn, 0);
  EXPECT_DOUBLE_EQ(s.annualReturn, 0);
  EXPECT_DOUBLE_EQ(s.maxDrawdown, 0);
  EXPECT_DOUBLE_EQ(s.timeInMarket, 0);
  EXPECT_NEAR(s.buyAndHold, 9.5 / (10 * 1.0005) - 1, kTight);  // the default 5 bp on the purchase
}

TEST(TradeMarks, MarksThatAskForNothingNewDoNothing) {
  // A sell while flat (day 1), a second buy while long (day 4), a sell
  // when already out (day 7) and a buy on the last day.
  const BacktestResult r = trade("SB.B.SSB", noCosts());
  ASSERT_EQ(r.trades.size(), 1u);
  EXPECT_EQ(r.trades[0].entryDate, 20180301);  // day 2's buy, at day 3's open
  EXPECT_EQ(r.trades[0].exitDate, 20181203);   // day 6's sell, at day 7's open
  EXPECT_FALSE(r.trades[0].open);
}

TEST(TradeMarks, HandWorkedShortSide) {
  BacktestOptions o = noCosts();
  o.allowShort = true;
  const BacktestResult r = trade("B.S.B.S.", o);
  ASSERT_EQ(r.trades.size(), 4u);
  // Long 10 -> 12 (+20 %, 12,000); each sell and buy after that turns the
  // position round at the next open.
  EXPECT_NEAR(r.trades[0].returnOnAccount, 0.20, kTight);
  // Short 1,000 shares at 12.00, covered at 11.00: 13,000, +1 / 12.
  EXPECT_EQ(r.trades[1].side, TradeSide::kShort);
  EXPECT_EQ(r.trades[1].entryDate, 20180601);
  EXPECT_EQ(r.trades[1].exitDate, 20181001);
  EXPECT_NEAR(r.trades[1].returnOnAccount, 1.0 / 12, kTight);
  // Long 11 -> 9: 13,000 * 9 / 11 = 10,636.36.
  EXPECT_NEAR(r.trades[2].returnOnAccount, 9.0 / 11 - 1, kTight);
  // Short at 9.00, still open at the close of 9.50: -0.50 / 9.
  EXPECT_EQ(r.trades[3].side, TradeSide::kShort);
  EXPECT_TRUE(r.trades[3].open);
  EXPECT_NEAR(r.trades[3].returnOnAccount, -0.5 / 9, kTight);

  const BacktestSummary& s = r.summary;
  EXPECT_EQ(s.trades, 3);
  EXPECT_EQ(s.wins, 2);
  EXPECT_NEAR(s.profitFactor, (0.20 + 1.0 / 12) / (2.0 / 11), kTight);
  // 10,000 * 1.2 * 13 / 12 * 9 / 11 * 17 / 18 = 10,045.45.
  const double end = 10000 * 1.2 * 13 / 12 * 9 / 11 * 17 / 18;
  EXPECT_NEAR(s.totalReturn, end / 10000 - 1, kTight);
  // The peak is 13,000 (short, day 4 closing at 11); the end is the low.
  EXPECT_NEAR(s.maxDrawdown, 1 - end / 13000, kTight);
  EXPECT_DOUBLE_EQ(s.timeInMarket, 7.0 / 8);
}

TEST(TradeMarks, OnlyTheSpanIsTraded) {
  // Days 3 to 6: day 3's sell finds no position; day 5's buy enters at day
  // 6's open 11.00 and is still held at day 6's close of 10.00. Day 1's buy
  // lies before the span and does nothing in it.
  const BacktestResult r = trade("B.S.B.S.", noCosts(), BarSpan{5, 2});
  ASSERT_EQ(r.trades.size(), 1u);
  EXPECT_TRUE(r.trades[0].open);
  EXPECT_EQ(r.trades[0].exitBar, 2);
  EXPECT_NEAR(r.trades[0].returnOnAccount, 10.0 / 11 - 1, kTight);
  EXPECT_EQ(r.summary.bars, 4);
  EXPECT_EQ(r.summary.firstDate, 20180301);
  EXPECT_EQ(r.summary.lastDate, 20181001);
  EXPECT_NEAR(r.summary.buyAndHold, 10.0 / 12 - 1, kTight);
  // A span beyond the bars is cut to them; an empty one trades nothing.
  EXPECT_EQ(trade("B.S.B.S.", noCosts(), BarSpan{100, -3}).summary.bars, 8);
  EXPECT_TRUE(trade("B.S.B.S.", noCosts(), BarSpan{2, 5}).equity.empty());
}

TEST(TradeMarks, ABarWithoutAnOpenFillsAtThePreviousClose) {
  auto b = bars();
  b[6].open = 0;  // day 2
  const BacktestResult r = TradeMarks(b, marks("B.S....."), noCosts(), BarSpan{7, 0});
  ASSERT_EQ(r.trades.size(), 1u);
  EXPECT_DOUBLE_EQ(r.trades[0].entryPrice, 10.00);  // day 1's close
}

TEST(TradeMarks, AnAccountEatenByCommissionsStopsTrading) {
  BacktestOptions o = noCosts();
  o.capital = 100;
  o.commission = 60;  // the first round trip leaves less than one commission
  const BacktestResult r = trade("B.S.B.S.", o);
  ASSERT_EQ(r.trades.size(), 1u);
  EXPECT_NEAR(r.summary.finalEquity, 40 * 1.2 - 60, 1e-9);
}

// Three accounts side by side: the one of the hand-worked round trips, one
// that starts on day 4 and one that ends on day 3.
TEST(PoolBacktests, AddsTheAccountsDateByDate) {
  const BacktestResult a = trade("B.S.B.S.", noCosts());
  // Days 4 to 8: in at 11.00 on day 6, out at 9.00 on day 8.
  const BacktestResult late = trade("B.S.B.S.", noCosts(), BarSpan{4, 0});
  // Days 1 to 3: in at 10.00 on day 2, still held at day 3's close 12.00.
  const BacktestResult early = trade("B.S.B.S.", noCosts(), BarSpan{7, 5});
  const BacktestResult none;  // a security that gave no bars
  const std::vector<BacktestResult> list{a, late, early, none};
  const BacktestSummary s = PoolBacktests(list);
  EXPECT_EQ(s.bars, 8 + 5 + 3);
  EXPECT_EQ(s.trades, 3);
  EXPECT_EQ(s.wins, 1);
  EXPECT_EQ(s.losses, 2);
  EXPECT_EQ(s.openPositions, 1);
  EXPECT_NEAR(s.profitFactor, 0.20 / (4.0 / 11), kTight);
  EXPECT_NEAR(s.averageLoss, -2.0 / 11, kTight);
  EXPECT_EQ(s.firstDate, 20180102);
  EXPECT_EQ(s.lastDate, 20190102);
  // Summed closing values, the late account holding 10,000 until day 4
  // and the early one its 12,000 from day 3 on:
  //   20,000 + 10,000, 21,000 + 11,000, 22,000 + 12,000 ... then
  //   day 6: 10,909 + 9,091 + 12,000 = 32,000, day 7: 9,818 + 8,182 + 12,000.
  const double end = 10000 * 1.2 * 9 / 11 + 10000 * 9.0 / 11 + 12000;
  EXPECT_NEAR(s.capital, 30000, 1e-9);
  EXPECT_NEAR(s.finalEquity, end, 1e-6);
  EXPECT_NEAR(s.totalReturn, end / 30000 - 1, kTight);
  EXPECT_NEAR(s.maxDrawdown, 1 - end / 34000, kTight);
  EXPECT_NEAR(s.timeInMarket, (4.0 + 2 + 2) / 16, kTight);
  EXPECT_NEAR(s.buyAndHold, (-0.05 + (9.5 / 11 - 1) + (12.0 / 10 - 1)) / 3, kTight);

  EXPECT_EQ(PoolBacktests(std::vector<BacktestResult>{none}).bars, 0);
}

}  // namespace
}  // namespace velmora
