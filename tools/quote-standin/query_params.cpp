#include "query_params.h"

#include <charconv>

#include "calendar.h"

namespace velmora::standin {

const std::string* FindParam(const QueryParams& params, const char* key) {
  const auto it = params.find(key);
  return it == params.end() ? nullptr : &it->second;
}

bool ParseWholeNumber(const std::string& text, long long lo, long long hi, long long& value) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  long long v = 0;
  const auto r = std::from_chars(begin, end, v);
  if (r.ec != std::errc() || r.ptr != end || v < lo || v > hi) return false;
  value = v;
  return true;
}

namespace {

[[nodiscard]] bool readKey(const QueryParams& params, const char* key, long long lo, long long hi,
                           long long& value, std::string& error) {
  const std::string* text = FindParam(params, key);
  if (text == nullptr) {
    error = std::string("missing key '") + key + "'";
    return false;
  }
  if (!ParseWholeNumber(*text, lo, hi, value)) {
    error = std::string("bad value for key '") + key + "'";
    return false;
  }
  return true;
}

}  // namespace

bool ReadHistoryQuery(const QueryParams& params, HistoryQuery& query, std::string& error) {
  long long a, b, c, d, e, f;
  if (!readKey(params, "a", 0, 11, a, error) || !readKey(params, "b", 1, 31, b, error) ||
      !readKey(params, "c", 1, 9999, c, error) || !readKey(params, "d", 0, 11, d, error) ||
      !readKey(params, "e", 1, 31, e, error) || !readKey(params, "f", 1, 9999, f, error)) {
    return false;
  }
  query.startMonth0 = static_cast<int>(a);
  query.startDay = static_cast<int>(b);
  query.startYear = static_cast<int>(c);
  query.endMonth0 = static_cast<int>(d);
  query.endDay = static_cast<int>(e);
  query.endYear = static_cast<int>(f);
  // A day past the month's end (31 February) counts on into the next month.
  query.firstDay = DaysFromCivil(query.startYear, query.startMonth0 + 1, 1) + query.startDay - 1;
  query.lastDay = DaysFromCivil(query.endYear, query.endMonth0 + 1, 1) + query.endDay - 1;

  query.period = 'd';
  if (const std::string* g = FindParam(params, "g")) {
    if (*g == "d" || *g == "w" || *g == "m") {
      query.period = (*g)[0];
    } else {
      error = "bad value for key 'g' (d, w or m)";
      return false;
    }
  }
  query.span = 0;
  if (FindParam(params, "z") != nullptr && !readKey(params, "z", -4000000, 4000000, query.span, error))
    return false;
  long long offset = 0;
  if (FindParam(params, "y") != nullptr && !readKey(params, "y", 0, 2147483647, offset, error)) return false;
  query.offset = static_cast<int>(offset);
  return true;
}

}  // namespace velmora::standin
