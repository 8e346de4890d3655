#include "quotes/history_parser.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/text_helpers.h"
#include "quotes/plausible_number.h"

namespace velmora {

namespace {

constexpr std::size_t kLineBuffer = 1024;

// One data line as read. Every line starts from a fresh row: a field the
// line does not hold reads as 0, never as the previous line's value.
struct HistoryRow {
  char date[kLineBuffer] = "";
  double open = 0;
  double high = 0;
  double low = 0;
  double close = 0;
  double volume = 0;  // a missing volume reads as 0
  double adjusted = 0;
  bool hasAdjusted = false;
};

// What a row stores once scaled to its adjusted close.
struct RowValues {
  double open = 0;
  double high = 0;
  double low = 0;
  double close = 0;
  double volume = 0;
};

// How a row is scaled to its adjusted close: the spreadsheet scales only a
// close more than 10 % away and rounds the prices to cents; the converted
// page always scales and never rounds.
enum class Scaling { BeyondTenPercentRounded, Always };

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A data line starts with a digit and has at least five commas after it.
bool isDataLine(const char* line) {
  if (!isDigit(line[0])) return false;
  int commas = 0;
  for (const char* p = line + 1; *p != '\0' && commas < 5; ++p) commas += *p == ',';
  return commas >= 5;
}

// The data-line test and the read. The line is worked on in a copy of at
// most 1023 characters, so no token can outgrow its buffer. The volume is
// read as a number of its own, so "1e20" is one absurd value rather than a
// volume of 1 followed by a bogus adjusted close.
[[nodiscard]] bool readRow(const char* line, HistoryRow& row) {
  if (line == nullptr || !isDataLine(line)) return false;
  char text[kLineBuffer];
  CopyBounded(text, sizeof text, line);
  ReplaceChar(text, ',', ' ');
  const int n = std::sscanf(text, "%1023s%lf%lf%lf%lf%lf%lf", row.date, &row.open, &row.high, &row.low,
                            &row.close, &row.volume, &row.adjusted);
  // A line of six fields carries no adjusted close: it counts as not adjusted.
  row.hasAdjusted = n >= 7;
  if (!row.hasAdjusted) row.adjusted = row.close;
  return true;
}

bool plausiblePrices(double open, double high, double low, double close) {
  return IsPlausiblePrice(open) && IsPlausiblePrice(high) && IsPlausiblePrice(low) && IsPlausiblePrice(close);
}

// The values a data row stores. False when it stores nothing: no volume
// above 0, or a number no service can mean (an unreadable row), as read or
// once scaled.
[[nodiscard]] bool rowValues(const HistoryRow& row, Scaling scaling, RowValues& out) {
  if (!plausiblePrices(row.open, row.high, row.low, row.close) || !IsPlausiblePrice(row.adjusted) ||
      !IsPlausibleVolume(row.volume))
    return false;
  out = RowValues{row.open, row.high, row.low, row.close, std::trunc(row.volume)};
  if (out.volume <= 0) return false;
  const double close = row.close;
  // A zero close cannot be compared or scaled: such a row stays as read, and
  // so does a converted row without an adjusted close or with one equal to
  // its close (volume x close / close in doubles can fall a share short).
  const bool scale =
      close > 0 && (scaling == Scaling::Always ? row.hasAdjusted && row.adjusted != close
                                               : std::fabs(close - row.adjusted) / close * 100 > 10);
  if (!scale) return true;
  // Scaled to a zero adjusted close, the row has no prices and no volume left.
  if (row.adjusted <= 0) return false;
  const double r = row.adjusted / close;
  const bool round = scaling == Scaling::BeyondTenPercentRounded;
  out.open = round ? RoundTo2Decimals(out.open * r) : out.open * r;
  out.high = round ? RoundTo2Decimals(out.high * r) : out.high * r;
  out.low = round ? RoundTo2Decimals(out.low * r) : out.low * r;
  out.volume = out.volume * close / row.adjusted;
  out.close = row.adjusted;
  // Prices scaled beyond 1e9 or a volume beyond 1e15 (a tiny close against a
  // large adjusted close, or the other way round) give no real bar either;
  // so the scaled volume always fits its field.
  return plausiblePrices(out.open, out.high, out.low, out.close) && IsPlausibleVolume(out.volume);
}

void storeRow(const HistoryRow& row, const RowValues& values, bool volumeInTens, QuoteBar& bar) {
  std::int64_t volume = StoredVolume(values.volume);
  if (volumeInTens) volume /= 10;
  bar.Reset();
  bar.SetDate(row.date);  // cut to 10 characters
  bar.SetTime(kHistoryRowTime);
  bar.open = values.open;
  bar.high = values.high;
  bar.low = values.low;
  bar.close = values.close;
  bar.volume = volume;
}

}  // namespace

bool IsVolumeInTensSymbol(const char* symbol) {
  return symbol != nullptr && strcasecmp(symbol, "^IXIC") == 0;
}

int ParseHistoryCsvLine(const char* line, bool volumeInTens, int capacity, QuoteBar* bars,
                        HistoryLoadState& state) {
  if (state.nextSlot >= capacity || state.nextSlot < 0) return 0;
  HistoryRow row;
  if (!readRow(line, row)) return 0;
  RowValues values;
  if (!rowValues(row, Scaling::BeyondTenPercentRounded, values)) return 1;
  storeRow(row, values, volumeInTens, bars[state.nextSlot]);
  ++state.nextSlot;
  return 1;
}

int ReadConvertedHistoryFile(const char* path, bool volumeInTens, int capacity, QuoteBar* bars,
                             HistoryLoadState& state) {
  if (state.nextSlot >= capacity || state.nextSlot < 0) return 0;
  std::FILE* in = std::fopen(path, "r");
  if (in == nullptr) return -1;
  char line[kLineBuffer];
  bool headerSeen = false;
  while (!headerSeen && std::fgets(line, sizeof line, in) != nullptr) {
    headerSeen = std::strstr(line, kHistoryHeader) != nullptr;
  }
  int count = 0;
  while (std::fgets(line, sizeof line, in) != nullptr) {
    HistoryRow row;
    if (!readRow(line, row)) continue;
    ++count;
    RowValues values;
    if (state.nextSlot >= capacity || !rowValues(row, Scaling::Always, values)) continue;
    storeRow(row, values, volumeInTens, bars[state.nextSlot]);
    ++state.nextSlot;
  }
  std::fclose(in);
  return count;
}

}  // namespace velmora
