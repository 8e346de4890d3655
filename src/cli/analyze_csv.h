#pragma once

#include <span>
#include <string>

#include "core/quote_bar.h"
#include "core/signal_state.h"

namespace velmora {

// The header line of the per-bar CSV (without the line end).
extern const char* const kAnalyzeCsvHeader;

// One header line and one line per bar, newest first unless `oldestFirst`.
// Doubles in their shortest round-trip form, flags as Y/N, the mark as B, S
// or nothing, texts as stored.
void AppendBarsCsv(std::span<const QuoteBar> bars, bool oldestFirst, std::string& out);

// A blank line, "segmentCount,current" with its values, a blank line, then
// the segment header and one line per segment begun and still in the ring,
// oldest first.
void AppendSegmentsCsv(const SignalState& state, std::string& out);

}  // namespace velmora
