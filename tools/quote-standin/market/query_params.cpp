#include "market/query_params.h"

#include <charconv>

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

}  // namespace velmora::standin
