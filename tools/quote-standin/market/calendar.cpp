#include "market/calendar.h"

#include <chrono>
#include <cstdio>

namespace velmora::standin {

const char* const kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

namespace {

using std::chrono::sys_days;
using std::chrono::year_month_day;

sys_days dayAt(int dayNumber) { return sys_days(std::chrono::days(dayNumber)); }
int dayNumberOf(sys_days day) { return static_cast<int>(day.time_since_epoch().count()); }

}  // namespace

int DaysFromCivil(int year, int month, int day) {
  // From the month's first day, so that a day past the month's end counts on
  // into the next month.
  const year_month_day first{std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                             std::chrono::day(1)};
  return dayNumberOf(sys_days(first) + std::chrono::days(day - 1));
}

void CivilFromDays(int dayNumber, int& year, int& month, int& day) {
  const year_month_day date{dayAt(dayNumber)};
  year = static_cast<int>(date.year());
  month = static_cast<int>(static_cast<unsigned>(date.month()));
  day = static_cast<int>(static_cast<unsigned>(date.day()));
}

int Weekday(int days) { return static_cast<int>(std::chrono::weekday(dayAt(days)).c_encoding()); }

bool IsTradingDay(int days) {
  const int w = Weekday(days);
  return w >= 1 && w <= 5;
}

int PreviousTradingDay(int days) {
  int d = days - 1;
  while (!IsTradingDay(d)) --d;
  return d;
}

int WeekKey(int dayNumber) {
  // Whole weeks since Monday 1969-12-29, rounded down for earlier days too.
  return static_cast<int>(std::chrono::floor<std::chrono::weeks>(std::chrono::days(dayNumber + 3)).count());
}

int MonthKey(int days) {
  const year_month_day date{dayAt(days)};
  return static_cast<int>(date.year()) * 12 + static_cast<int>(static_cast<unsigned>(date.month())) - 1;
}

namespace {

[[nodiscard]] bool readNumber(std::string_view text, std::size_t& pos, int maxDigits, int& value,
                              int& digits) {
  value = 0;
  digits = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < maxDigits) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++digits;
  }
  return digits > 0;
}

bool validDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  return year_month_day(std::chrono::year(year), std::chrono::month(static_cast<unsigned>(month)),
                        std::chrono::day(static_cast<unsigned>(day)))
      .ok();
}

}  // namespace

bool ParseIsoDate(std::string_view text, int& days) {
  std::size_t pos = 0;
  int year, month, day, digits;
  if (!readNumber(text, pos, 4, year, digits) || digits != 4) return false;
  if (pos >= text.size() || text[pos++] != '-') return false;
  if (!readNumber(text, pos, 2, month, digits)) return false;
  if (pos >= text.size() || text[pos++] != '-') return false;
  if (!readNumber(text, pos, 2, day, digits)) return false;
  if (pos < text.size() && text[pos] != 'T' && text[pos] != ' ') return false;
  if (!validDate(year, month, day)) return false;
  days = DaysFromCivil(year, month, day);
  return true;
}

bool ParseDayMonthYear(std::string_view text, int& days) {
  std::size_t pos = 0;
  int day, year, digits;
  if (!readNumber(text, pos, 2, day, digits)) return false;
  if (pos + 5 > text.size() || text[pos] != '-' || text[pos + 4] != '-') return false;
  const std::string_view name = text.substr(pos + 1, 3);
  int month = 0;
  for (int i = 0; i < 12; ++i) {
    if (name == kMonthAbbrev[i]) month = i + 1;
  }
  if (month == 0) return false;
  pos += 5;
  if (!readNumber(text, pos, 4, year, digits) || pos != text.size()) return false;
  if (digits == 2) {
    year += year <= 68 ? 2000 : 1900;  // the POSIX %y rule
  } else if (digits != 4) {
    return false;
  }
  if (!validDate(year, month, day)) return false;
  days = DaysFromCivil(year, month, day);
  return true;
}

void AppendShortDate(std::string& out, int days) {
  int y, m, d;
  CivilFromDays(days, y, m, d);
  char text[24];
  const int n =
      std::snprintf(text, sizeof text, "%d-%s-%02d", d, kMonthAbbrev[m - 1], ((y % 100) + 100) % 100);
  out.append(text, static_cast<std::size_t>(n));
}

void AppendSlashDate(std::string& out, int days) {
  int y, m, d;
  CivilFromDays(days, y, m, d);
  char text[24];
  const int n = std::snprintf(text, sizeof text, "%d/%d/%d", m, d, y);
  out.append(text, static_cast<std::size_t>(n));
}

std::string LongDate(int days) {
  int y, m, d;
  CivilFromDays(days, y, m, d);
  char text[24];
  std::snprintf(text, sizeof text, "%s %d, %d", kMonthAbbrev[m - 1], d, y);
  return text;
}

}  // namespace velmora::standin
