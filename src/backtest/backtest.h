#pragma once

#include <span>
#include <vector>

#include "core/quote_bar.h"

namespace velmora {

// How the marks are traded.
//
// Every trade puts the whole account in: it buys (or sells short) as many
// shares, fractions included, as the account less the entry commission
// pays for. The commission is money, taken from the account at the entry
// and again at the exit, so it weighs more on a small account than on a
// large one; `capital` is what each security's account starts with.
// Slippage moves every fill against the trader: a purchase pays the open
// times (1 + bp / 10000), a sale gets the open times (1 - bp / 10000).
struct BacktestOptions {
  int confirmDays = 2;      // the trend confirmation delay of the marks
  bool isIndex = false;     // marks as for a market index (no average-distance filter)
  bool allowShort = false;  // a sell also opens a short position, a buy covers it
  double commission = 0;    // money per fill
  double slippageBp = 5;    // basis points per fill
  double capital = 10000;   // the account each security starts with
};

enum class TradeSide { kLong, kShort };

// One round trip. Bars are series indices (0 newest); dates are the bars'
// date keys (year * 10000 + month * 100 + day).
struct BacktestTrade {
  TradeSide side = TradeSide::kLong;
  int signalBar = 0;  // the bar whose mark opened it
  int entryBar = 0;   // entered at this bar's open
  int exitBar = 0;    // left at this bar's open; for an open trade, the last bar
  int signalDate = 0;
  int entryDate = 0;
  int exitDate = 0;
  double entryPrice = 0;       // per share, slippage included
  double exitPrice = 0;        // per share, slippage included; an open trade's last close
  double returnOnAccount = 0;  // account after / account before - 1, commissions included
  int barsHeld = 0;            // closes with the position held
  bool open = false;           // still held at the last bar, valued at its close
};

// The figures of one account (or of the pooled list, see PoolBacktests).
// Returns and shares are fractions (0.05 is 5 %). Trade figures count
// closed trades only; the open position counts in the account's figures.
struct BacktestSummary {
  int bars = 0;       // bars of the span (pooled: of every span)
  int firstDate = 0;  // date key of the span's first bar
  int lastDate = 0;   // and of its last
  int trades = 0;     // closed trades
  int wins = 0;       // closed trades that made money
  int losses = 0;     // and that lost some
  int openPositions = 0;
  int barsHeld = 0;
  double winShare = 0;
  double averageWin = 0;   // mean return of the winning trades
  double averageLoss = 0;  // mean return of the losing trades (negative)
  // Sum of the winning returns over the sum of the losing ones (as a
  // positive number): infinite with wins and no loss, 0 without wins.
  double profitFactor = 0;
  double capital = 0;      // the account at the start (pooled: of every account)
  double finalEquity = 0;  // and at the last close, an open position at that close
  double totalReturn = 0;
  double annualReturn = 0;  // compounded per calendar year of 365.25 days
  double maxDrawdown = 0;   // deepest fall of the closing account below an earlier peak, per peak
  double timeInMarket = 0;  // share of the closes with a position held
  // Bought at the first close with the same entry costs, held to the last
  // close (pooled: the mean over the securities).
  double buyAndHold = 0;
};

// The account at one bar's close.
struct EquityPoint {
  int date = 0;  // date key
  double value = 0;
};

struct BacktestResult {
  std::vector<BacktestTrade> trades;  // in time order; an open one last
  BacktestSummary summary;
  std::vector<EquityPoint> equity;  // one per bar of the span, oldest first
};

// The bars a back-test trades in: series indices from `oldest` down to
// `newest` (0 newest). The marks still come from all the bars older than
// each day, inside the span or not.
struct BarSpan {
  int oldest = 0;
  int newest = 0;
};

// The whole series traded: marks walked forward, then traded (below).
BacktestResult RunBacktest(std::span<const QuoteBar> bars, const BacktestOptions& options);
// Only the bars of `span` traded.
BacktestResult RunBacktest(std::span<const QuoteBar> bars, const BacktestOptions& options, BarSpan span);

// Trades marks that are already known (WalkForwardMarks of the same bars,
// one per bar) over `span`: a caller that tries several spans or costs on
// one security walks once. A mark on day t acts at the open of day t - 1:
// a buy opens a long position (or, while short, covers it and goes long),
// a sell closes a long one (and with `allowShort` goes short); a mark that
// asks for the position already held, and a mark on the span's last bar,
// do nothing. An account no longer above the commission opens nothing.
// An open or a close of 0 or less is no price: the fill then takes the
// previous close. A span beyond the bars is cut to them.
BacktestResult TradeMarks(std::span<const QuoteBar> bars, std::span<const char> marks,
                          const BacktestOptions& options, BarSpan span);

// The securities as one account of their accounts side by side: trades
// pooled, the account's value the sum of theirs on each date (an account
// holds its capital before its first bar and its last value after its
// last), buy and hold their mean. Empty results take no part.
BacktestSummary PoolBacktests(std::span<const BacktestResult> results);

// Whole days from one date key to another (negative when earlier).
int DaysBetween(int fromDate, int toDate);

}  // namespace velmora
