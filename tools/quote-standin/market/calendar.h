#pragma once

#include <string>
#include <string_view>

namespace velmora::standin {

// Dates are day numbers: days since 1970-01-01, which was a Thursday (the
// count of a std::chrono::sys_days).
int DaysFromCivil(int year, int month, int day);
void CivilFromDays(int days, int& year, int& month, int& day);

int Weekday(int days);  // 0 = Sunday .. 6 = Saturday
// The market trades Monday to Friday; the service knows no holidays.
bool IsTradingDay(int days);
int PreviousTradingDay(int days);  // the last trading day strictly before

// Groups for weekly (Monday to Sunday) and monthly bars.
int WeekKey(int days);
int MonthKey(int days);

// "2005-12-06" (optionally followed by a time) and "6-Dec-05" / "6-Dec-2005".
[[nodiscard]] bool ParseIsoDate(std::string_view text, int& days);
[[nodiscard]] bool ParseDayMonthYear(std::string_view text, int& days);

// "6-Dec-05": day, English month abbreviation, two-digit year.
void AppendShortDate(std::string& out, int days);
// "12/6/2005": month, day, four-digit year, no leading zeros.
void AppendSlashDate(std::string& out, int days);
// "Dec 6, 2005" for page captions.
std::string LongDate(int days);

extern const char* const kMonthAbbrev[12];

}  // namespace velmora::standin
