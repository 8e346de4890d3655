#pragma once

#include <string>

#include "core/quote_bar.h"
#include "providers/provider.h"

namespace velmora {

// A daily history that is already on disk is brought up to date by asking
// only for the days from a week before its newest bar: the days both have
// must agree, or the provider's history changed under the file (a split, a
// dividend adjusting every older price, a corrected day) and the whole
// range is loaded again.
inline constexpr int kOverlapDays = 7;

ProviderDate ProviderDateFromKey(int key);  // key: year * 10000 + month * 100 + day
ProviderDate AddCalendarDays(ProviderDate date, int days);

// Whether two prices are the same within what a file of two decimals keeps.
bool SamePrice(double a, double b);

struct OverlapCheck {
  bool agrees = false;
  std::string reason;  // why not, for the log ("the close of 1-Dec-26 is 200.00 here, 100.00 in the file")
};

// Compares `answer` (the bars of a request that began at `askedFromKey`)
// with `known` (the file's bars), both newest first. The file's newest day
// is not compared: its bar may have been taken during that day, and the
// answer's replaces it. Every answered bar older than that day must match
// the file's bar of its date in open, high, low and close; every day of the
// file from `askedFromKey` on must be in the answer; and at least one day
// must be in both.
OverlapCheck CheckOverlap(const QuoteBar* answer, int answerCount, const QuoteBar* known, int knownCount,
                          int askedFromKey);

// `bars[1 .. next-1]` hold an answer, newest first. Keeps its bars of
// [fromKey, toKey], adds the known bars older than its oldest (down to
// fromKey) behind them while there is room below `capacity`, and makes
// bars[0] a copy of the newest. Returns the next free slot.
[[nodiscard]] int ExtendWithKnownBars(QuoteBar* bars, int next, int capacity, const QuoteBar* known,
                                      int knownCount, int fromKey, int toKey);

}  // namespace velmora
