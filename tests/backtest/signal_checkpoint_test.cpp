// The walk forward tries the newest bars from a saved part of the signal
// state and puts it back: the state must come back whole, also where the
// ring wraps.
#include <gtest/gtest.h>

#include "core/signal_engine.h"
#include "core/signal_state.h"
#include "support/engine_fixtures.h"

namespace velmora {
namespace {

// A state whose current segment sits at ring position `position`.
SignalState stateAt(int position) {
  SignalState s;
  for (int k = 0; k <= position; ++k) {
    s.advance();
    s.resetSegment();
    s.setDirection(k % 2 ? kDown : kUp);
    s.setStartBar(1000 - 10 * k);
    s.trackExtremes(50 + k, 51 + k, 49 + k);
  }
  return s;
}

TEST(SignalCheckpoint, PutsBackWhatARunOverAFewBarsChanged) {
  for (const int position : {-1, 0, 30, 61, 63}) {
    SCOPED_TRACE(position);
    SignalState state = position < 0 ? SignalState{} : stateAt(position);
    const SignalState before = state;
    SignalCheckpoint saved;
    state.saveCheckpoint(3, saved);
    // What three bars can do: close the segment, open three more (wrapping
    // past position 63), widen extremes, count signals.
    state.setEndBar(7);
    state.closeRange();
    state.addSignalCount(1);
    for (int k = 0; k < 3; ++k) {
      state.advance();
      state.resetSegment();
      state.setStartPrice(99);
      state.trackExtremes(1, 200, 0.5);
      state.setValid(0);
    }
    state.restoreCheckpoint(saved);
    EXPECT_EQ(test::FirstDifference(state, before), "");
  }
}

TEST(SignalCheckpoint, UndoesTheSignalEngineOverTheNewestBars) {
  auto bars = test::MarketBars(1600, 5);  // more than 64 segments: the ring wraps
  SignalState state;
  computeIndicators(false, false, 14, 14, 3, 3, 1599, 4, bars, state, 2);
  ASSERT_GT(state.segmentCount(), kSegmentRingSize);
  const SignalState before = state;
  SignalCheckpoint saved;
  state.saveCheckpoint(4, saved);
  computeIndicators(true, false, 14, 14, 3, 3, 3, 0, bars, state, 2);
  state.restoreCheckpoint(saved);
  EXPECT_EQ(test::FirstDifference(state, before), "");
}

}  // namespace
}  // namespace velmora
