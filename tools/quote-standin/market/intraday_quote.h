#pragma once

#include <cstdint>
#include <string>

#include "market/market_clock.h"
#include "market/price_series.h"

namespace velmora::standin {

// The quote of a symbol at one moment of its quote day.
struct QuoteSnapshot {
  int day = 0;
  std::int32_t last = 0;
  std::int32_t open = 0;
  std::int32_t high = 0;  // so far today
  std::int32_t low = 0;
  std::int64_t volume = 0;
  std::int32_t previousClose = 0;  // 0: none
  int sessionMinute = kSessionClosed;
};

// While the session runs, generated prices walk from the open through the
// day's high and low to the close, and the volume grows with the time;
// outside it (and always for data-file prices) the quote is the close.
// Requires series.hasQuote.
QuoteSnapshot SnapshotAt(const PriceSeries& series, int sessionMinute);

// "10:42am", "12:05pm"; "4:00pm" once the session closed.
std::string QuoteTimeText(int sessionMinute);

}  // namespace velmora::standin
