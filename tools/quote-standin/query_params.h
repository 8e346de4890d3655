#pragma once

#include <map>
#include <string>

#include "history_pages.h"

namespace velmora::standin {

// The decoded query keys and values of a request (httplib's Params).
using QueryParams = std::multimap<std::string, std::string>;

const std::string* FindParam(const QueryParams& params, const char* key);

// An optional sign and decimal digits, nothing else, within [lo, hi].
[[nodiscard]] bool ParseWholeNumber(const std::string& text, long long lo, long long hi, long long& value);

// Reads the range, period, span and offset keys of a history request
// (a, b, c, d, e, f required; g, z, y optional). False with a short
// message for a missing key or a bad value.
[[nodiscard]] bool ReadHistoryQuery(const QueryParams& params, HistoryQuery& query, std::string& error);

}  // namespace velmora::standin
