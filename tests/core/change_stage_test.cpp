// Change and change percent.
#include "core/change_stage.h"

#include <gtest/gtest.h>

#include "support/engine_fixtures.h"

namespace velmora {
namespace {

using test::ClosesOldestFirst;

TEST(ChangeStage, OldestBarOfAFullRunHasNoChange) {
  auto bars = ClosesOldestFirst({10, 12.5, 10});
  bars[2].change = 7;  // stale values must go
  bars[2].changePercent = 7;
  computeChange(test::FullRange(bars));
  EXPECT_EQ(bars[2].change, 0);
  EXPECT_EQ(bars[2].changePercent, 0);
  EXPECT_EQ(bars[1].change, 2.5);
  EXPECT_EQ(bars[1].changePercent, 25);
  EXPECT_EQ(bars[0].change, -2.5);
  EXPECT_EQ(bars[0].changePercent, -20);
}

TEST(ChangeStage, PercentComesFromTheUnroundedDifference) {
  // 1.00 -> 1.006: the change rounds to 0.01, but the percent is 0.6, not 1.
  auto bars = ClosesOldestFirst({1.00, 1.006, 3.00, 3.01});
  computeChange(test::FullRange(bars));
  EXPECT_EQ(bars[2].change, 0.01);
  EXPECT_EQ(bars[2].changePercent, 0.6);
  EXPECT_EQ(bars[0].change, 0.01);  // 3.00 -> 3.01: two decimals
  EXPECT_EQ(bars[0].changePercent, 0.33);
}

TEST(ChangeStage, PreviousCloseOfZeroGivesZeroPercent) {
  auto bars = ClosesOldestFirst({5, 0, 5});
  computeChange(test::FullRange(bars));
  EXPECT_EQ(bars[1].change, -5);
  EXPECT_EQ(bars[1].changePercent, -100);
  EXPECT_EQ(bars[0].change, 5);
  EXPECT_EQ(bars[0].changePercent, 0);
}

TEST(ChangeStage, IncrementalStartBarIsMeasuredAgainstItsPredecessor) {
  auto bars = ClosesOldestFirst({8, 10, 11});
  computeChange(test::IncrementalRange(bars, 1));
  EXPECT_EQ(bars[1].change, 2);
  EXPECT_EQ(bars[1].changePercent, 25);
  EXPECT_EQ(bars[0].change, 1);
  EXPECT_EQ(bars[2].change, 0);  // outside the range: untouched
}

}  // namespace
}  // namespace velmora
