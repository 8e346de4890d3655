// Signal rules up to the buy filters: segments, candidates, required bars, the
// average-distance filter and the five buy filters. Each filter case is a
// series that buys, and the same series with one change that only that
// rule cancels.
#include <gtest/gtest.h>

#include "signal_scenario.h"

namespace velmora {
namespace {

using test::Scenario;

// Ten quiet bars; bar 2 breaks up six bars into the first up segment.
Scenario baseBuy() {
  Scenario s(10);
  s.upBreak(2, 10.5);
  return s;
}

TEST(SignalCandidates, BaseSeriesBuysOnce) {
  Scenario s = baseBuy();
  EXPECT_EQ(s.run(), "..B.......");
  EXPECT_EQ(s.state.segmentCount(), 1);
  EXPECT_EQ(s.state.signalCount(), 1);
  EXPECT_EQ(s.state.startBar(), 8);
  EXPECT_EQ(s.state.startPrice(), 10);  // bar 9's upper level
}

TEST(SignalCandidates, NoTrendChangeNoMarksAndNoSegments) {
  Scenario s(10);
  s[8].trendChanged = 0;
  s.upBreak(2, 10.5);
  EXPECT_EQ(s.run(), "..........");
  EXPECT_EQ(s.state.segmentCount(), 0);
  EXPECT_EQ(s.state.current(), -1);
}

TEST(SignalCandidates, DownBreakTwoBarsBackBarsTheBuy) {
  Scenario s = baseBuy();
  s[4].breakState = kDown;
  EXPECT_EQ(s.run(), "..........");
}

TEST(SignalCandidates, NoBuyInADownSegmentNoSellInAnUpSegment) {
  Scenario s(10);
  s.change(6, kDown).upBreak(2, 10.5);
  EXPECT_EQ(s.run(), "..........");
  Scenario t(10);
  t.downBreak(2, 8.5);
  EXPECT_EQ(t.run(), "..........");
}

TEST(SignalCandidates, SellWaitsForTheConfirmDays) {
  // Down segment from bar 4; its change bar itself breaks down.
  Scenario s(14);
  s.change(4, kDown).downBreak(4, 8.5);
  EXPECT_EQ(s.run(false, 2), "..............");  // 0 bars since the change < 2
  Scenario zero(14);
  zero.change(4, kDown).downBreak(4, 8.5);
  EXPECT_EQ(zero.run(false, 0), "....S.........");
  Scenario later(14);
  later.change(4, kDown).downBreak(4, 8.5).downBreak(2, 8.4);
  EXPECT_EQ(later.run(false, 2), "..S...........");
}

TEST(SignalRequiredBars, BuyWaitsForTheConfirmDays) {
  EXPECT_EQ(baseBuy().run(false, 6), "..B.......");  // six bars since the change
  EXPECT_EQ(baseBuy().run(false, 7), "..........");
}

TEST(SignalRequiredBars, OpenBelowAndCloseAboveEma20WaitsOneBarMore) {
  auto crossing = [] {
    Scenario s = baseBuy();
    s[2].ema20 = 10.2;  // open 10 < 10.2 < close 10.5
    return s;
  };
  EXPECT_EQ(crossing().run(true, 5), "..B.......");
  EXPECT_EQ(crossing().run(true, 6), "..........");
}

TEST(SignalRequiredBars, AlignedSmallGainBuysAtOnce) {
  auto aligned = [](double changePercent) {
    Scenario s = baseBuy();
    s.averages(2, 5, 5, 8, 7, 5, 6);  // ema20 > ema50 > ema200
    s[2].changePercent = changePercent;
    return s;
  };
  EXPECT_EQ(aligned(1).run(false, 9), "..B.......");
  // Exactly 5.25 is no relief: the confirm days count again.
  EXPECT_EQ(aligned(5.25).run(false, 9), "..........");
  EXPECT_EQ(aligned(5.25).run(false, 6), "..B.......");
  Scenario notAligned = baseBuy();
  notAligned[2].changePercent = 1;
  EXPECT_EQ(notAligned.run(false, 9), "..........");
}

TEST(SignalRequiredBars, CrossingUpFromBelowEma20KeepsTheConfirmDays) {
  Scenario s = baseBuy();
  s.averages(2, 5, 5, 8, 7, 5, 6);
  s[2].changePercent = 1;
  s[3].ema20 = 10.1;  // the previous bar closed below its ema20
  EXPECT_EQ(s.run(false, 9), "..........");
}

TEST(SignalAverageDistance, SecondNearestAverageAboveMustBeFarAway) {
  auto above = [](double e10, double e20) {
    Scenario s = baseBuy();
    s[2].ema10 = e10;
    s[2].ema20 = e20;
    return s;
  };
  EXPECT_EQ(above(11.6, 11.5).run(), "..B.......");      // 10.5 % and 9.5 %
  EXPECT_EQ(above(10.6, 11.6).run(), "..B.......");      // 0.95 % and 10.5 %: the second one counts
  EXPECT_EQ(above(10.6, 11.0).run(), "..........");      // 0.95 % and 4.8 %
  EXPECT_EQ(above(10.6, 11.0).run(true), "..B.......");  // an index skips the filter
}

TEST(SignalAverageDistance, SingleCrossedAverageWithCloseAboveAllCancels) {
  Scenario s = baseBuy();
  s[2].ema10 = 10.2;  // open 10 < 10.2 < close 10.5, not aligned: listed
  EXPECT_EQ(s.run(), "..........");
}

TEST(SignalAverageDistance, SingleAverageAboveNeedsStackedShortAverages) {
  auto oneAbove = [](double ema5) {
    Scenario s = baseBuy();
    s.averages(2, ema5, 11, 6, 5.5, 5, 5);  // only ema10 above the close
    return s;
  };
  EXPECT_EQ(oneAbove(12).run(), "..B.......");  // 12 > 11 > 6 > 5.5
  EXPECT_EQ(oneAbove(5).run(), "..........");
}

TEST(SignalAverageDistance, TwoHundredBarCrossNeedsThePreviousBarBelowIt) {
  auto cross200 = [](double previousEma200) {
    Scenario s = baseBuy();
    s[2].ema200 = 10.2;
    s[3].ema200 = previousEma200;
    return s;
  };
  EXPECT_EQ(cross200(10.1).run(), "..........");  // listed; close above all five
  EXPECT_EQ(cross200(9.0).run(), "..B.......");   // not listed
}

TEST(SignalBuyFilters, CrossOfEma20WithABigGain) {
  auto cross = [](double changePercent) {
    Scenario s = baseBuy();
    s.averages(2, 5, 5, 10.2, 8, 5, 6);
    s[3].ema20 = 10.1;
    s[2].changePercent = changePercent;
    return s;
  };
  EXPECT_EQ(cross(6).run(), "..........");
  EXPECT_EQ(cross(5.25).run(), "..B.......");  // the filter needs more than 5.25
}

TEST(SignalBuyFilters, CrossOfEma50WithABigGain) {
  auto cross = [](double changePercent) {
    Scenario s = baseBuy();
    s.averages(2, 5, 11.6, 11.5, 10.2, 5, 6);  // ema10 and ema20 far above
    s[3].ema50 = 10.1;
    s[2].changePercent = changePercent;
    return s;
  };
  EXPECT_EQ(cross(6).run(), "..........");
  EXPECT_EQ(cross(5).run(), "..B.......");
}

TEST(SignalBuyFilters, GapUpInTheLastThreeBars) {
  Scenario own = baseBuy();
  own[2].open = 11.5;
  own[2].low = 11.0;  // not below the previous high of 11
  own[2].close = own[2].high = 11.8;
  EXPECT_EQ(own.run(), "..........");
  own = baseBuy();
  own[2].low = 10.4;  // the control: overlapping bars
  EXPECT_EQ(own.run(), "..B.......");

  Scenario previous = baseBuy();
  previous[3].low = 11.1;
  previous[3].high = 12;
  EXPECT_EQ(previous.run(), "..........");

  Scenario third = baseBuy();
  third[4].low = 11;
  third[4].high = 12;
  EXPECT_EQ(third.run(), "..........");
}

TEST(SignalBuyFilters, SixRisingBars) {
  Scenario six = baseBuy();
  for (int i = 2; i <= 7; ++i) six[i].changePercent = 0.5;
  EXPECT_EQ(six.run(), "..........");
  Scenario five = baseBuy();
  for (int i = 2; i <= 6; ++i) five[i].changePercent = 0.5;
  EXPECT_EQ(five.run(), "..B.......");
}

// Up (bars 18..16), down (15..7, lowest close 8 on bar 10), up from bar 6;
// bar 2 breaks up.
Scenario afterADip(double close, bool aligned) {
  Scenario s(20);
  s.change(15, kDown).change(6, kUp).upBreak(2, close);
  s[10].close = 8;
  if (aligned) s.averages(2, 5, 5, 8, 7, 5, 6);
  return s;
}

TEST(SignalBuyFilters, GainFromThePreviousSegmentsLowestClose) {
  EXPECT_EQ(afterADip(10, false).run(), "....................");  // exactly 25 % cancels
  EXPECT_EQ(afterADip(9.99, false).run(), "..B.................");
  EXPECT_EQ(afterADip(11, true).run(), "..B.................");    // 37.5 % < 38.2 when aligned
  EXPECT_EQ(afterADip(11.2, true).run(), "....................");  // 40 %
  EXPECT_EQ(afterADip(11, false).run(), "....................");
}

// Up (58..51), down from 50 (S3), up from 40 (S2), down from 30 (S1), up
// from 12 (the current segment): five segments.
Scenario fiveSegments() {
  Scenario s(60);
  s.change(50, kDown).change(40, kUp).change(30, kDown).change(12, kUp);
  return s;
}

TEST(SignalExhaustion, LargeRiseRetracedBeyondTheRatioBarsTheBuy) {
  auto exhausted = [](double s1Low) {
    Scenario s = fiveSegments();
    s[45].close = 8;      // S3 lowest close
    s[35].close = 13;     // S2 highest close: a rise of 62.5 %
    s[20].close = s1Low;  // S1 lowest close
    s.upBreak(5, 10.5);
    return s;
  };
  Scenario barred = exhausted(9.8);  // retrace 3.2 > 0.618 * 5
  EXPECT_EQ(barred.run()[5], '.');
  EXPECT_EQ(barred.state.valid(), 0);
  Scenario open = exhausted(10);  // retrace 3.0
  EXPECT_EQ(open.run()[5], 'B');
  EXPECT_EQ(open.state.valid(), 1);
}

}  // namespace
}  // namespace velmora
