#include "monitor/report_writer.h"

#include <cstring>
#include <vector>

#include "base/atomic_file.h"
#include "monitor/column_table.h"
#include "monitor/local_history_writer.h"
#include "monitor/text_append.h"

namespace velmora {

namespace {

constexpr int kReportAverages = 4;  // 5, 10, 20 and 50 bars
constexpr int kMarkColumns = 5;     // BS0 to BS4

// The report widens prices and average values by two characters.
int priceWidth() { return columnTable().open + 2; }
int averageWidth() { return ColumnTable::kAverageValueWidth + 2; }

bool writeReport(const char* name, const std::string& text) { return WriteFileAtomically(name, text, false); }

// Header, then a row for each entry that passes `test`.
template <typename Test>
std::string buildReport(const SecurityStore& store, Test test) {
  std::string out;
  out.reserve(static_cast<std::size_t>(store.count()) * 180 + 200);
  WriteReportHeader(out);
  SecurityData copy;
  for (int i = 0; i < store.count(); ++i) {
    if (!store.Read(i, copy)) continue;
    if (test(copy)) WriteReportRow(copy, out);
  }
  return out;
}

}  // namespace

void WriteReportHeader(std::string& out) {
  const ColumnTable& t = columnTable();
  const int price = priceWidth();
  const int above = averageWidth() + ColumnTable::kAverageFlagWidth;
  Appendf(out, "\n%*s%*s%*s%*s%*s%*s%*s%*s", t.symbol, "Symbol", t.time, "Time", price, "Open", price, "High",
          price, "Low", price, "Close", t.change, "Change(%)", t.toEma10, "To10D%");
  for (int a = 0; a < kReportAverages; ++a) Appendf(out, "%*s", above, kAboveWords[a]);
  Appendf(out, "%*s%*s%02d%*s%02d", t.rsi, "RSI14", ColumnTable::kStochLabelWidth, "%K",
          kLoaderStochSmoothing, ColumnTable::kStochLabelWidth, "%D", kLoaderStochSlowing);
  for (int m = 0; m < kMarkColumns; ++m) Appendf(out, "%*s%*d", 3, "BS", 1, m);
  out.push_back('\n');
}

void WriteReportRow(const SecurityData& entry, std::string& out) {
  const ColumnTable& t = columnTable();
  const QuoteBar& b = entry.bars[0];
  const int price = priceWidth();
  const int average = averageWidth();
  const int flag = ColumnTable::kAverageFlagWidth;
  Appendf(out, "%*s%*s%*.2lf%*.2lf%*.2lf%*.2lf%*.2lf%*.2lf%%%*.2lf", t.symbol, entry.displaySymbol, t.time,
          b.time, price, b.open, price, b.high, price, b.low, price, b.close, ColumnTable::kChangeValueWidth,
          b.change, ColumnTable::kChangePercentWidth, b.changePercent, t.toEma10, b.toEma10Percent);
  Appendf(out, "%*.2lf%*c%*.2lf%*c%*.2lf%*c%*.2lf%*c", average, b.ema5, flag, b.aboveEma5, average, b.ema10,
          flag, b.aboveEma10, average, b.ema20, flag, b.aboveEma20, average, b.ema50, flag, b.aboveEma50);
  Appendf(out, "%*.2lf%*.2lf%*.2lf", t.rsi, b.rsi, t.stochK, b.stochK, t.stochD, b.stochD);
  for (int m = 0; m < kMarkColumns; ++m) Appendf(out, "%*s", 4, entry.bars[m].signalMark);
  out.push_back('\n');
}

bool HasSignalMark(const SecurityData& entry, const char* mark) {
  for (int i = 0; i < kSignalBars; ++i)
    if (std::strcmp(entry.bars[i].signalMark, mark) == 0) return true;
  return false;
}

bool TrendChangedRecently(const SecurityData& entry) {
  for (int i = 0; i < kTrendChangeBars; ++i)
    if (entry.bars[i].trendChanged != 0) return true;
  return false;
}

bool WriteStatusReport(const SecurityStore& store) {
  return writeReport(kStatusReportFile, buildReport(store, [](const SecurityData&) { return true; }));
}

bool WriteBuyReport(const SecurityStore& store) {
  return writeReport(kBuyReportFile,
                     buildReport(store, [](const SecurityData& e) { return HasSignalMark(e, "B"); }));
}

bool WriteSellReport(const SecurityStore& store) {
  return writeReport(kSellReportFile,
                     buildReport(store, [](const SecurityData& e) { return HasSignalMark(e, "S"); }));
}

bool WriteTrendReports(const SecurityStore& store) {
  std::string up;
  std::string down;
  WriteReportHeader(up);
  WriteReportHeader(down);
  SecurityData copy;
  for (int i = 0; i < store.count(); ++i) {
    if (!store.Read(i, copy) || !TrendChangedRecently(copy)) continue;
    WriteReportRow(copy, copy.bars[0].trend == kUp ? up : down);
  }
  // Each list is replaced whole; when the down list cannot be written the up
  // list has already been replaced, as its file would have been created.
  const bool upWritten = writeReport(kTrendUpReportFile, up);
  return writeReport(kTrendDownReportFile, down) && upWritten;
}

bool WriteReports(const SecurityStore& store) {
  const bool status = WriteStatusReport(store);
  const bool buy = WriteBuyReport(store);
  const bool sell = WriteSellReport(store);
  const bool trend = WriteTrendReports(store);
  return status && buy && sell && trend;
}

}  // namespace velmora
