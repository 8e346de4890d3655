#include "backtest/backtest_figures.h"

#include <cmath>
#include <limits>

namespace velmora {

namespace {

// Days since 1 March of year 0 in the proleptic Gregorian calendar (any
// fixed origin serves a difference).
long long dayNumber(int dateKey) {
  long long y = dateKey / 10000;
  const int m = dateKey / 100 % 100;
  const int d = dateKey % 100;
  if (m <= 2) --y;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yearOfEra = y - era * 400;
  const long long dayOfYear = (153LL * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra;
}

}  // namespace

int DaysBetween(int fromDate, int toDate) {
  return static_cast<int>(dayNumber(toDate) - dayNumber(fromDate));
}

void TradeTally::Add(std::span<const BacktestTrade> list) {
  for (const BacktestTrade& t : list) {
    if (t.open) continue;
    ++trades;
    if (t.returnOnAccount > 0) {
      ++wins;
      winSum += t.returnOnAccount;
    } else if (t.returnOnAccount < 0) {
      ++losses;
      lossSum += t.returnOnAccount;
    }
  }
}

void TradeTally::Finish(BacktestSummary& s) const {
  s.trades = trades;
  s.wins = wins;
  s.losses = losses;
  s.winShare = trades > 0 ? static_cast<double>(wins) / trades : 0;
  s.averageWin = wins > 0 ? winSum / wins : 0;
  s.averageLoss = losses > 0 ? lossSum / losses : 0;
  if (wins == 0) {
    s.profitFactor = 0;
  } else {
    s.profitFactor = losses > 0 ? winSum / -lossSum : std::numeric_limits<double>::infinity();
  }
}

void FinishAccountFigures(BacktestSummary& s, const DrawdownTracker& drawdown) {
  s.totalReturn = s.capital > 0 ? s.finalEquity / s.capital - 1 : 0;
  const int days = DaysBetween(s.firstDate, s.lastDate);
  if (days <= 0) {
    s.annualReturn = 0;  // no time passed: no rate
  } else if (s.totalReturn <= -1) {
    s.annualReturn = -1;
  } else {
    s.annualReturn = std::pow(1 + s.totalReturn, 365.25 / days) - 1;
  }
  s.maxDrawdown = drawdown.deepest();
  s.timeInMarket = s.bars > 0 ? static_cast<double>(s.barsHeld) / s.bars : 0;
}

}  // namespace velmora
