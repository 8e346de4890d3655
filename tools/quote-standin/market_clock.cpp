#include "market_clock.h"

#include <chrono>

#include "calendar.h"

namespace velmora::standin {

QuoteMoment ResolveQuoteMoment(const MarketTime& now) {
  QuoteMoment m;
  if (IsTradingDay(now.day) && now.minute >= kSessionOpenMinute) {
    m.quoteDay = now.day;
    const int into = now.minute - kSessionOpenMinute;
    m.sessionMinute = into < kSessionLength ? into : kSessionClosed;
  } else {
    m.quoteDay = PreviousTradingDay(now.day);
    m.sessionMinute = kSessionClosed;
  }
  return m;
}

namespace {

int nthSunday(int year, int month, int n) {
  const int first = DaysFromCivil(year, month, 1);
  const int toSunday = (7 - Weekday(first)) % 7;
  return first + toSunday + 7 * (n - 1);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

MarketTime NewYorkTimeFromUtc(std::int64_t utcSeconds) {
  const int utcDay = static_cast<int>(floorDiv(utcSeconds, 86400));
  int y, mo, d;
  CivilFromDays(utcDay, y, mo, d);
  // Daylight time starts at 7:00 UTC (2:00 EST) and ends at 6:00 UTC (2:00 EDT).
  const std::int64_t start = static_cast<std::int64_t>(nthSunday(y, 3, 2)) * 86400 + 7 * 3600;
  const std::int64_t end = static_cast<std::int64_t>(nthSunday(y, 11, 1)) * 86400 + 6 * 3600;
  const bool daylight = utcSeconds >= start && utcSeconds < end;
  const std::int64_t local = utcSeconds - (daylight ? 4 : 5) * 3600;
  MarketTime t;
  t.day = static_cast<int>(floorDiv(local, 86400));
  t.minute = static_cast<int>((local - static_cast<std::int64_t>(t.day) * 86400) / 60);
  return t;
}

std::int64_t UtcFromNewYorkTime(const MarketTime& local) {
  const std::int64_t wall =
      static_cast<std::int64_t>(local.day) * 86400 + static_cast<std::int64_t>(local.minute) * 60;
  const std::int64_t daylight = wall + 4 * 3600;
  const MarketTime back = NewYorkTimeFromUtc(daylight);
  if (back.day == local.day && back.minute == local.minute) return daylight;
  return wall + 5 * 3600;
}

bool ParseMarketTime(const std::string& text, MarketTime& out) {
  // YYYY-MM-DDTHH:MM, nothing more.
  if (text.size() != 16 || text[10] != 'T' || text[13] != ':') return false;
  int days = 0;
  if (!ParseIsoDate(std::string_view(text).substr(0, 10), days)) return false;
  int y, m, d;
  CivilFromDays(days, y, m, d);
  if (y < 1971 || y > 2199) return false;
  for (int i : {11, 12, 14, 15}) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  const int hour = (text[11] - '0') * 10 + (text[12] - '0');
  const int minute = (text[14] - '0') * 10 + (text[15] - '0');
  if (hour > 23 || minute > 59) return false;
  out.day = days;
  out.minute = hour * 60 + minute;
  return true;
}

MarketTime MarketClock::Now() const {
  if (fixed_) return *fixed_;
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return NewYorkTimeFromUtc(std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

}  // namespace velmora::standin
