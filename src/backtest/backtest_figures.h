#pragma once

#include <span>

#include "backtest/backtest.h"

namespace velmora {

// The trade figures of closed trades, added up over one security or many.
struct TradeTally {
  int trades = 0;
  int wins = 0;
  int losses = 0;
  double winSum = 0;
  double lossSum = 0;  // negative

  void Add(std::span<const BacktestTrade> trades);
  // trades, wins, losses, winShare, averageWin, averageLoss, profitFactor.
  void Finish(BacktestSummary& s) const;
};

// The deepest fall of an account below its earlier peak, the start
// included, as a share of that peak.
class DrawdownTracker {
 public:
  explicit DrawdownTracker(double start) : peak_(start) {}
  void Add(double value) {
    if (value > peak_) peak_ = value;
    if (peak_ > 0 && (peak_ - value) / peak_ > deepest_) deepest_ = (peak_ - value) / peak_;
  }
  double deepest() const { return deepest_; }

 private:
  double peak_;
  double deepest_ = 0;
};

// totalReturn, annualReturn, maxDrawdown and timeInMarket from the
// summary's bars, dates, barsHeld, capital and finalEquity.
void FinishAccountFigures(BacktestSummary& s, const DrawdownTracker& drawdown);

}  // namespace velmora
