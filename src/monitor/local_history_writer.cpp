#include "monitor/local_history_writer.h"

#include <cstdio>

#include "base/atomic_file.h"
#include "base/log.h"
#include "monitor/column_table.h"
#include "monitor/symbol_check.h"
#include "monitor/text_append.h"

namespace velmora {

namespace {

constexpr long kVolumeInThousandsFrom = 99999999;

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
  Appendf(out, "%*s%*s%*s%*.2lf%*.2lf%*.2lf%*.2lf%*.2lf%*.2lf", t.date, b.date, t.mark, mark(b.trend), t.mark,
          mark(b.breakState), w.price, b.upperBreak, w.price, b.lowerBreak, w.price, b.open, w.price, b.high,
          w.price, b.low, w.price, b.close);
  const long volume = b.volume;
  if (volume < kVolumeInThousandsFrom) {
    Appendf(out, "%*ld", t.volume, volume);
  } else {
    Appendf(out, "%*ldK", t.volume - 1, volume / 1000);
  }
  const long average = b.volumeAvg50;
  const double ratio = average >= 1 ? static_cast<double>(volume) / static_cast<double>(average) : 0.0;
  if (average <= kVolumeInThousandsFrom) {
    Appendf(out, "%*ld%*.2lf", 9, average, 6, ratio);
  } else {
    Appendf(out, "%*ldK%*.2lf", 8, average / 1000, 6, ratio);
  }
  const double change = older != nullptr ? b.close - older->close : 0.0;
  const int flag = ColumnTable::kAverageFlagWidth;
  Appendf(out,
          "%*.2lf%*.2lf%*.2lf%*.2lf%*c%*.2lf%*c%*.2lf%*c%*.2lf%*c%*.2lf%*c%*.2lf%*c%*.2lf%*.2lf%*.2lf%*s\n",
          8, change, ColumnTable::kChangePercentWidth, b.changePercent, t.toEma10, b.toEma10Percent,
          w.average, b.ema5, flag, b.aboveEma5, w.average, b.ema10, flag, b.aboveEma10, w.average, b.ema20,
          flag, b.aboveEma20, w.average, b.ema50, flag, b.aboveEma50, w.average, b.ema100, flag,
          b.aboveEma100, w.average, b.ema200, flag, b.aboveEma200, t.rsi, b.rsi, t.stochK, b.stochK, t.stochD,
          b.stochD, t.bs0, b.signalMark);
}

}  // namespace

std::string FormatLocalHistoryCsv(int n, const QuoteBar* bars) {
  std::string out;
  out.reserve(static_cast<std::size_t>(n > 0 ? n : 0) * 48);
  for (int i = 0; i < n; ++i) {
    const QuoteBar& b = bars[i];
    Appendf(out, "%s,%.2lf,%.2lf,%.2lf,%.2lf,%lld\n", b.date, b.open, b.high, b.low, b.close,
            static_cast<long long>(b.volume));
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
