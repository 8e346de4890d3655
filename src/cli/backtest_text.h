#pragma once

#include <span>
#include <string>

#include "backtest/backtest.h"

namespace velmora {

// The back-test's texts. Dates are MM/DD/YYYY; prices carry four
// decimals (slippage splits cents), returns and shares are in percent.

// The trades CSV: a header line and one line per trade, in time order.
// With a symbol, each line starts with it (the list's CSV).
void AppendTradesCsvHeader(bool withSymbol, std::string& out);
void AppendTradesCsv(std::span<const BacktestTrade> trades, const char* symbol, std::string& out);

// A blank line, a header line and one line of the summary's figures.
void AppendSummaryCsv(const BacktestSummary& s, std::string& out);

// The list's table, in the style of the reports: a leading empty line, the
// header, then one right-aligned row per security.
void AppendBacktestTableHeader(std::string& out);
void AppendBacktestTableRow(const char* symbol, const BacktestSummary& s, std::string& out);

// The name of the table's last row, the list pooled.
inline constexpr const char* kPooledRowName = "Pooled";

}  // namespace velmora
