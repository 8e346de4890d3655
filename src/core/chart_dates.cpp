#include "core/chart_dates.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "base/text_helpers.h"

namespace velmora {

CalendarDate TodayLocalDate() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

// Howard Hinnant's days_from_civil / civil_from_days.
int DaysFromCivil(const CalendarDate& d) {
  const int y = d.year - (d.month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int mp = (d.month + 9) % 12;
  const int doy = (153 * mp + 2) / 5 + d.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CalendarDate CivilFromDays(int days) {
  const int z = days + 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const int doe = z - era * 146097;
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  const int day = doy - (153 * mp + 2) / 5 + 1;
  const int month = mp < 10 ? mp + 3 : mp - 9;
  return {yoe + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

CalendarDate AddDays(const CalendarDate& d, int days) { return CivilFromDays(DaysFromCivil(d) + days); }

CalendarDate ParseSettingsDate(const std::string& text) {
  char buffer[64];
  CopyBounded(buffer, sizeof buffer, text.c_str());
  ReplaceChar(buffer, '/', ' ');
  CalendarDate d;
  if (std::sscanf(buffer, "%d%d%d", &d.month, &d.day, &d.year) < 3) {
    // Free text typed for "Customize": what could not be read stays 0.
  }
  return d;
}

std::string FormatSettingsDate(const CalendarDate& d) {
  char text[48];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", d.month, d.day, d.year);
  return text;
}

namespace {

bool wholeDay(const CalendarDate& d) {
  return d.year > 0 && d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31;
}

}  // namespace

bool OrderSettingsDates(std::string& startDate, std::string& endDate) {
  const CalendarDate start = ParseSettingsDate(startDate);
  const CalendarDate end = ParseSettingsDate(endDate);
  if (!wholeDay(start) || !wholeDay(end) || DateKeyOf(start) <= DateKeyOf(end)) return false;
  std::swap(startDate, endDate);
  return true;
}

namespace {

struct DurationSpan {
  const char* name;
  int days;
};

constexpr DurationSpan kSpans[] = {{"1 month", 31},  {"3 months", 93},  {"6 months", 186}, {"1 year", 365},
                                   {"2 years", 730}, {"3 years", 1095}, {"4 years", 1460}, {"5 years", 1825}};

}  // namespace

int DurationSpanDays(const std::string& duration) {
  for (const DurationSpan& s : kSpans)
    if (duration == s.name) return s.days;
  return -1;
}

std::string PeriodForDuration(const std::string& duration, const std::string& current) {
  const int days = DurationSpanDays(duration);
  if (days < 0) return current;
  if (days <= 186) return "Daily";
  if (days >= 730) return "Weekly";
  return current;  // "1 year" leaves the choice to the user
}

bool DatesForDuration(const std::string& duration, const CalendarDate& today, std::string& startDate,
                      std::string& endDate) {
  const int days = DurationSpanDays(duration);
  if (days < 0) return false;
  endDate = FormatSettingsDate(today);
  startDate = FormatSettingsDate(AddDays(today, -days));
  return true;
}

}  // namespace velmora
