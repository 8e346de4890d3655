// Signal rules after the buy filters (second chance, resistance, short segment, one
// signal per segment) and the segment ring over a long series.
#include <gtest/gtest.h>

#include "signal_scenario.h"

namespace velmora {
namespace {

using test::Scenario;

// Up from 58 (S4), down from 50, up from 40 (S2), down from 30 (S1), up
// from 12. Start prices: S4 11, S2 10, the current segment `current`.
// Bar 5 is inside the levels, with ema5 > ema10 > ema20.
Scenario higherLow(double current, int currentStart = 12) {
  Scenario s(60);
  s.change(50, kDown).change(40, kUp).change(30, kDown).change(currentStart, kUp);
  s[59].upperBreak = 11;
  s[41].upperBreak = 10;
  s[currentStart + 1].upperBreak = current;
  s.averages(5, 7, 6, 5.5, 5, 5, 5);
  return s;
}

TEST(SignalSecondChance, HigherLowReEntryBuysAnInsideBar) {
  Scenario s = higherLow(10.5);  // a = 10 %, b = 0.5 / 10 * 200 = 10, span 47
  const std::string marks = s.run();
  EXPECT_EQ(marks.find('B'), 5u);
  EXPECT_EQ(marks.rfind('B'), 5u);
  EXPECT_EQ(s.state.segmentCount(), 5);
  EXPECT_EQ(s.state.signalCount(), 1);
}

TEST(SignalSecondChance, EachConditionCanRefuseIt) {
  EXPECT_EQ(higherLow(10.9).run()[5], '.');      // b = 18, beyond 16.18
  EXPECT_EQ(higherLow(10).run()[5], '.');        // not above S2's start
  EXPECT_EQ(higherLow(10.5, 18).run()[5], 'B');  // span 58 - 18 + 1 = 41
  EXPECT_EQ(higherLow(10.5, 19).run()[5], '.');  // span 40
}

TEST(SignalSecondChance, NeedsStackedShortAveragesAndNoEarlierSignal) {
  Scenario flat = higherLow(10.5);
  flat[5].ema5 = 6;  // ema5 == ema10
  EXPECT_EQ(flat.run()[5], '.');
  Scenario earlier = higherLow(10.5);
  earlier.upBreak(8, 10.5);  // an ordinary buy first
  const std::string marks = earlier.run();
  EXPECT_EQ(marks[8], 'B');
  EXPECT_EQ(marks[5], '.');
}

TEST(SignalSecondChance, WorksInABarredSegmentButNeverSells) {
  Scenario barred = higherLow(10.5);
  barred[45].close = 8;    // S3 lowest close
  barred[35].close = 13;   // S2 highest close
  barred[20].close = 9.8;  // S1 retraces beyond 61.8 %
  EXPECT_EQ(barred.run()[5], 'B');
  EXPECT_EQ(barred.state.valid(), 0);

  Scenario down(60);
  down.change(50, kDown).change(40, kUp).change(30, kDown).change(12, kDown);
  down.averages(5, 7, 6, 5.5, 5, 5, 5);
  EXPECT_EQ(down.run(), std::string(60, '.'));
}

// Five segments: up from 38, down from 30 (S3, lowest close 8), up from 22
// (S2, highest close 13), down from 15 (S1), up from 8; bar 3 breaks up.
Scenario underResistance(double close) {
  Scenario s(40);
  s.change(30, kDown).change(22, kUp).change(15, kDown).change(8, kUp);
  s[26].close = 8;
  s[18].close = 13;
  s.upBreak(3, close);
  return s;
}

TEST(SignalResistance, BuyJustUnderAnEarlierPeakIsCancelled) {
  EXPECT_EQ(underResistance(12.3).run()[3], '.');  // 5.7 % under 13 after a 62.5 % rise
  EXPECT_EQ(underResistance(11.9).run()[3], 'B');  // 9.2 % under
}

TEST(SignalResistance, SmallEarlierRiseDoesNotCount) {
  Scenario s = underResistance(12.3);
  s[26].close = 9;  // a rise of 44 %
  EXPECT_EQ(s.run()[3], 'B');
}

// The segment before the current one spans `bars` bars (it ends on bar 7);
// its highest high is 11 and its lowest low 9. Bar 2 closes at `close`.
Scenario buyAfter(int bars, double close) {
  Scenario s(20);
  s.change(6 + bars, kDown).change(6, kUp).upBreak(2, close);
  return s;
}

Scenario sellAfter(int bars, double close) {
  Scenario s(24);
  s.change(18, kDown).change(6 + bars, kUp).change(6, kDown).downBreak(2, close);
  return s;
}

TEST(SignalShortSegment, SixBarSegmentMustBeCleared) {
  EXPECT_EQ(buyAfter(6, 10.5).run()[2], '.');
  EXPECT_EQ(buyAfter(6, 11.5).run()[2], 'B');  // above its highest high
  EXPECT_EQ(buyAfter(7, 10.5).run()[2], 'B');
}

TEST(SignalShortSegment, SellMustBreakTheShortSegmentsLow) {
  EXPECT_EQ(sellAfter(6, 9.5).run()[2], '.');
  EXPECT_EQ(sellAfter(6, 8.5).run()[2], 'S');
  EXPECT_EQ(sellAfter(7, 9.5).run()[2], 'S');
}

TEST(SignalLimit, OneBuyPerSegmentUntilTheNextChange) {
  Scenario s(22);
  s.upBreak(16, 10.5).upBreak(14, 10.6);
  s.change(12, kDown).change(4, kUp).upBreak(1, 10.7);
  s[8].close = 9.5;  // the dip: 12.6 % below the new buy
  std::string expected(22, '.');
  expected[16] = 'B';
  expected[1] = 'B';
  EXPECT_EQ(s.run(), expected);
  EXPECT_EQ(s.state.segmentCount(), 3);
  EXPECT_EQ(s.state.signalCount(), 1);
  EXPECT_EQ(s.state.signalCount(s.state.relative(-2)), 1);
}

TEST(SignalRing, WrapsPastSixtyFourSegments) {
  // A change every 4 bars, alternating: 70 segments in 290 bars.
  Scenario s(290);
  int changes = 1;  // the seeded one at bar 288
  for (int i = 284; i >= 12; i -= 4) {
    s.change(i, changes % 2 ? kDown : kUp);
    ++changes;
  }
  ASSERT_EQ(changes, 70);
  s.run();
  EXPECT_EQ(s.state.segmentCount(), 70);
  EXPECT_EQ(s.state.current(), 69 % 64);
  EXPECT_EQ(s.state.startBar(), 12);
  EXPECT_EQ(s.state.direction(), kDown);
  EXPECT_EQ(s.state.startBar(s.state.relative(-1)), 16);
  EXPECT_EQ(s.state.endBar(s.state.relative(-1)), 13);
  EXPECT_EQ(s.state.startBar(s.state.relative(-63)), 12 + 63 * 4);
  EXPECT_EQ(s.state.relative(-64), s.state.current());  // the six oldest were overwritten
}

}  // namespace
}  // namespace velmora
