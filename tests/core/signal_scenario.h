#pragma once

// Hand-built series for the signal rules: only the fields they read are set.

#include <string>
#include <vector>

#include "core/signal_engine.h"
#include "support/engine_fixtures.h"

namespace velmora::test {

// Every bar starts quiet: open 10, high 11, low 9, close 10, inside the
// levels, every average at 5 (below the prices, not aligned), no change.
// Bar n - 2 opens the first up segment, as the trend stage's seeding does.
class Scenario {
 public:
  explicit Scenario(int n) : bars(static_cast<std::size_t>(n)) {
    for (QuoteBar& b : bars) {
      b.open = 10;
      b.high = 11;
      b.low = 9;
      b.close = 10;
      b.ema5 = b.ema10 = b.ema20 = b.ema50 = b.ema100 = b.ema200 = 5;
      b.upperBreak = 10;
      b.lowerBreak = 9;
    }
    if (n >= 2) change(n - 2, kUp);
  }

  QuoteBar& operator[](int i) { return bars[static_cast<std::size_t>(i)]; }

  // Bar i confirms a change to `trend` and opens a segment.
  Scenario& change(int i, int trend) {
    (*this)[i].trendChanged = 1;
    (*this)[i].trend = trend;
    return *this;
  }

  // A buy candidate: breaks above the levels.
  Scenario& upBreak(int i, double close) {
    (*this)[i].breakState = kUp;
    (*this)[i].close = close;
    if ((*this)[i].high < close) (*this)[i].high = close;
    return *this;
  }

  Scenario& downBreak(int i, double close) {
    (*this)[i].breakState = kDown;
    (*this)[i].close = close;
    if ((*this)[i].low > close) (*this)[i].low = close;
    return *this;
  }

  Scenario& averages(int i, double e5, double e10, double e20, double e50, double e100, double e200) {
    QuoteBar& b = (*this)[i];
    b.ema5 = e5;
    b.ema10 = e10;
    b.ema20 = e20;
    b.ema50 = e50;
    b.ema100 = e100;
    b.ema200 = e200;
    return *this;
  }

  // Full computation; returns the marks, newest bar first.
  std::string run(bool isIndex = false, int confirmDays = 2) {
    settle();
    computeSignals(isIndex, false, static_cast<int>(bars.size()) - 1, 0, bars, state, confirmDays);
    return Marks(bars);
  }

  std::vector<QuoteBar> bars;
  SignalState state;

 private:
  // trend and barsSinceChange follow the changes, oldest bar first.
  void settle() {
    const int n = static_cast<int>(bars.size());
    for (int i = n - 1; i >= 0; --i) {
      QuoteBar& b = (*this)[i];
      if (b.trendChanged) {
        b.barsSinceChange = 0;
      } else if (i < n - 1) {
        b.trend = (*this)[i + 1].trend;
        b.barsSinceChange = (*this)[i + 1].barsSinceChange + 1;
      }
    }
  }
};

}  // namespace velmora::test
