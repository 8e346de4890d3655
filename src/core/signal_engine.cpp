#include "core/signal_engine.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace velmora {

namespace {

// At most this many signals of each kind per segment.
constexpr int kBuyLimit = 1;
constexpr int kSellLimit = 1;

// Thresholds of the rules, in percent unless said otherwise.
constexpr double kRelief = 5.25;             // change that lets a buy come early / cancels a cross
constexpr double kAverageDistance = 8.0;     // second nearest average must be this far
constexpr double kExhaustionRise = 50;       // a rise this large ...
constexpr double kRetraceRatio = 0.618;      // ... retraced by more than this share is exhausted
constexpr double kSwingAligned = 38.2;       // gain from the last low that is too late, aligned
constexpr double kSwingNotAligned = 25.0;    // the same, not aligned
constexpr double kSecondChanceBand = 16.18;  // higher-low re-entry band
constexpr int kSecondChanceSpan = 40;        // bars the pattern must span
constexpr int kShortSegmentBars = 6;

void writeMark(QuoteBar& bar, char mark) {
  std::memset(bar.signalMark, 0, sizeof bar.signalMark);
  bar.signalMark[0] = mark;
}

// The bar changed the trend: close the running segment and open one.
void openSegment(SignalState& s, const QuoteBar& bar, const QuoteBar& p1, int i) {
  s.setEndBar(i + 1);
  s.closeRange();
  s.advance();
  s.resetSegment();
  s.setDirection(bar.trend);
  s.setStartBar(i);
  s.setStartPrice(bar.trend == kUp ? p1.upperBreak : p1.lowerBreak);
  if (bar.trend != kUp || s.segmentCount() < 4) return;
  // Exhaustion: after a large rise retraced by more than 61.8 %, the new up
  // segment gets no ordinary buy.
  const int s1 = s.relative(-1), s2 = s.relative(-2), s3 = s.relative(-3);
  if (s.direction(s3) == kDown && s.direction(s2) == kUp && s.direction(s1) == kDown) {
    const double rise = s.highestClose(s2) - s.lowestClose(s3);
    const double retrace = s.highestClose(s2) - s.lowestClose(s1);
    if (rise / s.lowestClose(s3) * 100 > kExhaustionRise && kRetraceRatio * rise < retrace) s.setValid(0);
  }
}

// How many bars after the change a signal must wait.
int requiredBars(const QuoteBar& bar, const QuoteBar& p1, bool buyCandidate, bool aligned, int confirmDays) {
  int required = confirmDays;
  if (buyCandidate) {
    if (bar.open < bar.ema20 && bar.close > bar.ema20) required = confirmDays + 1;
    if (aligned && bar.changePercent < kRelief) required = 0;
  }
  if (aligned && p1.close < p1.ema20 && bar.close > bar.ema20) required = confirmDays;
  return required;
}

// The average-distance filter, for a buy of a security that is no index:
// true when the buy goes on to the buy filters.
bool averageDistanceAllows(const QuoteBar& bar, const QuoteBar& p1, bool aligned) {
  const double averages[5] = {bar.ema10, bar.ema20, bar.ema50, bar.ema100, bar.ema200};
  const double sign = bar.trend == kDown ? -1.0 : 1.0;
  double list[5];
  int n = 0;
  for (int k = 0; k < 5; ++k) {
    double d = (averages[k] - bar.close) / bar.close * 100;
    if (sign < 0) d = -d;
    const bool crossing = bar.open < averages[k] && bar.close > averages[k];
    const bool listed = k < 4 ? d > 0 || (!aligned && crossing) : d > 0 || (crossing && p1.close < p1.ema200);
    if (listed) list[n++] = d;
  }
  if (n >= 2) {
    for (int a = 1; a < n; ++a) {  // ascending
      for (int b = a; b > 0 && list[b] < list[b - 1]; --b) std::swap(list[b], list[b - 1]);
    }
    return list[1] > kAverageDistance;
  }
  if (n == 1) {
    bool aboveAll = true;
    for (double average : averages) aboveAll = aboveAll && bar.close > average;
    if (aboveAll) return false;
    return bar.ema5 > bar.ema10 && bar.ema10 > bar.ema20 && bar.ema20 > bar.ema50;
  }
  return true;
}

// True when one of the five buy filters cancels the buy.
bool buyFilterCancels(const SeriesRange& r, int i, const SignalState& s, bool aligned) {
  const QuoteBar& bar = r.bars[i];
  const QuoteBar& p1 = r.at(i + 1);
  const QuoteBar& p2 = r.at(i + 2);
  const QuoteBar& p3 = r.at(i + 3);
  if (p1.close < p1.ema20 && bar.close > bar.ema20 && bar.changePercent > kRelief) return true;
  if (p1.close < p1.ema50 && bar.close > bar.ema50 && bar.changePercent > kRelief) return true;
  if (bar.low >= p1.high || p1.low >= p2.high || p2.low >= p3.high) return true;  // a gap up
  bool rising = true;
  for (int j = i; j <= i + 5 && rising; ++j) rising = r.at(j).changePercent > 0;
  if (rising) return true;
  if (s.segmentCount() > 1) {
    const double low = s.lowestClose(s.relative(-1));
    if ((bar.close - low) / low * 100 >= (aligned ? kSwingAligned : kSwingNotAligned)) return true;
  }
  return false;
}

// Second chance: a buy on a higher-low re-entry, even in a barred segment.
bool secondChance(const SignalState& s, const QuoteBar& bar, int confirmDays) {
  if (s.direction() != kUp || s.signalCount() >= 1 || bar.barsSinceChange < confirmDays ||
      s.segmentCount() < 5) {
    return false;
  }
  const int s2 = s.relative(-2), s4 = s.relative(-4);
  const double base = s.startPrice(s2);
  const double a = (s.startPrice(s4) - base) / base * 100;
  const double b = (s.startPrice() - base) / base * 200;
  const int span = s.startBar(s4) - s.startBar() + 1;
  return s.startPrice(s4) > base && s.startPrice() > base && 0 < a && a < kSecondChanceBand && 0 < b &&
         b < kSecondChanceBand && span > kSecondChanceSpan && bar.ema5 > bar.ema10 && bar.ema10 > bar.ema20;
}

// Resistance: a buy just under the top of a large earlier rise is cancelled.
bool resistanceCancels(const SignalState& s, const QuoteBar& bar) {
  if (s.segmentCount() < 4) return false;
  const int s2 = s.relative(-2), s3 = s.relative(-3);
  if (s.direction(s2) != kUp) return false;
  const double top = s.highestClose(s2);
  if (!((top - s.lowestClose(s3)) / s.lowestClose(s3) * 100 > kExhaustionRise)) return false;
  const double below = (top - bar.close) / bar.close * 100;
  return 0 < below && below < kAverageDistance;
}

// After a short segment a signal must clear that segment's extreme.
void shortSegmentRule(const SignalState& s, const QuoteBar& bar, bool& buy, bool& sell) {
  if (s.segmentCount() <= 1) return;
  const int s1 = s.relative(-1);
  if (std::abs(s.endBar(s1) - s.startBar(s1)) + 1 > kShortSegmentBars) return;
  if (buy && !(bar.close > s.highestHigh(s1))) buy = false;
  if (sell && !(bar.close < s.lowestLow(s1))) sell = false;
}

void signalOfBar(bool isIndex, const SeriesRange& r, int i, SignalState& s, int confirmDays) {
  QuoteBar& bar = r.bars[i];
  const QuoteBar& p1 = r.at(i + 1);
  const bool aligned = bar.ema20 > bar.ema50 && bar.ema50 > bar.ema200;
  if (bar.trendChanged == 1) openSegment(s, bar, p1, i);
  s.trackExtremes(bar.close, bar.high, bar.low);

  const bool usable = s.current() >= 0 && s.valid() == 1;
  const bool buyCandidate =
      usable && s.direction() == kUp && bar.breakState == kUp && r.at(i + 2).breakState != kDown;
  const bool sellCandidate = usable && s.direction() == kDown && bar.breakState == kDown;
  const int required = requiredBars(bar, p1, buyCandidate, aligned, confirmDays);
  bool buy = buyCandidate && bar.barsSinceChange >= required;
  bool sell = sellCandidate && bar.barsSinceChange >= required;

  // The distance filter and the buy filters can only cancel a buy, so they
  // are skipped without one.
  if (buy && !isIndex && !averageDistanceAllows(bar, p1, aligned)) buy = false;
  if (buy && buyFilterCancels(r, i, s, aligned)) buy = false;
  if (!buy) {
    buy = secondChance(s, bar, confirmDays);
    if (!buy && !sell) return writeMark(bar, '\0');
  }
  if (buy && resistanceCancels(s, bar)) return writeMark(bar, '\0');
  shortSegmentRule(s, bar, buy, sell);
  if (buy && s.signalCount() < kBuyLimit) {
    s.addSignalCount(1);
    writeMark(bar, 'B');
  } else if (sell && s.signalCount() < kSellLimit) {
    s.addSignalCount(1);
    writeMark(bar, 'S');
  } else {
    writeMark(bar, '\0');
  }
}

}  // namespace

void computeSignals(bool isIndex, const SeriesRange& r, SignalState& state, int confirmDays) {
  int i = r.start;
  if (!r.incremental) {
    while (i >= r.end && r.bars[i].trendChanged == 0) --i;
    if (i < r.end) return;
    state.reset();
  }
  for (; i >= r.end; --i) signalOfBar(isIndex, r, i, state, confirmDays);
}

void computeSignals(bool isIndex, bool incremental, int start, int end, std::span<QuoteBar> series,
                    SignalState& state, int confirmDays) {
  SeriesRange range;
  if (!MakeSeriesRange(series, incremental, start, end, range)) return;
  computeSignals(isIndex, range, state, confirmDays < 0 ? 0 : confirmDays);
}

void rollBackNewestBars(std::span<const QuoteBar> series, int barCount, SignalState& state) {
  const int n = barCount < static_cast<int>(series.size()) ? barCount : static_cast<int>(series.size());
  for (int i = 0; i < n; ++i) {
    // A change bar's own signal was counted on the segment it opened.
    if (series[static_cast<std::size_t>(i)].signalMark[0] != '\0') state.addSignalCount(-1);
    if (series[static_cast<std::size_t>(i)].trendChanged == 1) state.retreat();
  }
}

}  // namespace velmora
