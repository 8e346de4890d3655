#include "market/intraday_quote.h"

#include <algorithm>
#include <cstdio>

#include "market/random_source.h"

namespace velmora::standin {

namespace {

// The price path of one session: straight lines from the open to the first
// extreme, to the second, to the close, with a small deterministic wiggle
// that never leaves the day's range.
struct SessionPath {
  std::int32_t open, high, low, close;
  int firstAt, secondAt;
  std::int32_t first, second;
  std::int32_t wiggle;
  std::uint64_t seed;

  SessionPath(const PriceBar& bar, std::uint64_t symbolSeed)
      : open(bar.open), high(bar.high), low(bar.low), close(bar.close) {
    seed = Mix64(symbolSeed ^ static_cast<std::uint64_t>(bar.day));
    int highAt = 10 + static_cast<int>(Mix64(seed + 1) % 370);
    int lowAt = 10 + static_cast<int>(Mix64(seed + 2) % 370);
    if (highAt == lowAt) lowAt = highAt > 190 ? highAt - 5 : highAt + 5;
    firstAt = std::min(highAt, lowAt);
    secondAt = std::max(highAt, lowAt);
    first = highAt < lowAt ? high : low;
    second = highAt < lowAt ? low : high;
    wiggle = (high - low) / 40;
  }

  static std::int32_t lerp(std::int32_t a, std::int32_t b, int t, int span) {
    return a + static_cast<std::int32_t>(static_cast<std::int64_t>(b - a) * t / span);
  }

  std::int32_t at(int minute) const {
    if (minute == firstAt) return first;
    if (minute == secondAt) return second;
    std::int32_t base;
    if (minute < firstAt) {
      base = lerp(open, first, minute, firstAt);
    } else if (minute < secondAt) {
      base = lerp(first, second, minute - firstAt, secondAt - firstAt);
    } else {
      base = lerp(second, close, minute - secondAt, kSessionLength - secondAt);
    }
    if (minute == 0 || wiggle == 0) return base;
    const auto noise = static_cast<std::int32_t>(Mix64(seed + 100 + static_cast<std::uint64_t>(minute)) %
                                                 static_cast<std::uint64_t>(2 * wiggle + 1));
    return std::clamp(base + noise - wiggle, low, high);
  }
};

}  // namespace

QuoteSnapshot SnapshotAt(const PriceSeries& series, int sessionMinute) {
  const PriceBar& bar = series.quote;
  QuoteSnapshot q;
  q.day = bar.day;
  q.previousClose = series.previousClose;
  q.open = bar.open;
  if (!series.movesIntraday || sessionMinute >= kSessionClosed || sessionMinute < 0) {
    q.last = bar.close;
    q.high = bar.high;
    q.low = bar.low;
    q.volume = bar.volume;
    q.sessionMinute = kSessionClosed;
    return q;
  }
  const SessionPath path(bar, series.seed);
  q.sessionMinute = sessionMinute;
  q.high = q.low = bar.open;
  for (int m = 0; m <= sessionMinute; ++m) {
    const std::int32_t p = path.at(m);
    q.high = std::max(q.high, p);
    q.low = std::min(q.low, p);
    q.last = p;
  }
  q.volume = static_cast<std::int64_t>(bar.volume) * (sessionMinute + 1) / (kSessionLength + 1);
  return q;
}

std::string QuoteTimeText(int sessionMinute) {
  if (sessionMinute >= kSessionClosed || sessionMinute < 0) return "4:00pm";
  const int minute = kSessionOpenMinute + sessionMinute;
  const int hour = minute / 60;
  const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
  char text[16];
  std::snprintf(text, sizeof text, "%d:%02d%s", hour12, minute % 60, hour < 12 ? "am" : "pm");
  return text;
}

}  // namespace velmora::standin
