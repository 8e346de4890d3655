#pragma once

#include <array>
#include <cstdint>

#include "core/quote_bar.h"

namespace velmora {

inline constexpr int kSegmentRingSize = 64;

// One stretch of a series between two confirmed trend changes.
struct TrendSegment {
  std::int32_t direction = kUp;  // kUp or kDown: the bar's trend at its start
  std::int32_t startBar = 0;     // series index of its first bar
  std::int32_t endBar = -1;      // series index of its last bar; -1 while open
  std::int32_t signalCount = 0;
  double startPrice = 0;  // the break level crossed at the start
  double range = 0;       // set when the segment closes; 0 until then
  double rangePercent = 0;
  double highestClose = -99999999.99;
  double lowestClose = 99999999.99;
  double highestHigh = -99999999.99;
  double lowestLow = 99999999.99;
  std::int32_t valid = 1;  // 0: an up segment in which the ordinary buy is barred
};

// The part of a SignalState that a run over a few more bars can change:
// both counters and the segments from the current one on, one more for
// each bar (a bar opens at most one segment). Putting it back undoes such
// a run at the cost of those few segments rather than the whole ring.
struct SignalCheckpoint {
  std::int32_t segmentCount = 0;
  std::int32_t current = -1;
  int first = 0;  // ring position of segments[0]
  int count = 0;
  std::array<TrendSegment, kSegmentRingSize> segments{};
};

// The trend and signal state of one series: a ring of the last 64 segments.
// A plain record (copied by value). Every operation that takes a ring
// position reads -1 as the current segment; a position outside the ring
// makes a setter do nothing and a getter return its default.
class SignalState {
 public:
  static constexpr int kCurrent = -1;

  // Forgets the segments begun so far; the ring's contents stay.
  void reset() {
    segmentCount_ = 0;
    current_ = -1;
  }
  // Both use C's remainder, so stepping back from position 0 gives -1.
  void advance() {
    current_ = (current_ + 1) % kSegmentRingSize;
    ++segmentCount_;
  }
  void retreat() {
    current_ = (current_ - 1) % kSegmentRingSize;
    --segmentCount_;
  }
  // Ring position k segments back from the current one (k <= 0).
  int relative(int k) const { return (current_ + kSegmentRingSize + k) % kSegmentRingSize; }

  int segmentCount() const { return segmentCount_; }
  int current() const { return current_; }

  void resetSegment(int pos = kCurrent) {
    if (TrendSegment* s = at(pos)) *s = TrendSegment{};
  }
  void trackExtremes(double close, double high, double low, int pos = kCurrent) {
    if (TrendSegment* s = at(pos)) {
      if (close > s->highestClose) s->highestClose = close;
      if (close < s->lowestClose) s->lowestClose = close;
      if (high > s->highestHigh) s->highestHigh = high;
      if (low < s->lowestLow) s->lowestLow = low;
    }
  }
  void closeRange(int pos = kCurrent);
  void addSignalCount(int delta, int pos = kCurrent) {
    if (TrendSegment* s = at(pos)) s->signalCount += delta;
  }

  int direction(int pos = kCurrent) const { return get(pos, &TrendSegment::direction, kUp); }
  int startBar(int pos = kCurrent) const { return get(pos, &TrendSegment::startBar, -1); }
  int endBar(int pos = kCurrent) const { return get(pos, &TrendSegment::endBar, -1); }
  int signalCount(int pos = kCurrent) const { return get(pos, &TrendSegment::signalCount, -1); }
  int valid(int pos = kCurrent) const { return get(pos, &TrendSegment::valid, 1); }
  double startPrice(int pos = kCurrent) const { return get(pos, &TrendSegment::startPrice, 0.0); }
  double range(int pos = kCurrent) const { return get(pos, &TrendSegment::range, 0.0); }
  double rangePercent(int pos = kCurrent) const { return get(pos, &TrendSegment::rangePercent, 0.0); }
  double highestClose(int pos = kCurrent) const { return get(pos, &TrendSegment::highestClose, 0.0); }
  double lowestClose(int pos = kCurrent) const { return get(pos, &TrendSegment::lowestClose, 0.0); }
  double highestHigh(int pos = kCurrent) const { return get(pos, &TrendSegment::highestHigh, 0.0); }
  double lowestLow(int pos = kCurrent) const { return get(pos, &TrendSegment::lowestLow, 0.0); }

  void setDirection(int value, int pos = kCurrent) { set(pos, &TrendSegment::direction, value); }
  void setStartBar(int value, int pos = kCurrent) { set(pos, &TrendSegment::startBar, value); }
  void setEndBar(int value, int pos = kCurrent) { set(pos, &TrendSegment::endBar, value); }
  void setStartPrice(double value, int pos = kCurrent) { set(pos, &TrendSegment::startPrice, value); }
  void setValid(int value, int pos = kCurrent) { set(pos, &TrendSegment::valid, value); }

  // The segment at a ring position, or nullptr outside the ring.
  const TrendSegment* segment(int pos = kCurrent) const { return const_cast<SignalState*>(this)->at(pos); }

  // Keeps what a run over at most `bars` more bars can change, and puts
  // it back: the state is then as it was when saved.
  void saveCheckpoint(int bars, SignalCheckpoint& out) const;
  void restoreCheckpoint(const SignalCheckpoint& in);

  // The 64 segments and both counters.
  void CopyFrom(const SignalState& other) {
    if (this != &other) *this = other;
  }

 private:
  TrendSegment* at(int pos) {
    const int p = pos == kCurrent ? current_ : pos;
    return p >= 0 && p < kSegmentRingSize ? &segments_[static_cast<std::size_t>(p)] : nullptr;
  }
  template <typename T, typename D>
  T get(int pos, T TrendSegment::*field, D fallback) const {
    const TrendSegment* s = segment(pos);
    return s ? s->*field : static_cast<T>(fallback);
  }
  template <typename T, typename V>
  void set(int pos, T TrendSegment::*field, V value) {
    if (TrendSegment* s = at(pos)) s->*field = static_cast<T>(value);
  }

  std::array<TrendSegment, kSegmentRingSize> segments_{};
  std::int32_t segmentCount_ = 0;
  std::int32_t current_ = -1;
};

}  // namespace velmora
