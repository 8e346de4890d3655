#pragma once

#include <string>

#include "core/quote_bar.h"
#include "monitor/security_entry.h"

namespace velmora {

// The stochastic periods the loader hands the engine; the text file's
// header names two of them.
inline constexpr int kLoaderRsiPeriod = 14;
inline constexpr int kLoaderStochLookback = 14;
inline constexpr int kLoaderStochSmoothing = 3;
inline constexpr int kLoaderStochSlowing = 3;

// "<date>,<open>,<high>,<low>,<close>,<volume>" lines, bars[0] (newest) first.
std::string FormatLocalHistoryCsv(int n, const QuoteBar* bars);

// The fixed-width text file: its name line, the header and one row per bar.
// Index prices are two characters wider, index averages one.
std::string FormatLocalHistoryText(const std::string& fileName, bool isIndex, int n, const QuoteBar* bars);

// Writes "<displaySymbol>.csv" and "<displaySymbol>.txt" in the current
// folder, each replaced in one step so a reader (or a chart writing the same
// symbol) never meets a half-written file. A symbol that cannot name a file
// here is refused with a log line (false); a file that cannot be written
// ends the process through FatalExit.
[[nodiscard]] bool WriteLocalHistoryFiles(const SecurityData& entry, int n, const QuoteBar* bars);

}  // namespace velmora
