// The engine's entry: order of stages, guards, ranges and no allocation.
#include "core/compute_indicators.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "support/engine_fixtures.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// Counts every allocation of the test program. (GCC takes the replacement
// pair of malloc and free for a mismatch.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace velmora {
namespace {

void fullRun(std::vector<QuoteBar>& bars, SignalState& state, int confirmDays = 2) {
  computeIndicators(false, false, 14, 14, 3, 3, static_cast<int>(bars.size()) - 1, 0, bars, state,
                    confirmDays);
}

TEST(ComputeIndicators, NoAllocationInAFullOrIncrementalRun) {
  auto bars = test::MarketBars(1095, 3);
  SignalState state;
  const long before = allocations.load();
  fullRun(bars, state);
  computeIndicators(true, false, 14, 14, 3, 3, 2, 0, bars, state, 2);
  EXPECT_EQ(allocations.load(), before);
}

void zeroRsi(QuoteBar& b) { b.rsi = b.rsiAvgGain = b.rsiAvgLoss = 0; }
void zeroStochastics(QuoteBar& b) { b.stochRawK = b.stochSlowRaw = b.stochK = b.stochD = 0; }

TEST(ComputeIndicators, AFaultyPeriodLeavesOnlyItsIndicatorAtZero) {
  auto reference = test::MarketBars(300, 3);
  SignalState referenceState;
  fullRun(reference, referenceState);
  for (int bad = 0; bad < 8; ++bad) {
    int periods[4] = {14, 14, 3, 3};
    periods[bad % 4] = bad < 4 ? 0 : -1;
    auto expected = reference;
    for (QuoteBar& b : expected) bad % 4 == 0 ? zeroRsi(b) : zeroStochastics(b);
    // Once on fresh bars, once on bars that still hold a good run's values.
    for (bool computedBefore : {false, true}) {
      auto bars = computedBefore ? reference : test::MarketBars(300, 3);
      SignalState state;
      computeIndicators(false, false, periods[0], periods[1], periods[2], periods[3], 299, 0, bars, state, 2);
      EXPECT_EQ(test::FirstDifference(bars, expected), "") << bad << " " << computedBefore;
      EXPECT_EQ(test::FirstDifference(state, referenceState), "") << bad;
    }
  }
  // The chart still gets its averages, changes, trends and marks.
  ASSERT_GT(reference[0].ema200, 0);
  ASSERT_GT(referenceState.segmentCount(), 1);
  // An incremental run with a faulty period clears the newest bars only.
  auto bars = reference;
  SignalState state = referenceState;
  computeIndicators(true, false, 0, 14, 3, 3, 2, 0, bars, state, 2);
  EXPECT_EQ(bars[2].rsi, 0);
  EXPECT_EQ(bars[3].rsi, reference[3].rsi);
  EXPECT_EQ(bars[0].stochK, reference[0].stochK);
}

TEST(ComputeIndicators, TwoBarsGetChangesOnly) {
  auto bars = test::ClosesOldestFirst({10, 11});
  SignalState state;
  fullRun(bars, state);
  EXPECT_EQ(bars[0].change, 1);
  EXPECT_EQ(bars[0].changePercent, 10);
  for (const QuoteBar& b : bars) {
    EXPECT_EQ(b.breakState, kInside);
    EXPECT_EQ(b.trend, kUp);
    EXPECT_EQ(b.trendChanged, 0);
    EXPECT_EQ(b.rsi, 0);
    EXPECT_EQ(b.stochK, 0);
    EXPECT_EQ(b.signalMark[0], '\0');
  }
  EXPECT_EQ(state.segmentCount(), 0);
}

TEST(ComputeIndicators, FirstSegmentIsUpOnTheSecondOldestBar) {
  auto bars = test::MarketBars(40, 9);
  SignalState state;
  fullRun(bars, state);
  EXPECT_EQ(bars[39].trendChanged, 0);
  EXPECT_EQ(bars[38].trendChanged, 1);
  EXPECT_EQ(bars[38].trend, kUp);
  EXPECT_GE(state.segmentCount(), 1);
  EXPECT_EQ(state.startBar(state.relative(1 - state.segmentCount())), 38);
  EXPECT_EQ(state.direction(state.relative(1 - state.segmentCount())), kUp);
}

TEST(ComputeIndicators, FullRunReadsNothingOlderThanStart) {
  // Bar 40 holds junk; a full run from bar 39 must equal a run on 40 bars.
  auto reference = test::MarketBars(40, 4);
  auto withJunk = reference;
  withJunk.push_back(QuoteBar{});
  withJunk.back().close = withJunk.back().high = 1e6;
  withJunk.back().low = -5;
  withJunk.back().breakState = kDown;
  withJunk.back().changePercent = 50;
  withJunk.back().stochRawK = withJunk.back().stochK = 77;
  SignalState a, b;
  // A slowing of 20 makes the first stochastic windows reach past bar 39.
  computeIndicators(false, false, 14, 14, 5, 20, 39, 0, withJunk, b, 2);
  computeIndicators(false, false, 14, 14, 5, 20, 39, 0, reference, a, 2);
  withJunk.pop_back();
  EXPECT_EQ(test::FirstDifference(withJunk, reference), "");
}

TEST(ComputeIndicators, StartBeyondTheSeriesIsItsOldestBar) {
  auto a = test::MarketBars(30, 5);
  auto b = a;
  SignalState sa, sb;
  computeIndicators(false, false, 14, 14, 3, 3, 5000, -3, a, sa, 2);
  fullRun(b, sb);
  EXPECT_EQ(test::FirstDifference(a, b), "");
  // Incremental too: nothing is read or written outside the 30 bars.
  computeIndicators(true, false, 14, 14, 3, 3, 5000, 0, a, sa, 2);
  computeIndicators(true, false, 100000, 100000, 100000, 100000, 29, 0, a, sa, 2);
  std::vector<QuoteBar> none;
  computeIndicators(false, false, 14, 14, 3, 3, 0, 0, none, sa, 2);
}

TEST(ComputeIndicators, ANegativeConfirmationDelayIsNone) {
  auto a = test::MarketBars(300, 6);
  auto b = a;
  SignalState sa, sb;
  computeIndicators(false, false, 14, 14, 3, 3, 299, 0, a, sa, -3);
  computeIndicators(false, false, 14, 14, 3, 3, 299, 0, b, sb, 0);
  EXPECT_EQ(test::FirstDifference(a, b), "");
}

}  // namespace
}  // namespace velmora
