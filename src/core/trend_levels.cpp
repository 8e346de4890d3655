#include "core/trend_levels.h"

#include <cmath>

namespace velmora {

namespace {

// The break test compares prices in whole thousandths, truncated toward
// zero. Kept in a double: exact for every price, and no integer overflow.
inline double thousandths(double price) { return std::trunc(price * 1000.0); }

inline double larger(double a, double b) { return a > b ? a : b; }
inline double smaller(double a, double b) { return a < b ? a : b; }

// The oldest two bars of a full computation start the levels: inside, trend
// up, and the second of them opens the first (up) segment.
void seedLevels(QuoteBar& oldest, QuoteBar& next) {
  const double upper = larger(oldest.high, next.high);
  const double lower = larger(oldest.low, next.low);
  for (QuoteBar* bar : {&oldest, &next}) {
    bar->upperBreak = upper;
    bar->lowerBreak = lower;
    bar->breakState = kInside;
    bar->trend = kUp;
    bar->barsSinceChange = 0;
  }
  oldest.trendChanged = 0;
  next.trendChanged = 1;
}

void applySupportRule(QuoteBar& bar, const QuoteBar& p) {
  if (bar.low > p.lowerBreak) bar.lowerBreak = smaller(larger(p.lowerBreak, p.low), bar.low);
}

void applyResistanceRule(QuoteBar& bar, const QuoteBar& p) {
  if (bar.high < p.upperBreak) bar.upperBreak = larger(smaller(p.upperBreak, p.high), bar.high);
}

void breakTest(QuoteBar& bar, const QuoteBar& p) {
  const double c = thousandths(bar.close);
  if (c > thousandths(p.upperBreak)) {
    bar.breakState = kUp;
    bar.upperBreak = bar.high;
    applySupportRule(bar, p);
  } else if (c < thousandths(p.lowerBreak)) {
    bar.breakState = kDown;
    bar.lowerBreak = bar.low;
    applyResistanceRule(bar, p);
  } else {
    bar.breakState = kInside;
    applySupportRule(bar, p);
    applyResistanceRule(bar, p);
  }
}

// A falling bar that opened well above its close, or above the previous
// bar's body, keeps resistance at least at its own high.
void bearishBarRule(QuoteBar& bar, const QuoteBar& p) {
  if (bar.close < bar.open && bar.close < p.close &&
      ((bar.open - bar.close) / bar.open > 0.025 || bar.open > larger(p.open, p.close))) {
    bar.upperBreak = larger(bar.upperBreak, bar.high);
  }
}

void confirm(QuoteBar& bar, const QuoteBar& p, double confirmingClose) {
  bar.trendChanged = 0;
  bar.trend = p.trend;
  if (p.trend == kUp && bar.breakState == kDown) {
    if (confirmingClose < p.lowerBreak) {
      bar.trendChanged = 1;
      bar.trend = kDown;
    } else {
      bar.lowerBreak = p.lowerBreak;
    }
  } else if (p.trend == kDown && bar.breakState == kUp) {
    if (confirmingClose > p.upperBreak) {
      bar.trendChanged = 1;
      bar.trend = kUp;
    } else {
      bar.upperBreak = p.upperBreak;
    }
  }
  bar.barsSinceChange = bar.trendChanged ? 0 : p.barsSinceChange + 1;
}

}  // namespace

void computeTrendLevels(const SeriesRange& r, int confirmDays) {
  if (r.start - r.end < 2) return;
  int i = r.start;
  if (!r.incremental) {
    seedLevels(r.bars[i], r.bars[i - 1]);
    i -= 2;
  }
  for (; i >= r.end; --i) {
    QuoteBar& bar = r.bars[i];
    const QuoteBar& p = r.at(i + 1);
    bar.upperBreak = p.upperBreak;
    bar.lowerBreak = p.lowerBreak;
    breakTest(bar, p);
    bearishBarRule(bar, p);
    // The bar that confirms: confirmDays bars later, or the newest bar when
    // the series does not reach that far (always with confirmDays 0).
    const int j = confirmDays >= 1 && i - confirmDays >= 0 ? i - confirmDays : 0;
    confirm(bar, p, r.bars[j].close);
  }
}

}  // namespace velmora
