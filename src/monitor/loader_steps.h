#pragma once

#include <ctime>

#include "core/quote_bar.h"
#include "monitor/quote_source.h"
#include "monitor/security_entry.h"
#include "monitor/security_events.h"

namespace velmora {

// The per-security steps of a loader thread. Results: 200 ("OK") or the
// negative result code of the quote service.

// The first load of a security: three years of daily bars up to `today`
// into the loading thread's `history` buffer, today's quote into its slot 0,
// the full engine run, then the newest 32 bars and the rolled-back signal
// state into the entry and the local history files written (no lock is held
// meanwhile). An entry whose history is already loaded answers 200 at once.
// `events`, when given, hears of the load once the entry is published.
[[nodiscard]] int ProcessSecurityHistory(SecurityEntry& entry, QuoteSource& source, QuoteSeries& history,
                                         std::time_t today, int confirmDays,
                                         SecurityEvents* events = nullptr);

// A refresh: today's quote into the newest bar, then the newest
// `refreshBars` bars recomputed on a copy of the entry's signal state, so
// the entry's own state stays where the history load left it. A failed
// request leaves the entry as it was. `changed`, when given, tells whether
// the quote differed from the one before (price, range, volume or time).
// `events`, when given, hears of the update once the entry is published.
[[nodiscard]] int ProcessSecurityRealTime(SecurityEntry& entry, QuoteSource& source, int confirmDays,
                                          bool* changed = nullptr, SecurityEvents* events = nullptr);

}  // namespace velmora
