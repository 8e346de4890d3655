#include "core/signal_state.h"

namespace velmora {

void SignalState::closeRange(int pos) {
  TrendSegment* s = at(pos);
  if (s == nullptr) return;
  s->range = s->direction == kUp ? s->highestClose - s->startPrice : s->startPrice - s->lowestClose;
  s->rangePercent = s->range / s->startPrice * 100;
}

}  // namespace velmora
