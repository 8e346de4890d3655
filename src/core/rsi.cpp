#include "core/rsi.h"

namespace velmora {

namespace {

void seedAverages(const SeriesRange& r, int seedBar, int period) {
  double gains = 0;
  double losses = 0;
  for (int j = r.start - 1; j >= seedBar; --j) {
    const double d = r.bars[j].close - r.bars[j + 1].close;
    if (d > 0) {
      gains += d;
    } else if (d < 0) {
      losses += -d;
    }
  }
  r.bars[seedBar].rsiAvgGain = gains / period;
  r.bars[seedBar].rsiAvgLoss = losses / period;
}

}  // namespace

void computeRsi(const SeriesRange& r, int period) {
  if (period <= 0) {
    // No RSI without a period: the bars hold zeros, never an older run's values.
    for (int j = r.start; j >= r.end; --j) {
      QuoteBar& bar = r.bars[j];
      bar.rsi = bar.rsiAvgGain = bar.rsiAvgLoss = 0;
    }
    return;
  }
  int i = r.start;
  if (!r.incremental) {
    if (r.start - r.end <= period) return;
    const int seedBar = r.start - period;
    seedAverages(r, seedBar, period);
    i = seedBar - 1;
  }
  const double p = period;
  const double keep = p - 1;
  // The running averages and the close stay in registers from bar to bar.
  const QuoteBar& older = r.at(i + 1);
  double avgGain = older.rsiAvgGain;
  double avgLoss = older.rsiAvgLoss;
  double previousClose = older.close;
  for (; i >= r.end; --i) {
    QuoteBar& bar = r.bars[i];
    const double d = bar.close - previousClose;
    const double gain = d > 0 ? d : 0;
    const double loss = d < 0 ? -d : 0;
    avgGain = (avgGain * keep + gain) / p;
    avgLoss = (avgLoss * keep + loss) / p;
    previousClose = bar.close;
    bar.rsiAvgGain = avgGain;
    bar.rsiAvgLoss = avgLoss;
    // No losses: 100 with gains; neither gains nor losses: 50, the midpoint.
    if (avgLoss == 0) {
      bar.rsi = avgGain == 0 ? 50 : 100;
    } else {
      bar.rsi = 100 - 100 / (avgGain / avgLoss + 1);
    }
  }
}

}  // namespace velmora
