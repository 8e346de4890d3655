#include "monitor/local_history_writer.h"

#include <cstdint>
#include <cstdio>
#include <utility>

#include "base/atomic_file.h"
#include "base/log.h"
#include "monitor/cell_texts.h"
#include "monitor/column_table.h"
#include "monitor/field_writer.h"
#include "monitor/symbol_check.h"
#include "monitor/text_append.h"

namespace velmora {

namespace {

struct TextWidths {
  int price;    // UBreak, DBreak, Open, High, Low, Close
  int average;  // each moving-average value
};

TextWidths widthsFor(bool isIndex) {
  const ColumnTable& t = columnTable();
  return isIndex ? TextWidths{t.open + 2, ColumnTable::kAverageValueWidth + 1}
                 : TextWidths{t.open, ColumnTable::kAverageValueWidth};
}

const char* mark(int code) { return code == kUp ? " U" : (code == kInside ? " -" : " D"); }

void appendHeader(std::string& out, const TextWidths& w) {
  const ColumnTable& t = columnTable();
  Appendf(out, "%*s%*s%*s%*s%*s%*s%*s%*s", t.date, "Date", 2 * t.mark, "", w.price, "UBreak", w.price,
          "DBreak", w.price, "Open", w.price, "High", w.price, "Low", w.price, "Close");
  Appendf(out, "%*s", t.volume, "Volume");
  Appendf(out, "%*s", t.volumeAverage, "Volume 50DAvg");
  const int above = w.average + 2;
  Appendf(out, "%*s%*s%*s%*s%*s%*s%*s%*s%*s%*s%02d%*s%02d%*s\n", t.change, "Change(%)", t.toEma10, "To10D%",
          above, kAboveWords[0], above, kAboveWords[1], above, kAboveWords[2], above, kAboveWords[3], above,
          kAboveWords[4], above, kAboveWords[5], t.rsi, "RSI14", ColumnTable::kStochLabelWidth, "%K",
          kLoaderStochLookback, ColumnTable::kStochLabelWidth, "%D", kLoaderStochSlowing, t.bs0, "BS0");
}

void appendRow(std::string& out, const TextWidths& w, const QuoteBar& b, const QuoteBar* older) {
  const ColumnTable& t = columnTable();
  FieldWriter f(out);
  f.text(t.date, b.date).text(t.mark, mark(b.trend)).text(t.mark, mark(b.breakState));
  for (const double price : {b.upperBreak, b.lowerBreak, b.open, b.high, b.low, b.close})
    f.fixed2(w.price, price);
  const std::int64_t volume = b.volume;
  // The file's volume column turns to thousands at the limit itself, one
  // earlier than the table and the average column; readers of the files
  // know it that way.
  if (volume < kVolumeInThousandsAbove)
    f.integer(t.volume, volume);
  else
    f.integer(t.volume - 1, volume / 1000).raw("K");
  const std::int64_t average = b.volumeAvg50;
  const double ratio = average >= 1 ? static_cast<double>(volume) / static_cast<double>(average) : 0.0;
  if (average <= kVolumeInThousandsAbove)
    f.integer(9, average).fixed2(6, ratio);
  else
    f.integer(8, average / 1000).raw("K").fixed2(6, ratio);
  const double change = older != nullptr ? b.close - older->close : 0.0;
  f.fixed2(8, change)
      .fixed2(ColumnTable::kChangePercentWidth, b.changePercent)
      .fixed2(t.toEma10, b.toEma10Percent);
  const int flag = ColumnTable::kAverageFlagWidth;
  const std::pair<double, char> averages[] = {{b.ema5, b.aboveEma5},     {b.ema10, b.aboveEma10},
                                              {b.ema20, b.aboveEma20},   {b.ema50, b.aboveEma50},
                                              {b.ema100, b.aboveEma100}, {b.ema200, b.aboveEma200}};
  for (const auto& [value, above] : averages) f.fixed2(w.average, value).character(flag, above);
  f.fixed2(t.rsi, b.rsi)
      .fixed2(t.stochK, b.stochK)
      .fixed2(t.stochD, b.stochD)
      .text(t.bs0, b.signalMark)
      .raw("\n");
}

}  // namespace

std::string FormatLocalHistoryCsv(int n, const QuoteBar* bars) {
  std::string out;
  out.reserve(static_cast<std::size_t>(n > 0 ? n : 0) * 48);
  FieldWriter f(out);
  for (int i = 0; i < n; ++i) {
    const QuoteBar& b = bars[i];
    f.raw(b.date);
    for (const double price : {b.open, b.high, b.low, b.close}) f.raw(",").fixed2(0, price);
    f.raw(",").integer(0, b.volume).raw("\n");
  }
  return out;
}

std::string FormatLocalHistoryText(const std::string& fileName, bool isIndex, int n, const QuoteBar* bars) {
  const TextWidths w = widthsFor(isIndex);
  std::string out;
  out.reserve(static_cast<std::size_t>(n > 0 ? n : 0) * 220 + 400);
  Appendf(out, "File Name: %s\n\n", fileName.c_str());
  appendHeader(out, w);
  for (int i = 0; i < n; ++i) appendRow(out, w, bars[i], i + 1 < n ? &bars[i + 1] : nullptr);
  return out;
}

bool WriteLocalHistoryFiles(const SecurityData& entry, int n, const QuoteBar* bars) {
  if (!IsFileSafeSymbol(entry.displaySymbol)) {
    LogFormat("Local history files of symbol '%s' are not written: the symbol can not name a file here.",
              PrintableSymbol(entry.displaySymbol).c_str());
    return false;
  }
  const std::string symbol = entry.displaySymbol;
  const std::string csvName = symbol + ".csv";
  const std::string textName = symbol + ".txt";
  char message[300];
  if (!WriteFileAtomically(csvName, FormatLocalHistoryCsv(n, bars), false)) {
    std::snprintf(message, sizeof message, "Error: can not open file '%s'.\n", csvName.c_str());
    FatalExit(message);
  }
  if (!WriteFileAtomically(textName, FormatLocalHistoryText(textName, entry.isIndex != 0, n, bars), false)) {
    std::snprintf(message, sizeof message, "Error: can not open file '%s'.\n", textName.c_str());
    FatalExit(message);
  }
  return true;
}

}  // namespace velmora
