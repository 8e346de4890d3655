#pragma once

#include <vector>

#include "core/quote_bar.h"
#include "quotes/provider.h"

namespace velmora {

// Provider bars (oldest first) into bars[1..capacity-1], newest first, each
// through the classic history row reader: prices scaled to the adjusted
// close by its rule, the same plausibility checks and volume saturation,
// the "d-Mon-yy" date text, the composite index's volume in tens. bars[0]
// becomes a copy of the newest stored bar. `symbol` is the list's symbol.
// Returns the next free slot (1 when no bar was stored).
[[nodiscard]] int StoreProviderBars(const std::vector<ProviderBar>& bars, const char* symbol, int capacity,
                                    QuoteBar* out);

// A provider's current quote onto the current bar, as the classic day-watch
// and real-time records would put it: last price, change and change percent
// from the previous close, open, high, low, volume (where given), the date
// as "m/d/yyyy" and the time as "h:mmam" in the exchange's time zone. False,
// with the bar untouched, when the quote is no plausible quote.
[[nodiscard]] bool ApplyProviderQuote(const ProviderQuote& quote, const char* symbol, QuoteBar& bar);

}  // namespace velmora
