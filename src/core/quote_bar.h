#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace velmora {

// Codes of breakState and trend.
inline constexpr std::int32_t kUp = 0;      // up (or up-break)
inline constexpr std::int32_t kInside = 1;  // between the levels
inline constexpr std::int32_t kDown = 2;    // down (or down-break)

// One bar of one security: the raw quote and every value the engine derives
// from it. A plain record, copied by value.
struct QuoteBar {
  std::int32_t breakState;
  std::int32_t trend;
  std::int32_t trendChanged;
  std::int32_t barsSinceChange;
  double upperBreak;
  double lowerBreak;
  char date[11];  // at most 10 characters
  char time[8];   // at most 7 characters
  double open;
  double high;
  double low;
  double close;
  std::int64_t volumeAvg50;  // volumes of busy markets pass 2^31
  double change;
  double changePercent;
  double toEma10Percent;
  double ema5;
  std::int64_t volume;
  char aboveEma5;
  double ema10;
  char aboveEma10;
  double ema20;
  char aboveEma20;
  double ema50;
  char aboveEma50;
  double ema100;
  char aboveEma100;
  double ema200;
  char aboveEma200;
  double rsi;
  double rsiAvgGain;
  double rsiAvgLoss;
  double stochRawK;
  double stochSlowRaw;
  double stochK;
  double stochD;
  char signalMark[6];  // "B", "S" or ""

  QuoteBar() { Reset(); }

  // Every field to its fresh value: inside the levels, trend up, blank date
  // and time texts, numbers 0, flags 'N', no mark.
  void Reset();

  // Every field of `other` (texts up to their terminator, the mark as its
  // six bytes).
  void CopyFrom(const QuoteBar& other);

  // year * 10000 + month * 100 + day of "date time", read with ParseDate.
  int DateKey() const;

  void SetDate(const char* text);
  void SetTime(const char* text);
  void SetMark(const char* text);
};

// Capacities of the two kinds of series.
inline constexpr int kHistoryCapacity = 1095;  // three years of trading days
inline constexpr int kMonitoredBars = 32;      // a monitored security's newest bars

// Bars newest first: index 0 is the newest bar, the previous bar of bar i
// is bar i + 1. The capacity is fixed; `count` never exceeds it.
template <int Capacity>
struct QuoteSeriesOf {
  static constexpr int kCapacity = Capacity;
  std::array<QuoteBar, Capacity> bars{};
  int count = 0;

  QuoteBar& operator[](int i) { return bars[static_cast<std::size_t>(i)]; }
  const QuoteBar& operator[](int i) const { return bars[static_cast<std::size_t>(i)]; }
  QuoteBar* data() { return bars.data(); }
  const QuoteBar* data() const { return bars.data(); }
  bool full() const { return count >= Capacity; }
  void ResetAll() {
    for (QuoteBar& b : bars) b.Reset();
    count = 0;
  }
};

using QuoteSeries = QuoteSeriesOf<kHistoryCapacity>;
using MonitoredSeries = QuoteSeriesOf<kMonitoredBars>;

}  // namespace velmora
