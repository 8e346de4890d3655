#include "core/change_stage.h"

#include "base/text_helpers.h"

namespace velmora {

void computeChange(const SeriesRange& r) {
  int i = r.start;
  if (!r.incremental && i >= r.end) {
    r.bars[i].change = 0;
    r.bars[i].changePercent = 0;
    --i;
  }
  if (i < r.end) return;
  double previous = r.at(i + 1).close;  // carried from bar to bar
  for (; i >= r.end; --i) {
    QuoteBar& bar = r.bars[i];
    const double difference = bar.close - previous;
    bar.change = RoundTo2Decimals(difference);
    // The percent comes from the unrounded difference. A previous close of 0
    // has no meaningful percent; 0 is shown.
    bar.changePercent = previous == 0 ? 0 : RoundTo2Decimals(difference / previous * 100);
    previous = bar.close;
  }
}

}  // namespace velmora
