#include "calendar.h"

#include <cstdio>

namespace velmora::standin {

const char* const kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Civil-calendar conversions after H. Hinnant's well-known algorithms.
int DaysFromCivil(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int yoe = year - era * 400;
  const int doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int days, int& year, int& month, int& day) {
  const int z = days + 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = z - era * 146097;
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  day = doy - (153 * mp + 2) / 5 + 1;
  month = mp < 10 ? mp + 3 : mp - 9;
  year = yoe + era * 400 + (month <= 2 ? 1 : 0);
}

int Weekday(int days) {
  const int w = (days + 4) % 7;
  return w < 0 ? w + 7 : w;
}

bool IsTradingDay(int days) {
  const int w = Weekday(days);
  return w >= 1 && w <= 5;
}

int PreviousTradingDay(int days) {
  int d = days - 1;
  while (!IsTradingDay(d)) --d;
  return d;
}

int WeekKey(int days) {
  // Day 4 (1970-01-05) was a Monday; floor division keeps earlier days apart.
  const int shifted = days + 3;
  return shifted >= 0 ? shifted / 7 : (shifted - 6) / 7;
}

int MonthKey(int days) {
  int y, m, d;
  CivilFromDays(days, y, m, d);
  return y * 12 + (m - 1);
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
  int y2, m2, d2;
  CivilFromDays(DaysFromCivil(year, month, 1) + day - 1, y2, m2, d2);
  return m2 == month;
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
