#pragma once

namespace velmora {

// The column words of every fixed-width text output (reports, the local
// history text file, the monitor list) and the widths derived from them once.
// Every column is right-aligned in its width.
struct ColumnTable {
  // Parts of the composite columns: fixed numbers, not derived from words.
  static constexpr int kChangeValueWidth = 7;
  static constexpr int kChangePercentWidth = 6;
  static constexpr int kAverageValueWidth = 7;
  static constexpr int kAverageFlagWidth = 2;
  static constexpr int kStochLabelWidth = 4;
  static constexpr int kStochDigitWidth = 2;
  static constexpr int kAverageCount = 6;

  int symbol;      // "Symbol"
  int time;        // "Time"
  int date;        // "Date"
  int mark;        // "" (one mark column)
  int upperBreak;  // "UBreak"
  int lowerBreak;  // "DBreak"
  int open;
  int high;
  int low;
  int close;
  int volume;                // "Volume"
  int volumeAverage;         // "Volume 50DAvg"
  int change;                // "Change(%)"
  int toEma10;               // "To10D%"
  int above[kAverageCount];  // "Above5D" ... "Above200D"
  int rsi;                   // "RSI14"
  int stochK;                // "%K"
  int stochD;                // "%D"
  int bs0;                   // "BS0"
};

// The words, in the order of the table above.
inline constexpr const char* kAboveWords[ColumnTable::kAverageCount] = {"Above5D",  "Above10D",  "Above20D",
                                                                        "Above50D", "Above100D", "Above200D"};

// The widths, computed from the words at first use (thread-safe).
const ColumnTable& columnTable();

}  // namespace velmora
