#include <algorithm>
#include <vector>

#include "backtest/backtest.h"
#include "backtest/backtest_figures.h"

namespace velmora {

namespace {

// The accounts' summed value on every date any of them has a bar: each
// account's changes are added on the dates they happen, so an account holds
// its capital before its first bar and its last value after its last.
std::vector<double> pooledCurve(std::span<const BacktestResult> results, double capital) {
  std::vector<int> dates;
  for (const BacktestResult& r : results)
    for (const EquityPoint& p : r.equity) dates.push_back(p.date);
  std::sort(dates.begin(), dates.end());
  dates.erase(std::unique(dates.begin(), dates.end()), dates.end());
  std::vector<double> change(dates.size(), 0.0);
  for (const BacktestResult& r : results) {
    double previous = r.summary.capital;
    for (const EquityPoint& p : r.equity) {
      const auto at = std::lower_bound(dates.begin(), dates.end(), p.date) - dates.begin();
      change[static_cast<std::size_t>(at)] += p.value - previous;
      previous = p.value;
    }
  }
  double value = capital;
  for (double& c : change) {
    value += c;
    c = value;
  }
  return change;
}

}  // namespace

BacktestSummary PoolBacktests(std::span<const BacktestResult> results) {
  BacktestSummary s;
  TradeTally tally;
  int accounts = 0;
  double buyAndHold = 0;
  for (const BacktestResult& r : results) {
    if (r.equity.empty()) continue;
    const BacktestSummary& one = r.summary;
    tally.Add(r.trades);
    s.bars += one.bars;
    s.barsHeld += one.barsHeld;
    s.openPositions += one.openPositions;
    s.capital += one.capital;
    s.finalEquity += one.finalEquity;
    s.firstDate = accounts == 0 ? one.firstDate : std::min(s.firstDate, one.firstDate);
    s.lastDate = accounts == 0 ? one.lastDate : std::max(s.lastDate, one.lastDate);
    buyAndHold += one.buyAndHold;
    ++accounts;
  }
  if (accounts == 0) return s;
  tally.Finish(s);
  DrawdownTracker drawdown(s.capital);
  for (double value : pooledCurve(results, s.capital)) drawdown.Add(value);
  FinishAccountFigures(s, drawdown);
  s.buyAndHold = buyAndHold / accounts;
  return s;
}

}  // namespace velmora
