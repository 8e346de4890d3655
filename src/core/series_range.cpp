#include "core/series_range.h"

#include <climits>

namespace velmora {

const QuoteBar& FreshBar() {
  static const QuoteBar bar;
  return bar;
}

bool MakeSeriesRange(std::span<QuoteBar> series, bool incremental, int start, int end, SeriesRange& range) {
  const int size =
      series.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(series.size());
  if (size == 0) return false;
  if (start > size - 1) start = size - 1;
  if (end < 0) end = 0;
  if (end > start) return false;
  range.bars = series.data();
  range.start = start;
  range.end = end;
  range.incremental = incremental;
  range.readable = incremental ? size : start + 1;
  return true;
}

}  // namespace velmora
