#include "core/signal_state.h"

namespace velmora {

void SignalState::closeRange(int pos) {
  TrendSegment* s = at(pos);
  if (s == nullptr) return;
  s->range = s->direction == kUp ? s->highestClose - s->startPrice : s->startPrice - s->lowestClose;
  s->rangePercent = s->range / s->startPrice * 100;
}

void SignalState::saveCheckpoint(int bars, SignalCheckpoint& out) const {
  out.segmentCount = segmentCount_;
  out.current = current_;
  // Before the first segment a run's first advance reaches position 0.
  out.first = current_ >= 0 ? current_ : 0;
  out.count = bars < 0 ? 1 : (bars >= kSegmentRingSize ? kSegmentRingSize : bars + 1);
  for (int k = 0; k < out.count; ++k)
    out.segments[static_cast<std::size_t>(k)] =
        segments_[static_cast<std::size_t>((out.first + k) % kSegmentRingSize)];
}

void SignalState::restoreCheckpoint(const SignalCheckpoint& in) {
  segmentCount_ = in.segmentCount;
  current_ = in.current;
  for (int k = 0; k < in.count; ++k)
    segments_[static_cast<std::size_t>((in.first + k) % kSegmentRingSize)] =
        in.segments[static_cast<std::size_t>(k)];
}

}  // namespace velmora
