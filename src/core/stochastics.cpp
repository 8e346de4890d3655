#include "core/stochastics.h"

namespace velmora {

namespace {

// Raw %K of bar i: where its close stands in the window's high-low span.
double rawK(const SeriesRange& r, int i, int lookback) {
  double highest = 0;
  double lowest = 9999999999.99;
  const bool pastEnd = lookback > r.readable - i;  // the window reaches fresh bars
  const int stop = pastEnd ? r.readable : i + lookback;
  for (int j = i; j < stop; ++j) {
    const QuoteBar& b = r.bars[j];
    if (b.high > highest) highest = b.high;
    if (b.low < lowest) lowest = b.low;
  }
  if (pastEnd && lowest > 0) lowest = 0;  // a fresh bar's low; its high of 0 changes nothing
  // A flat window has no span; its close is taken as the midpoint.
  if (highest == lowest) return 50;
  return (r.bars[i].close - lowest) * 100 / (highest - lowest);
}

// Mean of a field over bars i .. i + length - 1, added newest first; fresh
// bars past the readable ones add their 0.
template <double QuoteBar::*Field>
inline double windowMean(const SeriesRange& r, int i, int length) {
  const bool pastEnd = length > r.readable - i;
  const int stop = pastEnd ? r.readable : i + length;
  double sum = r.bars[i].*Field;
  for (int j = i + 1; j < stop; ++j) sum += r.bars[j].*Field;
  if (pastEnd) sum += 0.0;
  return sum / length;
}

}  // namespace

void computeStochastics(const SeriesRange& r, int lookback, int smoothing, int slowing) {
  const int first = r.incremental ? r.start : r.start - lookback;
  for (int i = first; i >= r.end; --i) {
    QuoteBar& bar = r.bars[i];
    bar.stochRawK = rawK(r, i, lookback);
    const double slowRaw = windowMean<&QuoteBar::stochRawK>(r, i, slowing);
    bar.stochSlowRaw = slowRaw;
    // With equal lengths both are the same mean (3 and 3 by default).
    bar.stochK = smoothing == slowing ? slowRaw : windowMean<&QuoteBar::stochRawK>(r, i, smoothing);
    bar.stochD = windowMean<&QuoteBar::stochK>(r, i, slowing);
  }
}

}  // namespace velmora
