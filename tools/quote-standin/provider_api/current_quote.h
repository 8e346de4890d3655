#pragma once

#include <cstdint>
#include <string>

#include "market/intraday_quote.h"

namespace velmora::standin {

// The quote the provider endpoints show: the classic pages' quote at the
// same moment, with its time as the providers give it.
struct CurrentQuote {
  std::int32_t last = 0;  // cents
  std::int32_t open = 0;
  std::int32_t high = 0;
  std::int32_t low = 0;
  std::int32_t previousClose = 0;  // 0: none
  std::int64_t volume = 0;
  bool trading = false;       // the session runs and the price moves with it
  int day = 0;                // New York date and time of the quote: the
  int minuteOfDay = 0;        // minute it shows while trading, else 16:00
  std::int64_t unixTime = 0;  // the same moment in Unix seconds
  int utcOffsetSeconds = 0;   // New York's offset from UTC then (-18000 or -14400)
};

// `previousCloseFactor` divides the previous close: a split between the
// previous session and the quote's (see SplitFactorAfter).
CurrentQuote MakeCurrentQuote(const QuoteSnapshot& snapshot, double previousCloseFactor);

// "2026-12-07T16:00:00-05:00": the quote's New York time with its offset.
std::string QuoteTimeWithOffset(const CurrentQuote& quote);

// Unix seconds of the session's opening bell on a day, the moment the
// providers date a day's bar by.
std::int64_t SessionOpenUnixTime(int day);

}  // namespace velmora::standin
