#pragma once

#include <cstdint>

#include "core/quote_bar.h"

namespace velmora {

// The day-watch record: symbol, last price, trade date, trade time, change,
// open, high, low, volume. Texts are bounded: symbol 63, date 10, time 7.
struct DayWatchRecord {
  char symbol[64] = "";
  double last = 0;
  char date[11] = "";
  char time[8] = "";
  double change = 0;
  double open = 0;
  double high = 0;
  double low = 0;
  std::int64_t volume = 0;
  int fieldsRead = 0;  // fields the line held, in order
  // False when a number is no plausible price, change or volume
  // (plausible_number.h): the record is no quote and is never applied.
  bool readable = true;

  bool hasChange() const { return fieldsRead >= 5; }
  bool hasVolume() const { return fieldsRead >= 9; }
};

// The real-time record: symbol, trade time, last price, change text, change
// percent text and two further numbers. Fields that held blanks keep them.
struct RealTimeRecord {
  char symbol[64] = "";
  char time[8] = "";
  double last = 0;
  char changeText[64] = "";
  char changePercentText[64] = "";
  double extra1 = 0;
  double extra2 = 0;
  int fieldsRead = 0;
  // False when the last price, the change or a further number (bid, ask) is
  // not plausible: the record is no quote and is never applied.
  bool readable = true;
};

// A field the line does not hold reads as 0 (numbers) or "" (texts).
void ParseDayWatchRecord(const char* line, DayWatchRecord& record);
void ParseRealTimeRecord(const char* line, RealTimeRecord& record);

// The composite index's volume: the integer part of the last price of the
// "^TV.O" day-watch record, and the record's symbol (cut to 63 characters).
// Missing: there is no number; Unreadable: the number is no plausible
// volume. The volume is written only when Read.
enum class ShortVolumeRead { Missing, Read, Unreadable };
[[nodiscard]] ShortVolumeRead ParseShortDayWatchVolume(const char* line, char (&symbol)[64],
                                                       std::int64_t& volume);

struct LocalDate {
  int year = 0;
  int month = 0;
  int day = 0;
};
LocalDate TodayLocal();

// Day-watch record onto the current bar: values of 0 or less leave their
// field alone; high and low are held against the close the bar had before.
// An unreadable record changes nothing.
void ApplyDayWatchRecord(const DayWatchRecord& record, QuoteBar& bar);

// Real-time record onto the current bar (after the day-watch record). A time
// text with ':' dates the bar `today` ("%d/%d/%d", month/day/year). The
// change percent is worked out from the change and the close. The two
// further numbers go to extra1 and extra2 when given. Nothing changes when
// either record is unreadable.
void ApplyRealTimeRecord(const RealTimeRecord& record, const DayWatchRecord& dayWatch, const LocalDate& today,
                         QuoteBar& bar, double* extra1, double* extra2);

// After a successful update: the high covers the close, the low does too.
void ApplyHighLowRule(QuoteBar& bar);

}  // namespace velmora
