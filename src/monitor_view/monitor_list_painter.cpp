#include "monitor_view/monitor_list_painter.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "monitor/cell_texts.h"
#include "monitor_view/stale_quote.h"

namespace velmora {

namespace {

// %K smoothing and slowing of the monitor's stochastics.
constexpr int kMonitorStochSmoothing = 3;
constexpr int kMonitorStochSlowing = 3;

// Writes the texts of one line left to right, each at the x where the
// previous one ended (in whole characters of the list font).
class LineWriter {
 public:
  LineWriter(Surface& surface, const ListMetrics& metrics, int x, int y)
      : surface_(surface), digitWidth_(metrics.digitWidth), x_(x), y_(y) {}

  void moveToColumn(int x) { x_ = x; }

  // printf into the line; a text longer than the buffer is cut (numbers
  // that long are nonsense anyway, and the rest of the line stays usable).
  [[gnu::format(printf, 2, 3)]] void print(const char* format, ...) {
    char text[160];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n <= 0) return;
    put(text, std::min(n, static_cast<int>(sizeof text) - 1));
  }

  void put(const char* text, int length) {
    surface_.textOut(x_, y_, std::string_view(text, static_cast<size_t>(length)));
    x_ += digitWidth_ * length;
  }

  void colour(QRgb c) { surface_.setTextColour(c); }

 private:
  Surface& surface_;
  int digitWidth_;
  int x_;
  int y_;
};

QRgb signColour(double change) { return CompareColour(change, 0.0); }

// A text right-aligned in a column `width` characters wide.
void cell(LineWriter& line, int width, const std::string& text) { line.print("%*s", width, text.c_str()); }

void paintVolume(LineWriter& line, const MonitorColumns& w, const MonitorRowTexts& t) {
  cell(line, w.volume, t.volume);
  cell(line, w.volumeAverage, t.volumeAverage);
  cell(line, w.volumeRatio, t.volumeRatio);
}

void paintAverages(LineWriter& line, const MonitorColumns& w, const MonitorRowTexts& t) {
  cell(line, w.toEma10, t.toEma10);
  for (int k = 0; k < 4; ++k) line.print("%*s%2c", w.ema[k], t.ema[k].c_str(), t.above[k]);
}

// The marks of bars 0 to 4 joined into one text.
void paintSignals(LineWriter& line, const MonitorRowTexts& t) {
  char text[64];
  int length = 0;
  for (const std::string& mark : t.marks)
    length += std::snprintf(text + length, sizeof text - static_cast<size_t>(length), "%*s",
                            MonitorColumns::kMarkWidth, mark.c_str());
  line.put(text, length);
}

}  // namespace

MonitorSwitches MonitorSwitches::fromConfig(const SystemConfig& config) {
  return {config.ShowVolume != 0, config.ShowMA != 0, config.ShowRSI != 0, config.ShowBS != 0};
}

ListMetrics MeasureListMetrics(Surface& surface, const FontSpec& font) {
  const FontSpec previous = surface.selectFont(font);
  const TextExtent extent = surface.textExtent("0123456789");
  surface.selectFont(previous);
  return {extent.width / 10, extent.height};
}

int ListRowCount(int clientHeight, int lineHeight) {
  if (lineHeight <= 0) return 0;
  return (clientHeight - 8) / lineHeight - 1;
}

QSize MonitorMinimumClientSize(const ListMetrics& metrics, const MonitorColumns& columns, int barExtent) {
  // A margin of 4 on either side of the line, as the list keeps; ListRowCount
  // gives one row from 8 + 2 line heights on.
  const int characters = columns.symbol + columns.time + columns.price[3];
  const int bar = std::max(barExtent, 0);
  return {characters * metrics.digitWidth + 8 + bar, 8 + 2 * metrics.lineHeight + bar};
}

int ListRowAt(int lineHeight, int y) {
  if (lineHeight <= 0) return -1;
  return (y - 4) / lineHeight - 1;
}

Rect ListRowFrame(int lineHeight, int row, int clientWidth) {
  return {1, lineHeight * (row + 1) + 4, clientWidth - 1, lineHeight * (row + 2) + 4};
}

QRgb CompareColour(double value, double reference) {
  if (value > reference) return kRiseColour;
  if (value < reference) return kFallColour;
  return kListText;
}

namespace {

// The sort triangle in the character cell whose left edge is `x` on the
// header line.
void paintSortMark(Surface& surface, const ListMetrics& metrics, int x, bool descending) {
  const int half = std::max((metrics.digitWidth - 2) / 2, 2);
  const int centre = x + metrics.digitWidth / 2;
  const int top = ListTextTop(metrics.lineHeight, -1) + (metrics.lineHeight - half) / 2;
  const int apex = descending ? top + half : top;
  const int base = descending ? top : top + half;
  const QPoint corners[3] = {{centre - half, base}, {centre + half, base}, {centre, apex}};
  const QRgb colour = surface.textColour();
  const Pen oldPen = surface.selectPen(Pen::solid(colour));
  const Brush oldBrush = surface.selectBrush(Brush::solid(colour));
  surface.polygon(corners);
  surface.selectBrush(oldBrush);
  surface.selectPen(oldPen);
}

// x where the header word of `column` ends: the left-aligned symbol and
// time words end within their columns, every other word at its column's end.
int headerWordEnd(const MonitorColumns& w, const MonitorSwitches& switches, int digitWidth,
                  MonitorColumn column) {
  int x = w.originX;
  for (int c = static_cast<int>(MonitorColumn::Symbol); c < static_cast<int>(column); ++c)
    x += w.width(static_cast<MonitorColumn>(c), switches) * digitWidth;
  if (column == MonitorColumn::Symbol) return x + 6 * digitWidth;  // "Symbol"
  if (column == MonitorColumn::Time) return x + 4 * digitWidth;    // "Time"
  return x + w.width(column, switches) * digitWidth;
}

}  // namespace

void PaintMonitorHeader(Surface& surface, const ListMetrics& metrics, const MonitorSwitches& switches,
                        const MonitorColumns& w, MonitorColumn sorted, bool descending) {
  static constexpr const char* kAverageWords[4] = {"Above5D", "Above10D", "Above20D", "Above50D"};
  LineWriter line(surface, metrics, w.originX, ListTextTop(metrics.lineHeight, -1));
  line.print("%-*s", w.symbol, "Symbol");
  line.print("%-*s", w.time, "Time");
  const char* prices[4] = {"Open", "High", "Low", "Close"};
  for (int i = 0; i < 4; ++i) line.print("%*s", w.price[i], prices[i]);
  if (switches.volume) {
    line.print("%*s", w.volume, "Volume");
    line.print("%*s", w.volumeAverage + w.volumeRatio, "Volume 50DAvg");
  }
  line.print("%*s", w.change + w.changePercent + 1, "Change(%)");
  if (switches.movingAverages) {
    line.print("%*s", w.toEma10, "To10D%");
    for (int k = 0; k < 4; ++k) line.print("%*s", w.ema[k] + MonitorColumns::kFlagWidth, kAverageWords[k]);
  }
  if (switches.rsi) {
    line.print("%*s", w.rsi, "RSI14");
    line.print("%*s%02d", w.stochK - 2, "%K", kMonitorStochSmoothing);
    line.print("%*s%02d", w.stochD - 2, "%D", kMonitorStochSlowing);
  }
  if (switches.signalMarks)
    for (int d = 0; d < 5; ++d) line.print("%*s%*d", MonitorColumns::kMarkWidth - 1, "BS", 1, d);
  // A column switched off has no header to mark.
  if (sorted != MonitorColumn::None && w.width(sorted, switches) > 0)
    paintSortMark(surface, metrics, headerWordEnd(w, switches, metrics.digitWidth, sorted), descending);
}

void PaintMonitorRow(Surface& surface, const ListMetrics& metrics, const MonitorSwitches& switches, int row,
                     const SecurityData& security, QRgb textColour, const MonitorColumns& w,
                     bool staleQuote) {
  const QuoteBar& bar = security.bars[0];
  const QuoteBar& previous = security.bars[1];
  const int dw = metrics.digitWidth;
  LineWriter line(surface, metrics, w.originX, ListTextTop(metrics.lineHeight, row));
  line.put(security.displaySymbol, static_cast<int>(strnlen(security.displaySymbol, kSymbolCapacity)));
  // Before its history has loaded a security has no values: blank cells,
  // not zeros.
  if (security.bars.count == 0) return;
  line.moveToColumn(w.originX + w.symbol * dw);
  if (staleQuote) line.colour(kStaleTimeColour);
  line.put(bar.time, static_cast<int>(strnlen(bar.time, sizeof bar.time)));
  line.colour(textColour);
  line.moveToColumn(w.originX + (w.symbol + w.time) * dw);

  const MonitorRowTexts t = MakeMonitorRowTexts(security);
  line.colour(CompareColour(bar.open, previous.close));
  cell(line, w.price[0], t.open);
  line.colour(textColour);
  cell(line, w.price[1], t.high);
  cell(line, w.price[2], t.low);
  line.colour(CompareColour(bar.close, bar.open));
  cell(line, w.price[3], t.close);
  line.colour(textColour);

  if (switches.volume) paintVolume(line, w, t);

  line.colour(signColour(bar.change));
  cell(line, w.change, t.change);
  cell(line, w.changePercent + 1, t.changePercent);
  line.colour(textColour);

  if (switches.movingAverages) paintAverages(line, w, t);
  if (switches.rsi) {
    cell(line, w.rsi, t.rsi);
    cell(line, w.stochK, t.stochK);
    cell(line, w.stochD, t.stochD);
  }
  if (switches.signalMarks) paintSignals(line, t);
}

void PaintMonitorRows(Surface& surface, const ListMetrics& metrics, const MonitorSwitches& switches,
                      const SecurityStore& store, int topRow, int rowCount, QRgb textColour,
                      const MonitorColumns& columns, const std::vector<int>* order) {
  auto copy = std::make_unique<SecurityData>();
  for (int r = 0; r < rowCount; ++r) {
    const int position = topRow + r;
    if (position < 0) continue;
    if (position >= store.count()) break;
    const int index = order != nullptr ? SecurityAtPosition(*order, position) : position;
    if (!store.Read(index, *copy)) break;
    PaintMonitorRow(surface, metrics, switches, r, *copy, textColour, columns,
                    IsStaleQuote(store.entry(index).freshness()));
  }
}

}  // namespace velmora
