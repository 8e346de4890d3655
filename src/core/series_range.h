#pragma once

#include <span>

#include "core/quote_bar.h"

namespace velmora {

// A bar with every field at its fresh value, shared read-only.
const QuoteBar& FreshBar();

// What every engine stage works on: the bars, the index range to compute
// (`start` down to `end`, oldest first) and how far back reads may go.
// Bars at or beyond `readable` read as a fresh bar, so no stage ever reads
// outside the array: a full computation reads nothing older than `start`,
// an incremental one nothing beyond the series.
struct SeriesRange {
  QuoteBar* bars = nullptr;
  int readable = 0;
  int start = 0;
  int end = 0;
  bool incremental = false;
  const QuoteBar* fresh = &FreshBar();

  const QuoteBar& at(int i) const { return i < readable ? bars[i] : *fresh; }
};

// The range of a computation over `series`: a `start` beyond the series is
// taken as its oldest bar and an `end` below 0 as bar 0. False when nothing
// is left to compute (empty series, or `end` above `start`).
[[nodiscard]] bool MakeSeriesRange(std::span<QuoteBar> series, bool incremental, int start, int end,
                                   SeriesRange& range);

}  // namespace velmora
