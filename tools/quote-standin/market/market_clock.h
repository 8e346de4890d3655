#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora::standin {

// A moment in New York market time: the day number and the minute of the day.
struct MarketTime {
  int day = 0;
  int minute = 0;
};

inline constexpr int kSessionOpenMinute = 9 * 60 + 30;
inline constexpr int kSessionLength = 390;  // 9:30 to 16:00
inline constexpr int kSessionClosed = kSessionLength;

// Which trading day the quote shows, and how far into its session the
// market is (0 .. 389 while it trades, kSessionClosed once it closed).
// Before the opening bell the quote is still the previous session's close,
// so the history always ends the trading day before the quote's day.
struct QuoteMoment {
  int quoteDay = 0;
  int sessionMinute = kSessionClosed;
};

QuoteMoment ResolveQuoteMoment(const MarketTime& now);

// UTC seconds to New York wall time by the US daylight-saving rule in force
// since 2007 (second Sunday of March to first Sunday of November, 2:00).
MarketTime NewYorkTimeFromUtc(std::int64_t utcSeconds);
// The reverse: the UTC seconds of a New York wall time. In the hour the
// clocks go back it is the first of the two; in the hour they skip, standard
// time.
std::int64_t UtcFromNewYorkTime(const MarketTime& local);

// "2005-12-06T10:42" (New York time); years 1971 to 2199.
[[nodiscard]] bool ParseMarketTime(const std::string& text, MarketTime& out);

// The service's clock: the machine's clock in New York time, or a fixed moment.
class MarketClock {
 public:
  MarketClock() = default;
  explicit MarketClock(const MarketTime& fixed) : fixed_(fixed) {}
  MarketTime Now() const;
  bool fixed() const { return fixed_.has_value(); }

 private:
  std::optional<MarketTime> fixed_;
};

}  // namespace velmora::standin
