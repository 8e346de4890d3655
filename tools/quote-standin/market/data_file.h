#pragma once

#include <string>
#include <vector>

#include "market/price_series.h"

namespace velmora::standin {

// Reads a SYMBOL.csv of real prices. The first line names the columns in any
// order and letter case: Date, Open, High, Low, Close, Volume and optionally
// Adj Close (or adjclose). Dates are ISO (2005-12-06) or day-Mon-yy
// (6-Dec-05); rows may come in either date order and are returned oldest
// first. Volumes are kept in full; a row that cannot be read, or whose volume
// is negative or above kMaxVolume, is skipped. False when the file cannot be
// read or names no usable columns.
[[nodiscard]] bool ReadPriceFile(const std::string& path, std::vector<PriceBar>& bars, std::string& error);

// Parses the text of such a file (the file reader's work, without the file).
[[nodiscard]] bool ParsePriceText(const std::string& text, std::vector<PriceBar>& bars, std::string& error);

// The series for a quote day from a file's rows: rows before the quote day
// are the history; the newest row on or before the quote day is the quote,
// which shows its close all day.
PriceSeries SeriesFromRows(const std::vector<PriceBar>& rows, int quoteDay, bool isIndex);

}  // namespace velmora::standin
