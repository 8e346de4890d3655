#include "core/stochastics.h"

namespace velmora {

namespace {

constexpr double kLowestStart = 9999999999.99;

struct Extremes {
  double highest;
  double lowest;
};

// The highest high (from 0) and the lowest low (from 9999999999.99) of bars
// i .. i + lookback - 1, the newest first.
Extremes scanWindow(const SeriesRange& r, int i, int lookback) {
  Extremes e{0, kLowestStart};
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

inline double larger(double a, double b) { return a > b ? a : b; }
inline double smaller(double a, double b) { return a < b ? a : b; }

// The extremes of every window of a run of bars at once, without a branch
// on the prices (van Herk and Gil-Werman): the bars are cut into blocks of
// `lookback`, and each window, which spans at most two blocks, is the
// larger of a running extreme from its newest bar to the end of its block
// and one from the start of the next block to its oldest bar.
//
// Every running extreme starts from the scan's starting values (a highest
// of 0, a lowest of 9999999999.99) and bars past the readable ones read as
// fresh bars (0 and 0), so a NaN never stands as an extreme and a window's
// highest is the scan's. So is its lowest unless that is a zero: which zero
// a scan keeps (the newest) depends on the order, so a zero is left to the
// scan.
class RunExtremes {
 public:
  static constexpr int kLongestLookback = 128;  // longer look-backs scan every window
  static constexpr int kRun = 128;              // windows found at once

  // The windows of bars lo .. lo + count - 1 (count <= kRun); window x is
  // that of bar lo + x.
  void Find(const SeriesRange& r, int lo, int count, int lookback) {
    lookback_ = lookback;
    const int length = count + lookback - 1;  // bars lo .. lo + length - 1 take part
    for (int blockStart = 0; blockStart < length; blockStart += lookback) {
      const int blockEnd = blockStart + lookback < length ? blockStart + lookback - 1 : length - 1;
      double high = 0, low = kLowestStart;
      for (int x = blockStart; x <= blockEnd; ++x) {
        const QuoteBar& b = r.at(lo + x);
        high = larger(b.high, high);
        low = smaller(b.low, low);
        highFromStart_[x] = high;
        lowFromStart_[x] = low;
      }
      high = 0;
      low = kLowestStart;
      for (int x = blockEnd; x >= blockStart; --x) {
        const QuoteBar& b = r.at(lo + x);
        high = larger(b.high, high);
        low = smaller(b.low, low);
        highToEnd_[x] = high;
        lowToEnd_[x] = low;
      }
    }
  }

  Extremes At(int x) const {
    return {larger(highToEnd_[x], highFromStart_[x + lookback_ - 1]),
            smaller(lowToEnd_[x], lowFromStart_[x + lookback_ - 1])};
  }

 private:
  static constexpr int kSpan = kRun + kLongestLookback - 1;
  double highFromStart_[kSpan];
  double highToEnd_[kSpan];
  double lowFromStart_[kSpan];
  double lowToEnd_[kSpan];
  int lookback_ = 1;
};

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
  const QuoteBar* b = r.bars + i;
  if (length <= r.readable - i) {
    double sum = b[0].*Field;
    for (int k = 1; k < length; ++k) sum += b[k].*Field;
    return sum / length;
  }
  double sum = b[0].*Field;
  for (int k = 1; k < r.readable - i; ++k) sum += b[k].*Field;
  return (sum + 0.0) / length;
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
  const bool scanned = lookback > RunExtremes::kLongestLookback;
  RunExtremes runs;
  // Oldest run first: each bar's means read the older bars' results.
  for (int top = first; top >= r.end; top -= RunExtremes::kRun) {
    const int lo = top - r.end + 1 > RunExtremes::kRun ? top - RunExtremes::kRun + 1 : r.end;
    if (!scanned) runs.Find(r, lo, top - lo + 1, lookback);
    for (int i = top; i >= lo; --i) {
      QuoteBar& bar = r.bars[i];
      Extremes e = scanned ? Extremes{} : runs.At(i - lo);
      if (scanned || e.lowest == 0) e = scanWindow(r, i, lookback);  // a zero lowest: see RunExtremes
      bar.stochRawK = rawK(bar.close, e);
      const double slowRaw = windowMean<&QuoteBar::stochRawK>(r, i, slowing);
      bar.stochSlowRaw = slowRaw;
      // With equal lengths both are the same mean (3 and 3 by default).
      bar.stochK = smoothing == slowing ? slowRaw : windowMean<&QuoteBar::stochRawK>(r, i, smoothing);
      bar.stochD = windowMean<&QuoteBar::stochK>(r, i, slowing);
    }
  }
}

}  // namespace velmora
