#include "core/moving_averages.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace velmora {

namespace {

struct Average {
  int period;
  double QuoteBar::*value;
  char QuoteBar::*above;
};

constexpr Average kAverages[] = {
    {5, &QuoteBar::ema5, &QuoteBar::aboveEma5},       {10, &QuoteBar::ema10, &QuoteBar::aboveEma10},
    {20, &QuoteBar::ema20, &QuoteBar::aboveEma20},    {50, &QuoteBar::ema50, &QuoteBar::aboveEma50},
    {100, &QuoteBar::ema100, &QuoteBar::aboveEma100}, {200, &QuoteBar::ema200, &QuoteBar::aboveEma200},
};
constexpr int kAverageCount = 6;
constexpr int kLongestPeriod = 200;
constexpr int kVolumePeriod = 50;

// The weight 2 / (p + 1) of each average, and of the volume average.
constexpr double weight(int period) { return 2.0 / (period + 1); }
constexpr double kWeights[kAverageCount] = {weight(5),  weight(10),  weight(20),
                                            weight(50), weight(100), weight(200)};
constexpr double kVolumeWeight = weight(kVolumePeriod);

// Plain mean of the closes of bars i .. i + period - 1, added newest first.
double closeMean(const SeriesRange& r, int i, int period) {
  double sum = r.bars[i].close;
  for (int j = i + 1; j < i + period; ++j) sum += r.bars[j].close;
  return sum / period;
}

// Truncated toward zero into the 64-bit field, saturating at its limits.
// Volumes below 2^53 are exact in a double, so the average of real volumes
// is the same as with integers of any width.
std::int64_t toVolumeField(double v) {
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  if (v != v) return 0;
  if (v <= -kLimit) return std::numeric_limits<std::int64_t>::min();
  if (v >= kLimit) return std::numeric_limits<std::int64_t>::max();
  return static_cast<std::int64_t>(v);
}

// The sum of the first 50 volumes, saturating rather than wrapping on
// absurd input.
std::int64_t addVolume(std::int64_t sum, std::int64_t volume) {
  std::int64_t result;
  if (!__builtin_add_overflow(sum, volume, &result)) return result;
  return volume > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

inline void setToEma10(QuoteBar& bar, double ema10) {
  bar.toEma10Percent = ema10 > 0 ? (bar.close - ema10) / ema10 * 100 : 0;
}

// The first 200 bars of a full computation, where averages are still 0 or
// seeded; q counts the bars, 1 on the oldest.
void seedingBar(const SeriesRange& r, int i, int q, std::int64_t volumeSum) {
  QuoteBar& bar = r.bars[i];
  const QuoteBar& p = r.at(i + 1);
  for (int k = 0; k < kAverageCount; ++k) {
    const Average& a = kAverages[k];
    double ema;
    if (q > a.period) {
      const double previous = p.*a.value;
      ema = previous + kWeights[k] * (bar.close - previous);
    } else if (q == a.period) {
      ema = closeMean(r, i, a.period);
    } else {
      ema = 0;
    }
    bar.*a.value = ema;
    bar.*a.above = bar.close > ema ? 'Y' : 'N';
  }
  setToEma10(bar, bar.ema10);
  if (q > kVolumePeriod) {
    const double previous = static_cast<double>(p.volumeAvg50);
    bar.volumeAvg50 = toVolumeField(previous + kVolumeWeight * (static_cast<double>(bar.volume) - previous));
  } else if (q == kVolumePeriod) {
    bar.volumeAvg50 = toVolumeField(static_cast<double>(volumeSum) * 0.02);
  } else {
    bar.volumeAvg50 = 0;
  }
}

inline char above(double close, double ema) { return close > ema ? 'Y' : 'N'; }

// Every average an exponential step from the previous bar's, which stay in
// registers from bar to bar.
void steadyBars(const SeriesRange& r, int from) {
  const QuoteBar& p = r.at(from + 1);
  double e5 = p.ema5, e10 = p.ema10, e20 = p.ema20, e50 = p.ema50, e100 = p.ema100, e200 = p.ema200;
  double volume = static_cast<double>(p.volumeAvg50);
  for (int i = from; i >= r.end; --i) {
    QuoteBar& bar = r.bars[i];
    const double close = bar.close;
    e5 = e5 + kWeights[0] * (close - e5);
    e10 = e10 + kWeights[1] * (close - e10);
    e20 = e20 + kWeights[2] * (close - e20);
    e50 = e50 + kWeights[3] * (close - e50);
    e100 = e100 + kWeights[4] * (close - e100);
    e200 = e200 + kWeights[5] * (close - e200);
    bar.ema5 = e5;
    bar.ema10 = e10;
    bar.ema20 = e20;
    bar.ema50 = e50;
    bar.ema100 = e100;
    bar.ema200 = e200;
    bar.aboveEma5 = above(close, e5);
    bar.aboveEma10 = above(close, e10);
    bar.aboveEma20 = above(close, e20);
    bar.aboveEma50 = above(close, e50);
    bar.aboveEma100 = above(close, e100);
    bar.aboveEma200 = above(close, e200);
    setToEma10(bar, e10);
    const std::int64_t v = toVolumeField(volume + kVolumeWeight * (static_cast<double>(bar.volume) - volume));
    bar.volumeAvg50 = v;
    volume = static_cast<double>(v);
  }
}

}  // namespace

void computeMovingAverages(const SeriesRange& r) {
  int i = r.start;
  if (!r.incremental) {
    std::int64_t volumeSum = 0;
    for (int q = 1; q <= kLongestPeriod && i >= r.end; ++q, --i) {
      if (q <= kVolumePeriod) volumeSum = addVolume(volumeSum, r.bars[i].volume);
      seedingBar(r, i, q, volumeSum);
    }
  }
  if (i >= r.end) steadyBars(r, i);
}

}  // namespace velmora
