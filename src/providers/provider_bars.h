#pragma once

#include <vector>

#include "core/quote_bar.h"
#include "providers/provider.h"

namespace velmora {

// The latest date a bar or a quote of a request made on `today` (this
// machine's day) may carry: the next day, for an exchange whose day is
// already ahead of this machine's; a weekly or monthly bar may be labelled
// by its period's last day, so up to a week or a month later. Anything
// dated later is no bar of this market.
ProviderDate LatestBarDate(ProviderDate today, ProviderPeriod period);

// Provider bars (oldest first) into bars[1..capacity-1], newest first, each
// through the classic history row reader: prices scaled to the adjusted
// close by its rule, the same plausibility checks and volume saturation,
// the "d-Mon-yy" date text, the composite index's volume in tens. Bars
// dated after `latest`, and bars whose stored prices would show as 0.00 or
// a high and low that do not hold the open and close, are left out. bars[0]
// becomes a copy of the newest stored bar. `symbol` is the list's symbol.
// Returns the next free slot (1 when no bar was stored).
[[nodiscard]] int StoreProviderBars(const std::vector<ProviderBar>& bars, const char* symbol, int capacity,
                                    QuoteBar* out, ProviderDate latest);
// The same with daily bars of a request made now.
[[nodiscard]] int StoreProviderBars(const std::vector<ProviderBar>& bars, const char* symbol, int capacity,
                                    QuoteBar* out);

// A provider's current quote onto the current bar, as the classic day-watch
// and real-time records would put it: last price, change and change percent
// from the previous close, open, high, low, volume (where given), the date
// as "m/d/yyyy" and the time as "h:mmam" in the exchange's time zone. False,
// with the bar untouched, when the quote is no plausible quote: a price
// that is no price or shows as 0.00, a high below its open or low or a low
// above its open, a date after `latest`.
[[nodiscard]] bool ApplyProviderQuote(const ProviderQuote& quote, const char* symbol, QuoteBar& bar,
                                      ProviderDate latest);
// The same for a quote asked for now.
[[nodiscard]] bool ApplyProviderQuote(const ProviderQuote& quote, const char* symbol, QuoteBar& bar);

}  // namespace velmora
