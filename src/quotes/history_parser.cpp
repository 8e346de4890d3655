#include "quotes/history_parser.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/text_helpers.h"
#include "quotes/saturate.h"

namespace velmora {

namespace {

constexpr std::size_t kLineBuffer = 1024;

struct HistoryRow {
  char date[kLineBuffer];
  double open = 0;
  double high = 0;
  double low = 0;
  double close = 0;
  long volume = 0;  // a missing volume reads as 0
  double adjusted = 0;
  bool hasAdjusted = false;
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A data line starts with a digit and has at least five commas after it.
bool isDataLine(const char* line) {
  if (!isDigit(line[0])) return false;
  int commas = 0;
  for (const char* p = line + 1; *p != '\0' && commas < 5; ++p) commas += *p == ',';
  return commas >= 5;
}

// The data-line test and the read. The line is worked on in a copy of at
// most 1023 characters, so no token can outgrow its buffer.
bool readRow(const char* line, HistoryRow& row) {
  if (line == nullptr || !isDataLine(line)) return false;
  char text[kLineBuffer];
  CopyBounded(text, sizeof text, line);
  ReplaceChar(text, ',', ' ');
  row.date[0] = '\0';
  const int n = std::sscanf(text, "%1023s%lf%lf%lf%lf%ld%lf", row.date, &row.open, &row.high, &row.low,
                            &row.close, &row.volume, &row.adjusted);
  // A line of six fields carries no adjusted close: it counts as not adjusted.
  row.hasAdjusted = n >= 7;
  if (!row.hasAdjusted) row.adjusted = row.close;
  return true;
}

void storeRow(const HistoryRow& row, double open, double high, double low, double close, std::int32_t volume,
              bool volumeInTens, QuoteBar& bar) {
  if (volumeInTens) volume /= 10;
  bar.Reset();
  bar.SetDate(row.date);  // cut to 10 characters
  bar.SetTime(kHistoryRowTime);
  bar.open = open;
  bar.high = high;
  bar.low = low;
  bar.close = close;
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
  if (row.volume <= 0) return 1;
  double open = row.open, high = row.high, low = row.low, close = row.close;
  std::int32_t volume = SaturateToInt32(static_cast<long long>(row.volume));
  // A zero close cannot be compared; it is left as read.
  if (close > 0 && std::fabs(close - row.adjusted) / close * 100 > 10) {
    const double r = row.adjusted / close;
    open = RoundTo2Decimals(open * r);
    high = RoundTo2Decimals(high * r);
    low = RoundTo2Decimals(low * r);
    volume = SaturateToInt32(static_cast<double>(row.volume) * close / row.adjusted);
    close = row.adjusted;
  }
  storeRow(row, open, high, low, close, volume, volumeInTens, bars[state.nextSlot]);
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
  HistoryRow row;
  while (std::fgets(line, sizeof line, in) != nullptr) {
    if (!readRow(line, row)) continue;
    ++count;
    if (row.volume <= 0 || state.nextSlot >= capacity) continue;
    double open = row.open, high = row.high, low = row.low, close = row.close;
    std::int32_t volume = SaturateToInt32(static_cast<long long>(row.volume));
    // Always scaled to the adjusted close; a row without one, or with a zero
    // close, stays as read.
    if (row.hasAdjusted && close != 0) {
      const double r = row.adjusted / close;
      open *= r;
      high *= r;
      low *= r;
      volume = SaturateToInt32(static_cast<double>(row.volume) * close / row.adjusted);
      close = row.adjusted;
    }
    storeRow(row, open, high, low, close, volume, volumeInTens, bars[state.nextSlot]);
    ++state.nextSlot;
  }
  std::fclose(in);
  return count;
}

}  // namespace velmora
