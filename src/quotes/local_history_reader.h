#pragma once

#include <atomic>
#include <cstdint>

#include "core/quote_bar.h"

namespace velmora {

// Local history files ("%s.csv", and the charts' own files) hold one row per
// line: date, open, high, low, close, volume separated by commas (more
// fields are ignored), newest first or oldest first. Lines are read in
// pieces of at most 127 characters.
inline constexpr int kLocalLineBuffer = 128;

// Reads a local history file into bars[0 ..], newest row in slot 0, at most
// `capacity` entries. The order of the file is told by the dates of its
// first two readable lines that begin with a digit. An oldest-first file
// stores its last `capacity` lines whatever they hold (a header line at its
// top is then the last entry). An unreadable line (see ParseLocalHistoryLine)
// is skipped in either order. Returns the number of entries stored minus
// one, so the last entry lies outside the bars a chart analyses; -1 when the
// file cannot be opened or has fewer than two readable lines beginning with
// a digit.
//
// Only a regular file of at most kMaxLocalHistoryBytes is read (a device,
// a pipe or a huge file named by a damaged setting is refused as unopened,
// without blocking), and a set `stop` ends the reading early (-1).
[[nodiscard]] int ReadLocalHistoryFile(const char* path, int capacity, QuoteBar* bars,
                                       const std::atomic<bool>* stop = nullptr);

// Far more than the longest history a service gives (about 60 bytes a day).
inline constexpr std::int64_t kMaxLocalHistoryBytes = 64 * 1024 * 1024;

// Fills date (cut to 10 characters), open, high, low, close and volume of
// `bar` from one local line, as far as the line can be read; the other
// fields, and those the line lacks, keep their values. False, with the bar
// untouched, when the line is unreadable: a number it holds is no plausible
// price or volume (plausible_number.h).
[[nodiscard]] bool ParseLocalHistoryLine(const char* line, QuoteBar& bar);

}  // namespace velmora
