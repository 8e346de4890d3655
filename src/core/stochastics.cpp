#include "core/stochastics.h"

namespace velmora {

namespace {

struct Extremes {
  double highest;
  double lowest;
};

// The highest high (from 0) and the lowest low (from 9999999999.99) of bars
// i .. i + lookback - 1, the newest first.
Extremes scanWindow(const SeriesRange& r, int i, int lookback) {
  Extremes e{0, 9999999999.99};
  const bool pastEnd = lookback > r.readable - i;  // the window reaches fresh bars
  const int stop = pastEnd ? r.readable : i + lookback;
  for (int j = i; j < stop; ++j) {
    const QuoteBar& b = r.bars[j];
    if (b.high > e.highest) e.highest = b.high;
    if (b.low < e.lowest) e.lowest = b.low;
  }
  if (pastEnd && e.lowest > 0) e.lowest = 0;  // a fresh bar's low; its high of 0 changes nothing
  return e;
}

// The window moves one bar newer: bar i enters, bar i + lookback leaves.
// When the leaving bar held no extreme of the previous window, the new
// extreme is the old one or the entering bar's: the same value a scan
// finds. Ties at zero are scanned, since only there could the scan pick a
// zero of the other sign.
Extremes slideWindow(const SeriesRange& r, int i, int lookback, const Extremes& previous) {
  const QuoteBar& entering = r.bars[i];
  const QuoteBar& leaving = r.bars[i + lookback];
  const bool keepHigh =
      leaving.high < previous.highest && !(entering.high == previous.highest && entering.high == 0);
  const bool keepLow =
      leaving.low > previous.lowest && !(entering.low == previous.lowest && entering.low == 0);
  const Extremes scanned = keepHigh && keepLow ? previous : scanWindow(r, i, lookback);
  return {keepHigh ? (entering.high > previous.highest ? entering.high : previous.highest) : scanned.highest,
          keepLow ? (entering.low < previous.lowest ? entering.low : previous.lowest) : scanned.lowest};
}

// Raw %K: where the close stands in the window's high-low span.
double rawK(double close, const Extremes& e) {
  // A flat window has no span; its close is taken as the midpoint.
  if (e.highest == e.lowest) return 50;
  return (close - e.lowest) * 100 / (e.highest - e.lowest);
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
  if (lookback <= 0 || smoothing <= 0 || slowing <= 0) {
    // No window to average over: the bars hold zeros, never an older run's values.
    for (int i = r.start; i >= r.end; --i) {
      QuoteBar& bar = r.bars[i];
      bar.stochRawK = bar.stochSlowRaw = bar.stochK = bar.stochD = 0;
    }
    return;
  }
  const int first = r.incremental ? r.start : r.start - lookback;
  Extremes window{};
  for (int i = first; i >= r.end; --i) {
    QuoteBar& bar = r.bars[i];
    // Bar i + lookback, which leaves the window, must exist to slide.
    const bool slide = i < first && lookback < r.readable - i;
    window = slide ? slideWindow(r, i, lookback, window) : scanWindow(r, i, lookback);
    bar.stochRawK = rawK(bar.close, window);
    const double slowRaw = windowMean<&QuoteBar::stochRawK>(r, i, slowing);
    bar.stochSlowRaw = slowRaw;
    // With equal lengths both are the same mean (3 and 3 by default).
    bar.stochK = smoothing == slowing ? slowRaw : windowMean<&QuoteBar::stochRawK>(r, i, smoothing);
    bar.stochD = windowMean<&QuoteBar::stochK>(r, i, slowing);
  }
}

}  // namespace velmora
