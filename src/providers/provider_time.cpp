#include "providers/provider_time.h"

#include <algorithm>
#include <ctime>

#include "core/chart_dates.h"

namespace velmora {

namespace {

// Floor division for negative days and offsets.
std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

bool isLeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool digitsAt(std::string_view text, std::size_t at, std::size_t count, int& value) {
  if (text.size() < at + count) return false;
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

// The n-th Sunday of a month, in days since the epoch.
std::int64_t nthSunday(int year, int month, int n) {
  const std::int64_t first = DaysSinceEpoch({year, month, 1});
  const std::int64_t weekday = ((first % 7) + 7 + 4) % 7;  // 1970-01-01 was a Thursday (4)
  return first + (7 - weekday) % 7 + 7 * (n - 1);
}

}  // namespace

// The engine's calendar arithmetic. Days beyond a few hundred thousand
// years either way (only a malformed answer gets there) are held at that
// bound, so they stay inside its int range.
std::int64_t DaysSinceEpoch(ProviderDate date) {
  return DaysFromCivil(CalendarDate{date.year, date.month, date.day});
}

ProviderDate DateOfDays(std::int64_t days) {
  constexpr std::int64_t kBound = 100000000;
  const CalendarDate d = CivilFromDays(static_cast<int>(std::clamp(days, -kBound, kBound)));
  return ProviderDate{d.year, d.month, d.day};
}

bool IsCalendarDate(ProviderDate date) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.month < 1 || date.month > 12 || date.day < 1) return false;
  const int days = kDays[date.month - 1] + (date.month == 2 && isLeapYear(date.year) ? 1 : 0);
  return date.day <= days;
}

int NewYorkUtcOffsetSeconds(std::int64_t unixSeconds) {
  const int year = DateOfDays(floorDiv(unixSeconds, 86400)).year;
  // 2:00 EST is 7:00 UTC; 2:00 EDT is 6:00 UTC.
  const std::int64_t start = nthSunday(year, 3, 2) * 86400 + 7 * 3600;
  const std::int64_t end = nthSunday(year, 11, 1) * 86400 + 6 * 3600;
  return unixSeconds >= start && unixSeconds < end ? -4 * 3600 : -5 * 3600;
}

ExchangeClock ClockAt(std::int64_t unixSeconds, int utcOffsetSeconds) {
  const std::int64_t local = unixSeconds + utcOffsetSeconds;
  const std::int64_t days = floorDiv(local, 86400);
  const std::int64_t secondOfDay = local - days * 86400;
  ExchangeClock clock;
  clock.date = DateOfDays(days);
  clock.hour = static_cast<int>(secondOfDay / 3600);
  clock.minute = static_cast<int>(secondOfDay % 3600 / 60);
  return clock;
}

ProviderDate LocalDateAt(std::int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return DateOfDays(floorDiv(unixSeconds, 86400));
  return ProviderDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

bool ReadIsoDate(std::string_view text, ProviderDate& date) {
  ProviderDate d;
  if (!digitsAt(text, 0, 4, d.year) || text.size() < 10 || text[4] != '-' || !digitsAt(text, 5, 2, d.month) ||
      text[7] != '-' || !digitsAt(text, 8, 2, d.day))
    return false;
  if (text.size() > 10 && text[10] != 'T' && text[10] != ' ') return false;
  if (!IsCalendarDate(d)) return false;
  date = d;
  return true;
}

bool ReadIsoTimestamp(std::string_view text, std::int64_t& unixSeconds) {
  ProviderDate date;
  if (!ReadIsoDate(text, date) || text.size() < 16 || text[10] != 'T') return false;
  int hour = 0, minute = 0, second = 0;
  if (!digitsAt(text, 11, 2, hour) || text[13] != ':' || !digitsAt(text, 14, 2, minute)) return false;
  std::size_t at = 16;
  if (at < text.size() && text[at] == ':') {
    if (!digitsAt(text, at + 1, 2, second)) return false;
    at += 3;
    if (at < text.size() && text[at] == '.') {
      ++at;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
    }
  }
  if (hour > 23 || minute > 59 || second > 60) return false;
  int offset = 0;
  if (at < text.size()) {
    const char sign = text[at];
    if (sign == 'Z' && at + 1 == text.size()) {
      offset = 0;
    } else if (sign == '+' || sign == '-') {
      int oh = 0, om = 0;
      if (!digitsAt(text, at + 1, 2, oh) || oh > 18) return false;
      std::size_t after = at + 3;
      if (after < text.size() && text[after] == ':') ++after;
      if (!digitsAt(text, after, 2, om) || om > 59 || after + 2 != text.size()) return false;
      offset = (oh * 3600 + om * 60) * (sign == '-' ? -1 : 1);
    } else {
      return false;
    }
  }
  unixSeconds = UnixMidnight(date) + hour * 3600 + minute * 60 + second - offset;
  return true;
}

}  // namespace velmora
