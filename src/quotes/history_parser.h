#pragma once

#include "core/quote_bar.h"

namespace velmora {

// Texts that bracket the service's history table.
inline constexpr const char* kHistoryHeader = "Date,Open,High,Low,Close,Volume";
inline constexpr const char* kHistoryFootnote = "Close price adjusted for dividends and splits";
// The time text of every history row.
inline constexpr const char* kHistoryRowTime = "00:00AM";

// One history load from the service. Slot 0 is kept for the current bar, so
// rows fill slots 1, 2, ... newest first.
struct HistoryLoadState {
  int nextSlot = 1;           // after the load: 1 + rows stored
  int rowsConsumed = 0;       // data rows read so far: the paging offset
  bool volumeInTens = false;  // the composite index: volumes stored divided by 10
};

// True for "^IXIC" in any letter case: its history volumes are stored in tens.
bool IsVolumeInTensSymbol(const char* symbol);

// One line of the history spreadsheet: date, open, high, low, close, volume,
// adjusted close. 0: not consumed (array full, or not a data line); 1: a
// data row consumed, stored unless its volume is 0 or less or it is
// unreadable (a number that is no plausible price or volume, as read or once
// scaled: plausible_number.h). A close that differs from the adjusted close
// by more than 10 % is scaled to it.
[[nodiscard]] int ParseHistoryCsvLine(const char* line, bool volumeInTens, int capacity, QuoteBar* bars,
                                      HistoryLoadState& state);

// Reads the file made by ExtractHistoryTable: every data row after the
// header line, always scaled to the adjusted close (no rounding), each read
// on its own and stored by the rules of ParseHistoryCsvLine. Returns the
// data rows consumed (also those past a full array), 0 when the array was
// already full, -1 when the file cannot be opened.
[[nodiscard]] int ReadConvertedHistoryFile(const char* path, bool volumeInTens, int capacity, QuoteBar* bars,
                                           HistoryLoadState& state);

}  // namespace velmora
