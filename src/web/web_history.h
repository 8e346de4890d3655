#pragma once

#include <memory>
#include <string>

#include "core/quote_bar.h"

namespace velmora {

// Which days of a local history a chart asks for: the last months up to
// the newest bar ("6m", "1y", "2y", "5y"), or days from and to (YYYY-MM-DD,
// both included).
struct HistoryRange {
  int months = 0;   // > 0: the months before the newest bar
  int fromKey = 0;  // else the date keys (year * 10000 + month * 100 + day)
  int toKey = 99999999;
};

// Reads "range" or "from"/"to" (either may be missing); false with a
// message for a range it does not know, a date that is no date, or from
// after to.
[[nodiscard]] bool ParseHistoryRange(const std::string& range, const std::string& from, const std::string& to,
                                     HistoryRange& out, std::string& error);

// A security's local history file read and computed with the monitor's
// periods and the trend confirmation delay `confirmDays`; null when the
// file is missing or holds fewer than two bars.
std::unique_ptr<QuoteSeries> LoadComputedHistory(const std::string& path, bool isIndex, int confirmDays);

// The bars of `series` inside `range` as a JSON array, newest first.
std::string HistoryBarsJson(const QuoteSeries& series, const HistoryRange& range);

}  // namespace velmora
