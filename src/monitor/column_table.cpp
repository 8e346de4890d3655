#include "monitor/column_table.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

int length(const char* word) { return static_cast<int>(std::strlen(word)); }

// The word's length, at least `minimum`.
int atLeast(const char* word, int minimum) { return std::max(length(word), minimum); }

// One blank before the word, at least `minimum`.
int padded(const char* word, int minimum) { return std::max(length(word) + 1, minimum); }

ColumnTable build() {
  ColumnTable t{};
  t.symbol = atLeast("Symbol", 8);
  t.time = atLeast("Time", 9);
  t.date = atLeast("Date", 9);
  t.mark = padded("", 2);
  t.upperBreak = padded("UBreak", 7);
  t.lowerBreak = padded("DBreak", 7);
  t.open = padded("Open", 7);
  t.high = padded("High", 7);
  t.low = padded("Low", 7);
  t.close = padded("Close", 7);
  t.volume = padded("Volume", 10);
  t.volumeAverage = padded("Volume 50DAvg", 15);
  t.change = ColumnTable::kChangeValueWidth + ColumnTable::kChangePercentWidth + 1;
  t.toEma10 = padded("To10D%", 7);
  for (int i = 0; i < ColumnTable::kAverageCount; ++i)
    t.above[i] = ColumnTable::kAverageValueWidth + ColumnTable::kAverageFlagWidth;
  t.rsi = length("RSI14") + 1;
  t.stochK = ColumnTable::kStochLabelWidth + ColumnTable::kStochDigitWidth;
  t.stochD = ColumnTable::kStochLabelWidth + ColumnTable::kStochDigitWidth;
  t.bs0 = padded("BS0", 4);
  return t;
}

}  // namespace

const ColumnTable& columnTable() {
  static const ColumnTable table = build();
  return table;
}

}  // namespace velmora
