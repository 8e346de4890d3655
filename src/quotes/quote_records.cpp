#include "quotes/quote_records.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/text_helpers.h"
#include "quotes/plausible_number.h"

namespace velmora {

namespace {

// Records arrive as lines of at most 1022 characters. Each is worked on in a
// copy of at most 1023, and every text field is read into a buffer of the
// same size, so no field can overflow; the fields are then cut to their
// places.
constexpr std::size_t kRecordBuffer = 1024;

struct RecordText {
  char buf[kRecordBuffer];
  explicit RecordText(const char* line) { CopyBounded(buf, sizeof buf, line != nullptr ? line : ""); }
};

void cleanRecord(char* text) {
  ReplaceChar(text, '"', ' ');
  ReplaceChar(text, ',', ' ');
  ReplaceText(text, "N/A", "000");
}

}  // namespace

void ParseDayWatchRecord(const char* line, DayWatchRecord& record) {
  record = DayWatchRecord{};
  RecordText text(line);
  cleanRecord(text.buf);
  char symbol[kRecordBuffer] = "";
  char time[kRecordBuffer] = "";
  double volume = 0;
  // The date is cut at 10 characters by the read itself. The volume is read
  // as a number of its own, so "1e20" is one absurd value, not a volume of 1.
  const int n = std::sscanf(text.buf, "%1023s%lf%10s%1023s%lf%lf%lf%lf%lf", symbol, &record.last, record.date,
                            time, &record.change, &record.open, &record.high, &record.low, &volume);
  record.fieldsRead = n > 0 ? n : 0;
  CopyBounded(record.symbol, sizeof record.symbol, symbol);
  CopyBounded(record.time, sizeof record.time, time);
  // Fields the line does not hold read as 0 and are plausible.
  record.readable = IsPlausiblePrice(record.last) && IsPlausibleChange(record.change) &&
                    IsPlausiblePrice(record.open) && IsPlausiblePrice(record.high) &&
                    IsPlausiblePrice(record.low) && IsPlausibleVolume(volume);
  record.volume = record.readable ? StoredVolume(volume) : 0;
}

void ParseRealTimeRecord(const char* line, RealTimeRecord& record) {
  record = RealTimeRecord{};
  RecordText text(line);
  ReplaceChar(text.buf, ' ', '#');  // a field holding blanks stays one field
  cleanRecord(text.buf);
  char symbol[kRecordBuffer] = "";
  char time[kRecordBuffer] = "";
  char change[kRecordBuffer] = "";
  char percent[kRecordBuffer] = "";
  const int n = std::sscanf(text.buf, "%1023s%1023s%lf%1023s%1023s%lf%lf", symbol, time, &record.last, change,
                            percent, &record.extra1, &record.extra2);
  record.fieldsRead = n > 0 ? n : 0;
  for (char* field : {symbol, time, change, percent}) ReplaceChar(field, '#', ' ');
  CopyBounded(record.symbol, sizeof record.symbol, symbol);
  CopyBounded(record.time, sizeof record.time, time);
  CopyBounded(record.changeText, sizeof record.changeText, change);
  CopyBounded(record.changePercentText, sizeof record.changePercentText, percent);
  // The change is applied as the number its text begins with (a text that
  // is no number reads as 0); the percent text is never used as a number.
  record.readable = IsPlausiblePrice(record.last) && IsPlausibleChange(std::atof(record.changeText)) &&
                    IsPlausiblePrice(record.extra1) && IsPlausiblePrice(record.extra2);
}

ShortVolumeRead ParseShortDayWatchVolume(const char* line, char (&symbol)[64], std::int64_t& volume) {
  RecordText text(line);
  cleanRecord(text.buf);
  char word[kRecordBuffer] = "";
  double value = 0;
  const int n = std::sscanf(text.buf, "%1023s%lf", word, &value);
  CopyBounded(symbol, sizeof symbol, word);
  if (n < 2) return ShortVolumeRead::Missing;
  if (!IsPlausibleVolume(value)) return ShortVolumeRead::Unreadable;
  volume = StoredVolume(value);
  return ShortVolumeRead::Read;
}

LocalDate TodayLocal() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

void ApplyDayWatchRecord(const DayWatchRecord& record, QuoteBar& bar) {
  if (!record.readable) return;
  const double closeBefore = bar.close;
  if (record.open > 0) bar.open = record.open;
  if (record.high > 0) bar.high = std::max(record.high, closeBefore);
  if (record.low > 0) bar.low = std::min(record.low, closeBefore);
  // Change and volume go straight to the bar; a line too short to hold them
  // leaves the old values.
  if (record.hasChange()) bar.change = record.change;
  if (record.hasVolume()) bar.volume = record.volume;
  if (record.last > 0) {
    bar.close = record.last;
    bar.SetDate(record.date);
    bar.SetTime(record.time);
  }
}

void ApplyRealTimeRecord(const RealTimeRecord& record, const DayWatchRecord& dayWatch, const LocalDate& today,
                         QuoteBar& bar, double* extra1, double* extra2) {
  if (!record.readable || !dayWatch.readable) return;
  if (record.last > 0) {
    bar.close = record.last;
    bar.SetDate(dayWatch.date);
    bar.SetTime(record.time);
  }
  if (std::strchr(bar.time, ':') != nullptr) {
    char date[40];
    std::snprintf(date, sizeof date, "%d/%d/%d", today.month, today.day, today.year);
    bar.SetDate(date);
  }
  if (record.fieldsRead >= 4) bar.change = std::atof(record.changeText);
  // A previous close of 0 has no percentage; 0 is shown instead of infinity.
  const double previousClose = bar.close - bar.change;
  bar.changePercent = previousClose != 0 ? bar.change / previousClose * 100 : 0;
  if (record.fieldsRead >= 6 && extra1 != nullptr) *extra1 = record.extra1;
  if (record.fieldsRead >= 7 && extra2 != nullptr) *extra2 = record.extra2;
}

void ApplyHighLowRule(QuoteBar& bar) {
  bar.high = std::max(bar.high, bar.close);
  bar.low = std::min(bar.low, bar.close);
}

}  // namespace velmora
