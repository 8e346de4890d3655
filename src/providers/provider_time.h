#pragma once

#include <cstdint>
#include <string_view>

#include "providers/provider.h"

namespace velmora {

// Calendar arithmetic for the providers' dates and times, without the C
// library's time-zone state (which is process-wide and not thread-safe to
// switch).

// Days since 1970-01-01 of a date (proleptic Gregorian), and back.
std::int64_t DaysSinceEpoch(ProviderDate date);
ProviderDate DateOfDays(std::int64_t days);

// 00:00 UTC of a date in Unix seconds.
inline std::int64_t UnixMidnight(ProviderDate date) { return DaysSinceEpoch(date) * 86400; }

// True for a real calendar date (month 1-12, a day the month has).
bool IsCalendarDate(ProviderDate date);

// New York's offset from UTC at a moment: -4 h from the second Sunday of
// March at 2:00 EST to the first Sunday of November at 2:00 EDT, else -5 h
// (the rule in force since 2007, applied to every year).
int NewYorkUtcOffsetSeconds(std::int64_t unixSeconds);

// A moment as the exchange's wall clock shows it.
struct ExchangeClock {
  ProviderDate date;
  int hour = 0;  // 0-23
  int minute = 0;
};
ExchangeClock ClockAt(std::int64_t unixSeconds, int utcOffsetSeconds);

// The date this machine's clock shows at a moment (its local time zone): the
// day a request is made.
ProviderDate LocalDateAt(std::int64_t unixSeconds);

// "YYYY-MM-DD" at the start of the text, followed by nothing, 'T' or a blank.
[[nodiscard]] bool ReadIsoDate(std::string_view text, ProviderDate& date);

// "YYYY-MM-DDTHH:MM[:SS[.fraction]]" with "Z" or "+HH:MM"/"-HH:MM" (no
// offset reads as UTC) into Unix seconds, the fraction dropped.
[[nodiscard]] bool ReadIsoTimestamp(std::string_view text, std::int64_t& unixSeconds);

}  // namespace velmora
