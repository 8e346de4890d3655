// The segment ring: its operations, their out-of-range defaults and copies.
#include "core/signal_state.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(SignalState, WithoutASegmentGettersGiveDefaultsAndSettersDoNothing) {
  SignalState s;
  s.setStartBar(7);
  s.setValid(0);
  s.addSignalCount(1);
  s.trackExtremes(1, 2, 0.5);
  EXPECT_EQ(s.startBar(), -1);
  EXPECT_EQ(s.endBar(), -1);
  EXPECT_EQ(s.signalCount(), -1);
  EXPECT_EQ(s.direction(), kUp);
  EXPECT_EQ(s.valid(), 1);
  EXPECT_EQ(s.startPrice(), 0.0);
  EXPECT_EQ(s.highestClose(), 0.0);
  EXPECT_EQ(s.lowestLow(64), 0.0);
  EXPECT_EQ(s.startBar(-2), -1);
  EXPECT_EQ(s.segment(64), nullptr);
  for (int p = 0; p < kSegmentRingSize; ++p) ASSERT_EQ(s.startBar(p), 0);  // nothing was written
}

TEST(SignalState, AdvanceWrapsAndRetreatFromZeroGivesMinusOne) {
  SignalState s;
  s.advance();
  EXPECT_EQ(s.current(), 0);
  EXPECT_EQ(s.segmentCount(), 1);
  for (int k = 0; k < 63; ++k) s.advance();
  EXPECT_EQ(s.current(), 63);
  s.advance();
  EXPECT_EQ(s.current(), 0);
  EXPECT_EQ(s.segmentCount(), 65);
  s.retreat();
  EXPECT_EQ(s.current(), -1);  // C's remainder: not 63
  EXPECT_EQ(s.segmentCount(), 64);
}

TEST(SignalState, RelativeWrapsWithinTheRing) {
  SignalState s;
  s.advance();
  s.advance();  // current 1
  EXPECT_EQ(s.relative(0), 1);
  EXPECT_EQ(s.relative(-1), 0);
  EXPECT_EQ(s.relative(-2), 63);
  EXPECT_EQ(s.relative(-4), 61);
}

TEST(SignalState, ResetKeepsTheRingContents) {
  SignalState s;
  s.advance();
  s.setStartBar(42);
  s.reset();
  EXPECT_EQ(s.current(), -1);
  EXPECT_EQ(s.segmentCount(), 0);
  EXPECT_EQ(s.startBar(0), 42);
}

TEST(SignalState, ExtremesAndCloseRange) {
  SignalState s;
  s.advance();
  s.resetSegment();
  s.setStartPrice(10);
  s.trackExtremes(11, 11.5, 10.5);
  s.trackExtremes(12, 12.5, 9.5);
  s.trackExtremes(9, 12, 8.5);
  EXPECT_EQ(s.highestClose(), 12);
  EXPECT_EQ(s.lowestClose(), 9);
  EXPECT_EQ(s.highestHigh(), 12.5);
  EXPECT_EQ(s.lowestLow(), 8.5);
  s.closeRange();
  EXPECT_EQ(s.range(), 2);
  EXPECT_EQ(s.rangePercent(), 20);
  s.setDirection(kDown);
  s.closeRange();
  EXPECT_EQ(s.range(), 1);  // start price minus the lowest close
  EXPECT_EQ(s.rangePercent(), 10);
}

}  // namespace
}  // namespace velmora
