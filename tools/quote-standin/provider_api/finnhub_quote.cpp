#include "provider_api/finnhub_quote.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace velmora::standin {

std::string FinnhubQuoteJson(const CurrentQuote& quote) {
  const auto price = [](std::int64_t cents) { return static_cast<double>(cents) / 100.0; };
  nlohmann::ordered_json answer = {
      {"c", price(quote.last)},           {"d", nullptr},          {"dp", nullptr},
      {"h", price(quote.high)},           {"l", price(quote.low)}, {"o", price(quote.open)},
      {"pc", price(quote.previousClose)}, {"t", quote.unixTime}};
  if (quote.previousClose > 0) {
    const std::int64_t change = static_cast<std::int64_t>(quote.last) - quote.previousClose;
    answer["d"] = price(change);
    answer["dp"] = std::round(static_cast<double>(change) * 1000000.0 / quote.previousClose) / 10000.0;
  }
  return answer.dump();
}

}  // namespace velmora::standin
