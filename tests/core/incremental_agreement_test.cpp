// A full computation and incremental runs over its newest bars agree bit
// for bit, and the loader's rollback keeps the stored state where it was.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/compute_indicators.h"
#include "core/signal_engine.h"
#include "support/engine_fixtures.h"

namespace velmora {
namespace {

constexpr int kBars = 600;

struct Computed {
  std::vector<QuoteBar> bars;
  SignalState state;
};

Computed fullRun(std::uint32_t seed, int confirmDays, bool isIndex = false) {
  Computed c{test::MarketBars(kBars, seed), {}};
  computeIndicators(false, isIndex, 14, 14, 3, 3, kBars - 1, 0, c.bars, c.state, confirmDays);
  return c;
}

// Rolls the newest `chunk` bars back and recomputes them incrementally.
Computed rerun(const Computed& full, int chunk, int confirmDays, bool isIndex = false) {
  Computed c = full;
  rollBackNewestBars(c.bars, chunk, c.state);
  computeIndicators(true, isIndex, 14, 14, 3, 3, chunk - 1, 0, c.bars, c.state, confirmDays);
  return c;
}

TEST(IncrementalAgreement, TheMarketSeriesCarriesSignals) {
  const Computed full = fullRun(7, 2);
  const std::string marks = test::Marks(full.bars);
  EXPECT_GE(std::count(marks.begin(), marks.end(), 'B'), 3);
  EXPECT_GE(std::count(marks.begin(), marks.end(), 'S'), 3);
  EXPECT_GE(full.state.segmentCount(), 10);
}

TEST(IncrementalAgreement, NewestBarsInChunksReproduceTheFullRun) {
  for (std::uint32_t seed : {7u, 11u, 23u}) {
    for (int confirmDays : {0, 2, 3}) {
      const bool isIndex = seed == 11;
      const Computed full = fullRun(seed, confirmDays, isIndex);
      for (int chunk : {1, 2, 3, confirmDays + 1, 40}) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ", N " + std::to_string(confirmDays) + ", chunk " +
                     std::to_string(chunk));
        const Computed again = rerun(full, chunk, confirmDays, isIndex);
        EXPECT_EQ(test::FirstDifference(again.bars, full.bars), "");
        EXPECT_EQ(test::FirstDifference(again.state, full.state), "");
      }
    }
  }
}

TEST(IncrementalAgreement, WalkingForwardInChunksEqualsOneFullRun) {
  // The series grows: a full run up to bar `newest`, then incremental runs
  // of `chunk` bars each down to bar 0, continuing the same state. Chunks
  // of three or more bars also run the trend stage.
  const int confirmDays = 2;
  const Computed full = fullRun(13, confirmDays);
  for (int chunk : {3, 4, 7}) {
    SCOPED_TRACE("chunk " + std::to_string(chunk));
    Computed walk{test::MarketBars(kBars, 13), {}};
    int newest = 60 - 60 % chunk;
    computeIndicators(false, false, 14, 14, 3, 3, kBars - 1, newest, walk.bars, walk.state, confirmDays);
    while (newest > 0) {
      computeIndicators(true, false, 14, 14, 3, 3, newest - 1, newest - chunk, walk.bars, walk.state,
                        confirmDays);
      newest -= chunk;
    }
    EXPECT_EQ(test::FirstDifference(walk.bars, full.bars), "");
    EXPECT_EQ(test::FirstDifference(walk.state, full.state), "");
  }
}

TEST(IncrementalAgreement, RollbackThenRerunNeverAdvancesTheStoredState) {
  const int confirmDays = 2;
  Computed full = fullRun(7, confirmDays);
  SignalState stored = full.state;
  rollBackNewestBars(full.bars, confirmDays + 1, stored);
  const SignalState snapshot = stored;
  for (int update = 0; update < 5; ++update) {
    // A new real-time quote replaces bar 0; each update works on a copy.
    full.bars[0].close = RoundTo2Decimals(full.bars[0].close * (update % 2 ? 1.03 : 0.97));
    SignalState work = stored;
    computeIndicators(true, false, 14, 14, 3, 3, confirmDays, 0, full.bars, work, confirmDays);
  }
  EXPECT_EQ(test::FirstDifference(stored, snapshot), "");
}

TEST(LoaderRollback, UndoesTheNewestBarsSignalsThenTheirSegmentAdvances) {
  // Segment 2 opened on bar 1, whose own sell it counts; bar 2 is older.
  std::vector<QuoteBar> bars(4);
  bars[1].trendChanged = 1;
  bars[1].SetMark("S");
  bars[2].SetMark("B");
  SignalState state;
  for (int k = 0; k < 3; ++k) state.advance();
  state.setEndBar(2, 1);
  state.trackExtremes(5, 6, 4, 1);
  state.addSignalCount(1, 1);
  state.addSignalCount(1);
  rollBackNewestBars(bars, 2, state);
  EXPECT_EQ(state.current(), 1);
  EXPECT_EQ(state.segmentCount(), 2);
  EXPECT_EQ(state.signalCount(2), 0);
  EXPECT_EQ(state.signalCount(1), 1);  // bar 2 lies beyond the rolled-back bars
  EXPECT_EQ(state.endBar(1), 2);       // end bars and extremes stay
  EXPECT_EQ(state.highestClose(1), 5);

  SignalState whole = SignalState{};
  whole.advance();
  rollBackNewestBars(bars, 100, whole);  // more bars than the series: all four
  EXPECT_EQ(whole.segmentCount(), 0);
}

}  // namespace
}  // namespace velmora
