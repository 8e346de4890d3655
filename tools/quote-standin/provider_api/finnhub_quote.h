#pragma once

#include <string>

#include "provider_api/current_quote.h"

namespace velmora::standin {

// {"c":415.2,"d":2.9,"dp":0.7034,"h":416.0,"l":410.1,"o":413.0,"pc":412.3,"t":1733518800}:
// the change in money and in percent (four decimals) from the previous
// close, null without one; no volume.
std::string FinnhubQuoteJson(const CurrentQuote& quote);

}  // namespace velmora::standin
