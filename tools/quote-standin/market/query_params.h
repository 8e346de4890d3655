#pragma once

#include <map>
#include <string>

namespace velmora::standin {

// The decoded query keys and values of a request (httplib's Params).
using QueryParams = std::multimap<std::string, std::string>;

const std::string* FindParam(const QueryParams& params, const char* key);

// An optional sign and decimal digits, nothing else, within [lo, hi].
[[nodiscard]] bool ParseWholeNumber(const std::string& text, long long lo, long long hi, long long& value);

}  // namespace velmora::standin
