#pragma once

// The columns of the monitor list on screen: their widths in characters,
// which start at the shared column table's and grow to the widest value
// shown, the column under a pointer, what each header means and the order
// a column sorts the list in.

#include <string_view>
#include <vector>

#include "monitor/column_table.h"
#include "monitor/security_entry.h"

namespace velmora {

struct MonitorSwitches;
class SecurityStore;

// The list's columns, left to right (the optional groups included).
enum class MonitorColumn {
  None = -1,
  Symbol,
  Time,
  Open,
  High,
  Low,
  Close,
  Volume,
  VolumeAverage,
  Change,
  ToEma10,
  Above5,
  Above10,
  Above20,
  Above50,
  Rsi,
  StochK,
  StochD,
  Bs0,
  Bs1,
  Bs2,
  Bs3,
  Bs4,
};

// Widths in characters. The defaults are the narrowest the list draws: the
// shared column table's (the reports' layout), widened by one or two in
// places. FitMonitorRow only ever widens them, so that every value keeps a
// blank before it; the reports never see these widths.
struct MonitorColumns {
  int symbol = columnTable().symbol;
  int time = columnTable().time;
  int price[4] = {columnTable().open + 2, columnTable().high + 2, columnTable().low + 2,
                  columnTable().close + 2};  // open, high, low, close
  int volume = columnTable().volume;
  int volumeAverage = columnTable().volumeAverage - 6;  // the average, without its ratio
  int volumeRatio = 6;
  int change = ColumnTable::kChangeValueWidth;
  int changePercent = ColumnTable::kChangePercentWidth;  // the number, without its '%'
  int toEma10 = columnTable().toEma10;
  // Each without its flag.
  int ema[4] = {ColumnTable::kAverageValueWidth + 1, ColumnTable::kAverageValueWidth + 1,
                ColumnTable::kAverageValueWidth + 1, ColumnTable::kAverageValueWidth + 1};
  int rsi = columnTable().rsi;
  int stochK = columnTable().stochK;
  int stochD = columnTable().stochD;
  // x of the first character (4, less the horizontal scroll).
  int originX = 4;

  static constexpr int kFlagWidth = ColumnTable::kAverageFlagWidth;
  static constexpr int kMarkWidth = 4;

  // The column's width in characters, 0 for a group switched off.
  int width(MonitorColumn column, const MonitorSwitches& switches) const;
  // Characters of the whole line.
  int lineWidth(const MonitorSwitches& switches) const;

  friend bool operator==(const MonitorColumns&, const MonitorColumns&) = default;
};

// Widens `columns` so that every value of `security`'s row fits with a
// blank before it; true when a width grew. A security with no bars yet
// shows nothing but its symbol.
bool FitMonitorRow(MonitorColumns& columns, const SecurityData& security);

// The column under x (pixels of the client area), None past the line.
MonitorColumn MonitorColumnAt(const MonitorColumns& columns, const MonitorSwitches& switches, int digitWidth,
                              int x);

// What a column's header means, for its tooltip.
std::string_view MonitorColumnTip(MonitorColumn column);

// The security indices of `store` ordered by `column` (ascending, or
// descending), ties and unloaded securities in list order, the unloaded
// last. Empty for None.
std::vector<int> MonitorSortOrder(const SecurityStore& store, MonitorColumn column, bool descending);

}  // namespace velmora
