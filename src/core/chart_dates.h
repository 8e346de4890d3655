#pragma once

#include <array>
#include <string>

#include "base/text_helpers.h"

namespace velmora {

// A calendar day of the local time zone.
struct CalendarDate {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
};

// year * 10000 + month * 100 + day: ordered like the days themselves.
inline int DateKeyOf(const CalendarDate& d) { return DateKeyFromParts(d.year, d.month, d.day); }

// Today in local time.
CalendarDate TodayLocalDate();

// Days since 1970-01-01 of a proleptic Gregorian date, and back. Pure
// calendar arithmetic, so a daylight-saving change never moves a day.
int DaysFromCivil(const CalendarDate& d);
CalendarDate CivilFromDays(int days);
CalendarDate AddDays(const CalendarDate& d, int days);

// A chart setting date: every '/' read as a blank, then month, day and
// year as three integers. A number the text does not hold reads as 0.
CalendarDate ParseSettingsDate(const std::string& text);

// "%02d/%02d/%04d": month, day, four-digit year.
std::string FormatSettingsDate(const CalendarDate& d);

// A chart's two dates the right way round: when both name a whole day and
// the start is later than the end (12/01/2026 to 01/01/2026), they are
// swapped, as a drag across the bars orders its two days. Free text, or a
// date that reads incompletely, is left as typed. True when swapped.
bool OrderSettingsDates(std::string& startDate, std::string& endDate);

// The duration choices of the chart settings, in the order they are offered.
inline constexpr std::array<const char*, 9> kDurationNames = {
    "1 month", "3 months", "6 months", "1 year", "2 years", "3 years", "4 years", "5 years", "Customize"};
inline constexpr const char* kCustomizeDuration = "Customize";

// Days before today that a preset duration reaches back; -1 for
// "Customize" and for any text that is not a preset.
int DurationSpanDays(const std::string& duration);

// The period a preset duration implies: "Daily" up to six months,
// "Weekly" from two years on; any other duration keeps `current`.
std::string PeriodForDuration(const std::string& duration, const std::string& current);

// The start and end dates of a preset duration ending `today`; false (and
// nothing written) for "Customize" or a text that is not a preset.
bool DatesForDuration(const std::string& duration, const CalendarDate& today, std::string& startDate,
                      std::string& endDate);

}  // namespace velmora
