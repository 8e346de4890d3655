#pragma once

// Small builders shared by the engine tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/text_helpers.h"
#include "core/compute_indicators.h"
#include "core/quote_bar.h"
#include "core/series_range.h"
#include "core/signal_engine.h"
#include "core/signal_state.h"

namespace velmora::test {

struct Ohlc {
  double open, high, low, close;
  int volume = 1000;
};

// Bars from rows listed oldest first; the last row becomes bar 0.
inline std::vector<QuoteBar> BarsOldestFirst(std::initializer_list<Ohlc> rows) {
  std::vector<QuoteBar> bars(rows.size());
  std::size_t i = rows.size();
  for (const Ohlc& r : rows) {
    QuoteBar& b = bars[--i];
    b.open = r.open;
    b.high = r.high;
    b.low = r.low;
    b.close = r.close;
    b.volume = r.volume;
  }
  return bars;
}

// Bars whose closes (oldest first) are given; open = high = low = close.
inline std::vector<QuoteBar> ClosesOldestFirst(std::initializer_list<double> closes) {
  std::vector<QuoteBar> bars(closes.size());
  std::size_t i = closes.size();
  for (double c : closes) {
    QuoteBar& b = bars[--i];
    b.open = b.high = b.low = b.close = c;
  }
  return bars;
}

inline SeriesRange FullRange(std::vector<QuoteBar>& bars) {
  SeriesRange r;
  EXPECT_TRUE(MakeSeriesRange(bars, false, static_cast<int>(bars.size()) - 1, 0, r));
  return r;
}

inline SeriesRange IncrementalRange(std::vector<QuoteBar>& bars, int start) {
  SeriesRange r;
  EXPECT_TRUE(MakeSeriesRange(bars, true, start, 0, r));
  return r;
}

// A deterministic market: a walk with trending regimes, gaps now and then,
// prices on whole cents and volumes in the hundred thousands. Oldest first
// in time, returned newest first like every series.
inline std::vector<QuoteBar> MarketBars(int n, std::uint32_t seed) {
  std::uint64_t s = seed * 2654435761u + 1;
  auto next = [&s]() {  // uniform in [0, 1)
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<double>(s >> 11) / 9007199254740992.0;
  };
  std::vector<QuoteBar> bars(static_cast<std::size_t>(n));
  double close = 40 + 20 * next();
  double drift = 0;
  for (int k = 0; k < n; ++k) {
    if (k % 25 == 0) drift = (next() - 0.5) * 0.02;
    const double gap = next() < 0.04 ? (next() - 0.5) * 0.08 : 0;
    const double open = RoundTo2Decimals(close * (1 + gap + (next() - 0.5) * 0.01));
    const double next_close = RoundTo2Decimals(close * (1 + drift + gap + (next() - 0.5) * 0.04));
    QuoteBar& b = bars[static_cast<std::size_t>(n - 1 - k)];
    b.open = open;
    b.close = next_close > 1 ? next_close : 1;
    b.high = RoundTo2Decimals((open > b.close ? open : b.close) * (1 + next() * 0.015));
    b.low = RoundTo2Decimals((open < b.close ? open : b.close) * (1 - next() * 0.015));
    b.volume = 100000 + static_cast<int>(next() * 900000);
    close = b.close;
  }
  return bars;
}

inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The first field in which two bars differ ("" when none): doubles by their
// bits, texts up to their terminator.
inline std::string FirstDifference(const QuoteBar& a, const QuoteBar& b) {
  using B = QuoteBar;
  static const std::pair<const char*, std::int32_t B::*> ints[] = {{"breakState", &B::breakState},
                                                                   {"trend", &B::trend},
                                                                   {"trendChanged", &B::trendChanged},
                                                                   {"barsSinceChange", &B::barsSinceChange}};
  static const std::pair<const char*, std::int64_t B::*> volumes[] = {{"volume", &B::volume},
                                                                      {"volumeAvg50", &B::volumeAvg50}};
  for (const auto& [name, field] : volumes)
    if (a.*field != b.*field) return name;
  static const std::pair<const char*, double B::*> doubles[] = {{"upperBreak", &B::upperBreak},
                                                                {"lowerBreak", &B::lowerBreak},
                                                                {"open", &B::open},
                                                                {"high", &B::high},
                                                                {"low", &B::low},
                                                                {"close", &B::close},
                                                                {"change", &B::change},
                                                                {"changePercent", &B::changePercent},
                                                                {"toEma10Percent", &B::toEma10Percent},
                                                                {"ema5", &B::ema5},
                                                                {"ema10", &B::ema10},
                                                                {"ema20", &B::ema20},
                                                                {"ema50", &B::ema50},
                                                                {"ema100", &B::ema100},
                                                                {"ema200", &B::ema200},
                                                                {"rsi", &B::rsi},
                                                                {"rsiAvgGain", &B::rsiAvgGain},
                                                                {"rsiAvgLoss", &B::rsiAvgLoss},
                                                                {"stochRawK", &B::stochRawK},
                                                                {"stochSlowRaw", &B::stochSlowRaw},
                                                                {"stochK", &B::stochK},
                                                                {"stochD", &B::stochD}};
  static const std::pair<const char*, char B::*> flags[] = {
      {"aboveEma5", &B::aboveEma5},   {"aboveEma10", &B::aboveEma10},   {"aboveEma20", &B::aboveEma20},
      {"aboveEma50", &B::aboveEma50}, {"aboveEma100", &B::aboveEma100}, {"aboveEma200", &B::aboveEma200}};
  for (const auto& [name, field] : ints)
    if (a.*field != b.*field) return name;
  for (const auto& [name, field] : doubles)
    if (!SameBits(a.*field, b.*field)) return name;
  for (const auto& [name, field] : flags)
    if (a.*field != b.*field) return name;
  if (std::strcmp(a.date, b.date) != 0) return "date";
  if (std::strcmp(a.time, b.time) != 0) return "time";
  if (std::strncmp(a.signalMark, b.signalMark, sizeof a.signalMark) != 0) return "signalMark";
  return "";
}

// The first differing bar and field ("" when the series are equal).
inline std::string FirstDifference(std::span<const QuoteBar> a, std::span<const QuoteBar> b) {
  if (a.size() != b.size()) return "size";
  for (std::size_t i = 0; i < a.size(); ++i) {
    const std::string field = FirstDifference(a[i], b[i]);
    if (!field.empty()) return "bar " + std::to_string(i) + ": " + field;
  }
  return "";
}

inline std::string FirstDifference(const SignalState& a, const SignalState& b) {
  if (a.segmentCount() != b.segmentCount()) return "segmentCount";
  if (a.current() != b.current()) return "current";
  for (int p = 0; p < kSegmentRingSize; ++p) {
    const TrendSegment& x = *a.segment(p);
    const TrendSegment& y = *b.segment(p);
    if (x.direction != y.direction || x.startBar != y.startBar || x.endBar != y.endBar ||
        x.signalCount != y.signalCount || x.valid != y.valid || !SameBits(x.startPrice, y.startPrice) ||
        !SameBits(x.range, y.range) || !SameBits(x.rangePercent, y.rangePercent) ||
        !SameBits(x.highestClose, y.highestClose) || !SameBits(x.lowestClose, y.lowestClose) ||
        !SameBits(x.highestHigh, y.highestHigh) || !SameBits(x.lowestLow, y.lowestLow)) {
      return "segment " + std::to_string(p);
    }
  }
  return "";
}

// Signal marks, newest bar first: 'B', 'S' or '.'.
inline std::string Marks(std::span<const QuoteBar> bars) {
  std::string out;
  for (const QuoteBar& b : bars) out += b.signalMark[0] ? b.signalMark[0] : '.';
  return out;
}

// A monitored security as the loader leaves it: a full run over 400 market
// bars, the state rolled back over the newest confirmDays + 1 bars, and the
// newest 32 bars kept.
struct Monitored {
  std::vector<QuoteBar> bars;
  SignalState state;
};

inline Monitored MonitoredSecurity(std::uint32_t seed, int confirmDays) {
  auto all = MarketBars(400, seed);
  Monitored m;
  computeIndicators(false, false, 14, 14, 3, 3, 399, 0, all, m.state, confirmDays);
  rollBackNewestBars(all, confirmDays + 1, m.state);
  m.bars.assign(all.begin(), all.begin() + kMonitoredBars);
  return m;
}

// Bars of a market series computed in full, and the newest bar (searching
// from the newest, among the first 400) in a down trend that has not
// broken up: where a what-if close can turn the sentiment bullish.
struct DownTrendBar {
  std::vector<QuoteBar> all;
  SignalState state;
  int index = -1;
};
inline DownTrendBar FindDownTrendBar(int confirmDays) {
  DownTrendBar d;
  d.all = MarketBars(500, 31);
  computeIndicators(false, false, 14, 14, 3, 3, 499, 0, d.all, d.state, confirmDays);
  for (int i = 0; i < 400; ++i)
    if (d.all[static_cast<std::size_t>(i)].trend == kDown &&
        d.all[static_cast<std::size_t>(i)].breakState != kUp) {
      d.index = i;
      break;
    }
  return d;
}

}  // namespace velmora::test
