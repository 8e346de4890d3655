#pragma once

#include <span>

#include "core/series_range.h"
#include "core/signal_state.h"

namespace velmora {

// Cuts the bars into trend segments at every confirmed trend change and
// marks buys ("B") and sells ("S"), at most one of each per segment. A full
// computation resets the state and starts at the first trend change; an
// incremental one continues the state it is handed from `start`.
// `confirmDays` is the trend confirmation delay the levels were built with.
void computeSignals(bool isIndex, const SeriesRange& range, SignalState& state, int confirmDays);

// The same over `series` (index 0 newest), for callers outside the engine.
void computeSignals(bool isIndex, bool incremental, int start, int end, std::span<QuoteBar> series,
                    SignalState& state, int confirmDays);

// Undoes what the newest `barCount` bars added to the state after a full
// computation, newest bar first: a bar with a mark gives its signal back to
// the current segment, a bar that changed the trend steps the ring back.
// Extremes, end bars and ranges stay as they are. The loader calls it with
// confirm days + 1 so later incremental runs start from the same state.
void rollBackNewestBars(std::span<const QuoteBar> series, int barCount, SignalState& state);

}  // namespace velmora
