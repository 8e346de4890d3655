#pragma once

// The real-time quote monitor list: a fixed-pitch table with a header line
// and one row per security, painted with plain functions on a Surface so
// that the view, the tests and the benchmarks draw exactly the same pixels.
//
// Every text is drawn with its top-left corner at (x, y). The header sits at
// y = 4 and list row r (0 for the first visible row) at y = (r + 1) *
// lineHeight + 4. After each text x advances by digitWidth times the number
// of characters printed. The column widths come from a MonitorColumns: with
// the defaults a value wider than its column pushes the rest of the line to
// the right; the view widens the columns to the values it shows.

#include <QSize>

#include "base/system_config.h"
#include "draw/surface.h"
#include "monitor/security_entry.h"
#include "monitor/security_store.h"
#include "monitor_view/monitor_columns.h"

namespace velmora {

inline constexpr QRgb kListBackground = rgb(214, 214, 214);
inline constexpr QRgb kListText = rgb(0, 0, 0);
inline constexpr QRgb kRiseColour = rgb(0, 144, 0);
inline constexpr QRgb kFallColour = rgb(255, 0, 0);
inline constexpr QRgb kRowFrameColour = rgb(255, 0, 0);

// The monitor's fixed-pitch font: 15-pixel cell, weight 500.
inline constexpr FontSpec kListFont{15, 500, FontPitch::Fixed};

// The optional column groups (the ShowVolume, ShowMA, ShowRSI and ShowBS
// settings).
struct MonitorSwitches {
  bool volume = true;
  bool movingAverages = true;
  bool rsi = true;
  bool signalMarks = true;

  static MonitorSwitches fromConfig(const SystemConfig& config);
};

// The character cell of the list font: the width of "0123456789" divided by
// ten, and its height.
struct ListMetrics {
  int digitWidth = 0;
  int lineHeight = 0;
};

// Measures `font` on `surface` (the current font is left as it was).
ListMetrics MeasureListMetrics(Surface& surface, const FontSpec& font = kListFont);

// Rows that fit a client area of `clientHeight` below the header.
int ListRowCount(int clientHeight, int lineHeight);

// The smallest client area that shows the header line and one row of the
// symbol, time and close columns, with `barExtent` pixels under the row for
// the horizontal scroll bar that a narrow list shows and as many beside it
// for the vertical one of a long list.
QSize MonitorMinimumClientSize(const ListMetrics& metrics, const MonitorColumns& columns, int barExtent);

// y of the texts of list row `row`; row -1 is the header line.
inline int ListTextTop(int lineHeight, int row) { return (row + 1) * lineHeight + 4; }

// The list row under a pointer at `y` (negative or past the list when none).
int ListRowAt(int lineHeight, int y);

// The one-pixel frame that marks row `row` of a client area `clientWidth` wide.
Rect ListRowFrame(int lineHeight, int row, int clientWidth);

// Green above, black equal, red below.
QRgb CompareColour(double value, double reference);

// The header line, in the surface's current font and text colour. The
// column the list is sorted by gets a small triangle in that colour in the
// character cell after its word (pointing up for ascending), a cell every
// layout leaves blank, so no column moves.
void PaintMonitorHeader(Surface& surface, const ListMetrics& metrics, const MonitorSwitches& switches,
                        const MonitorColumns& columns = {}, MonitorColumn sorted = MonitorColumn::None,
                        bool descending = false);

// One security in list row `row`, from a consistent copy of its entry.
// Colours go back to `textColour` after each coloured field. A security
// with no bars yet (its history not loaded) shows its symbol alone; one
// whose quote is stale shows its time in kStaleTimeColour.
void PaintMonitorRow(Surface& surface, const ListMetrics& metrics, const MonitorSwitches& switches, int row,
                     const SecurityData& security, QRgb textColour = kListText,
                     const MonitorColumns& columns = {}, bool staleQuote = false);

// The rows from `topRow`: as many as fit `rowCount`, stopping at the end of
// the list; each entry is read as one snapshot, its freshness beside it.
// Row position p shows security order[p] when `order` holds p, otherwise
// security p.
void PaintMonitorRows(Surface& surface, const ListMetrics& metrics, const MonitorSwitches& switches,
                      const SecurityStore& store, int topRow, int rowCount, QRgb textColour = kListText,
                      const MonitorColumns& columns = {}, const std::vector<int>* order = nullptr);

// The security shown at row position `position` of a list in `order`.
inline int SecurityAtPosition(const std::vector<int>& order, int position) {
  return position >= 0 && position < static_cast<int>(order.size()) ? order[static_cast<size_t>(position)]
                                                                    : position;
}

}  // namespace velmora
