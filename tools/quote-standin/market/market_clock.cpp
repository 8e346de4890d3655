#include "market/market_clock.h"

#include <chrono>

#include "market/calendar.h"

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

MarketTime NewYorkTimeFromUtc(std::int64_t utcSeconds) {
  using namespace std::chrono;
  const sys_seconds utc{seconds(utcSeconds)};
  const year y = year_month_day(floor<days>(utc)).year();
  // Daylight time starts at 7:00 UTC (2:00 EST) and ends at 6:00 UTC (2:00 EDT).
  const sys_seconds start = sys_days(y / March / Sunday[2]) + hours(7);
  const sys_seconds end = sys_days(y / November / Sunday[1]) + hours(6);
  const bool daylight = utc >= start && utc < end;
  const sys_seconds local = utc - hours(daylight ? 4 : 5);
  const sys_days localDay = floor<days>(local);
  MarketTime t;
  t.day = static_cast<int>(localDay.time_since_epoch().count());
  t.minute = static_cast<int>(duration_cast<minutes>(local - localDay).count());
  return t;
}

std::int64_t UtcFromNewYorkTime(const MarketTime& local) {
  using namespace std::chrono;
  const sys_seconds wall = sys_days(days(local.day)) + minutes(local.minute);
  const sys_seconds daylight = wall + hours(4);
  const MarketTime back = NewYorkTimeFromUtc(daylight.time_since_epoch().count());
  if (back.day == local.day && back.minute == local.minute) return daylight.time_since_epoch().count();
  return (wall + hours(5)).time_since_epoch().count();
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
