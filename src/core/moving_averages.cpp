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

constexpr int kVolumePeriod = 50;

// Plain mean of the closes of bars i .. i + period - 1, added newest first.
double closeMean(const SeriesRange& r, int i, int period) {
  double sum = r.bars[i].close;
  for (int j = i + 1; j < i + period; ++j) sum += r.bars[j].close;
  return sum / period;
}

// Truncated toward zero into the 32-bit field, saturating at its limits.
std::int32_t toVolumeField(double v) {
  if (!(v > std::numeric_limits<std::int32_t>::min())) {
    return v != v ? 0 : std::numeric_limits<std::int32_t>::min();
  }
  if (v >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v);
}

// q counts the bars of a full computation, 1 on its oldest bar.
void averagesOfBar(const SeriesRange& r, int i, int q, std::int64_t volumeSum) {
  QuoteBar& bar = r.bars[i];
  const QuoteBar& p = r.at(i + 1);
  for (const Average& a : kAverages) {
    double ema;
    if (r.incremental || q > a.period) {
      const double previous = p.*a.value;
      ema = previous + 2.0 / (a.period + 1) * (bar.close - previous);
    } else if (q == a.period) {
      ema = closeMean(r, i, a.period);
    } else {
      ema = 0;
    }
    bar.*a.value = ema;
    bar.*a.above = bar.close > ema ? 'Y' : 'N';
    if (a.value == &QuoteBar::ema10) {
      bar.toEma10Percent = ema > 0 ? (bar.close - ema) / ema * 100 : 0;
    }
  }
  if (r.incremental || q > kVolumePeriod) {
    const double previous = p.volumeAvg50;
    bar.volumeAvg50 = toVolumeField(previous + 2.0 / (kVolumePeriod + 1) * (bar.volume - previous));
  } else if (q == kVolumePeriod) {
    // An exact integer sum: 50 volumes of up to 2^31 cannot overflow it.
    bar.volumeAvg50 = toVolumeField(static_cast<double>(volumeSum) * 0.02);
  } else {
    bar.volumeAvg50 = 0;
  }
}

}  // namespace

void computeMovingAverages(const SeriesRange& r) {
  std::int64_t volumeSum = 0;
  int q = 1;
  for (int i = r.start; i >= r.end; --i, ++q) {
    if (q <= kVolumePeriod) volumeSum += r.bars[i].volume;
    averagesOfBar(r, i, q, volumeSum);
  }
}

}  // namespace velmora
