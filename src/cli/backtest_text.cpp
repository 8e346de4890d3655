#include "cli/backtest_text.h"

#include "backtest/date_keys.h"
#include "monitor/column_table.h"
#include "monitor/text_append.h"

namespace velmora {

namespace {

struct Dates {
  char first[24];
  char last[24];
};

Dates datesOf(int first, int last) {
  Dates d;
  FormatDateKey(first, d.first, sizeof d.first);
  FormatDateKey(last, d.last, sizeof d.last);
  return d;
}

// The table's columns after the symbol, with their widths.
struct Column {
  const char* word;
  int width;
};
constexpr Column kColumns[] = {{"From", 11},   {"To", 11},      {"Bars", 6},  {"Trades", 7},  {"Win%", 7},
                               {"AvgWin%", 9}, {"AvgLoss%", 9}, {"PF", 8},    {"Total%", 10}, {"Annual%", 10},
                               {"MaxDD%", 8},  {"InMkt%", 8},   {"B&H%", 10}, {"Open", 5}};

int widthOf(int column) { return kColumns[column].width; }

}  // namespace

void AppendTradesCsvHeader(bool withSymbol, std::string& out) {
  if (withSymbol) out += "symbol,";
  out += "side,signalDate,entryDate,entryPrice,exitDate,exitPrice,barsHeld,returnPercent,open\n";
}

void AppendTradesCsv(std::span<const BacktestTrade> trades, const char* symbol, std::string& out) {
  for (const BacktestTrade& t : trades) {
    if (symbol != nullptr) Appendf(out, "%s,", symbol);
    char signal[24], entry[24], exit[24];
    FormatDateKey(t.signalDate, signal, sizeof signal);
    FormatDateKey(t.entryDate, entry, sizeof entry);
    FormatDateKey(t.exitDate, exit, sizeof exit);
    Appendf(out, "%s,%s,%s,%.4f,%s,%.4f,%d,%.4f,%d\n", t.side == TradeSide::kLong ? "long" : "short", signal,
            entry, t.entryPrice, exit, t.exitPrice, t.barsHeld, t.returnOnAccount * 100, t.open ? 1 : 0);
  }
}

void AppendSummaryCsv(const BacktestSummary& s, std::string& out) {
  const Dates d = datesOf(s.firstDate, s.lastDate);
  out +=
      "\nfirstDate,lastDate,bars,trades,winPercent,averageWinPercent,averageLossPercent,profitFactor,"
      "totalReturnPercent,annualReturnPercent,maxDrawdownPercent,timeInMarketPercent,buyAndHoldPercent,"
      "openPositions\n";
  Appendf(out, "%s,%s,%d,%d,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%.4f,%d\n", d.first, d.last, s.bars,
          s.trades, s.winShare * 100, s.averageWin * 100, s.averageLoss * 100, s.profitFactor,
          s.totalReturn * 100, s.annualReturn * 100, s.maxDrawdown * 100, s.timeInMarket * 100,
          s.buyAndHold * 100, s.openPositions);
}

void AppendBacktestTableHeader(std::string& out) {
  Appendf(out, "\n%*s", columnTable().symbol, "Symbol");
  for (const Column& c : kColumns) Appendf(out, "%*s", c.width, c.word);
  out += '\n';
}

void AppendBacktestTableRow(const char* symbol, const BacktestSummary& s, std::string& out) {
  const Dates d = datesOf(s.firstDate, s.lastDate);
  Appendf(out, "%*s%*s%*s%*d%*d", columnTable().symbol, symbol, widthOf(0), d.first, widthOf(1), d.last,
          widthOf(2), s.bars, widthOf(3), s.trades);
  Appendf(out, "%*.2f%*.2f%*.2f%*.2f", widthOf(4), s.winShare * 100, widthOf(5), s.averageWin * 100,
          widthOf(6), s.averageLoss * 100, widthOf(7), s.profitFactor);
  Appendf(out, "%*.2f%*.2f%*.2f%*.2f%*.2f%*d\n", widthOf(8), s.totalReturn * 100, widthOf(9),
          s.annualReturn * 100, widthOf(10), s.maxDrawdown * 100, widthOf(11), s.timeInMarket * 100,
          widthOf(12), s.buyAndHold * 100, widthOf(13), s.openPositions);
}

}  // namespace velmora
