#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "alerts/alert.h"
#include "core/quote_bar.h"
#include "monitor/security_entry.h"

namespace velmora {

// JSON texts, written with nlohmann's JSON. Pieces appended to `out`: a
// string with its quotes (invalid
// UTF-8 bytes become U+FFFD, control characters \u escapes), a number in
// the shortest form that reads back the same ("C" conventions whatever the
// locale; NaN and infinities as null), an integer.
void AppendJsonString(std::string& out, std::string_view text);
void AppendJsonNumber(std::string& out, double value);
void AppendJsonInteger(std::string& out, std::int64_t value);

// "2026-12-08 15:31:07" in local time.
std::string LocalTimeText(std::time_t when);

// "2026-12-07" of a bar's date text; empty when the bar has none (a
// fresh bar's blanks).
std::string IsoDateOf(const QuoteBar& bar);

// One security's row as the page's table shows it: index, symbol, isIndex,
// loaded, version and, once its history is in, the newest bar's figures,
// the six averages with their flags, the marks of bars 0 to 4 and "cells":
// the texts of the table's cells by column, as the desktop's table shows
// them (the figures are there to sort and colour by).
std::string SecurityRowJson(int index, const SecurityData& data, std::uint64_t version);

// Every field of a bar, with "iso" (the date as YYYY-MM-DD) added.
void AppendBarJson(std::string& out, const QuoteBar& bar);

// One alert: symbol, kind (the event word), event, barDate, price, change,
// changePercent, time.
std::string AlertJson(const Alert& alert);

// {"error":"..."}
std::string ErrorJson(std::string_view message);

}  // namespace velmora
