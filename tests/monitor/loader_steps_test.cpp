// The per-security steps of a loader thread, without threads.
#include "monitor/loader_steps.h"

#include <gtest/gtest.h>

#include "core/signal_state.h"
#include "support/monitor_fakes.h"

namespace velmora {
namespace {

using test::FakeQuoteService;
using test::Script;

void expectSameState(const SignalState& a, const SignalState& b) {
  EXPECT_EQ(a.segmentCount(), b.segmentCount());
  EXPECT_EQ(a.current(), b.current());
  for (int pos = 0; pos < kSegmentRingSize; ++pos) {
    EXPECT_EQ(a.direction(pos), b.direction(pos)) << pos;
    EXPECT_EQ(a.startBar(pos), b.startBar(pos)) << pos;
    EXPECT_EQ(a.endBar(pos), b.endBar(pos)) << pos;
    EXPECT_EQ(a.signalCount(pos), b.signalCount(pos)) << pos;
    EXPECT_EQ(a.highestClose(pos), b.highestClose(pos)) << pos;
    EXPECT_EQ(a.lowestLow(pos), b.lowestLow(pos)) << pos;
  }
}

class LoaderSteps : public ::testing::Test {
 protected:
  LoaderSteps() {
    SecurityData data;
    EXPECT_TRUE(InitSecurityEntry(data, "MSFT", kRealTimeYahoo));
    entry_.Assign(data);
    source_ = service_.Create(stop_, listener_);
  }

  test::TempFolder folder_;
  test::ScopedCurrentDir here_{folder_.path()};
  FakeQuoteService service_;
  std::atomic<bool> stop_{false};
  SilentLoaderListener listener_;
  std::unique_ptr<QuoteSource> source_;
  SecurityEntry entry_;
  QuoteSeries history_;
};

TEST_F(LoaderSteps, HistoryKeepsTheNewestBarsAndRealTimeRunsOnACopyOfTheState) {
  ASSERT_EQ(ProcessSecurityHistory(entry_, *source_, history_, 1133895909, 2), kQuoteOk);
  const SecurityData loaded = entry_.Snapshot();
  EXPECT_EQ(loaded.historyLoaded, 1);
  EXPECT_EQ(loaded.refreshBars, 3);
  EXPECT_EQ(loaded.bars.count, kMonitoredBars);
  EXPECT_EQ(loaded.bars[0].close, loaded.quoteExtra1);  // today's quote went into slot 0
  EXPECT_EQ(loaded.bars[31].close, history_[31].close);
  EXPECT_TRUE(test::FileExists("MSFT.csv"));
  EXPECT_TRUE(test::FileExists("MSFT.txt"));

  // A loaded entry is not loaded again.
  EXPECT_EQ(ProcessSecurityHistory(entry_, *source_, history_, 1133895909, 2), kQuoteOk);
  EXPECT_EQ(service_.historyCalls("MSFT"), 1);

  for (int pass = 0; pass < 5; ++pass) ASSERT_EQ(ProcessSecurityRealTime(entry_, *source_, 2), kQuoteOk);
  const SecurityData refreshed = entry_.Snapshot();
  EXPECT_DOUBLE_EQ(refreshed.bars[0].close, 60.06);  // the sixth quote of the service
  EXPECT_EQ(refreshed.quoteExtra1, refreshed.bars[0].close);
  expectSameState(refreshed.signalState, loaded.signalState);
  EXPECT_EQ(refreshed.bars[1].close, loaded.bars[1].close);
}

TEST_F(LoaderSteps, ShortHistoryLeavesNoBarsOfTheSecurityBefore) {
  // Fill the shared array with a long history of another security first.
  SecurityEntry other;
  SecurityData data;
  EXPECT_TRUE(InitSecurityEntry(data, "IBMLONGER", kRealTimeYahoo));
  other.Assign(data);
  ASSERT_EQ(ProcessSecurityHistory(other, *source_, history_, 1133895909, 2), kQuoteOk);

  service_.setHistoryBars(4);
  ASSERT_EQ(ProcessSecurityHistory(entry_, *source_, history_, 1133895909, 2), kQuoteOk);
  const SecurityData loaded = entry_.Snapshot();
  EXPECT_EQ(loaded.bars.count, 5);
  for (int i = 5; i < kMonitoredBars; ++i) {
    EXPECT_EQ(loaded.bars[i].close, 0.0) << i;
    EXPECT_STREQ(loaded.bars[i].signalMark, "") << i;
    EXPECT_EQ(loaded.bars[i].trendChanged, 0) << i;
  }
  EXPECT_EQ(test::SplitLines(test::ReadFile("MSFT.csv")).size(), 5u);
  ASSERT_EQ(ProcessSecurityRealTime(entry_, *source_, 2), kQuoteOk);
}

TEST_F(LoaderSteps, FailuresReturnTheServiceCodeAndLeaveTheEntryAlone) {
  service_.set("MSFT", Script::kNotFound);
  EXPECT_EQ(ProcessSecurityHistory(entry_, *source_, history_, 1133895909, 2), kQuoteNotFound);
  EXPECT_EQ(entry_.Snapshot().historyLoaded, 0);
  EXPECT_FALSE(test::FileExists("MSFT.csv"));

  service_.set("MSFT", Script::kRealTimeFailed);
  ASSERT_EQ(ProcessSecurityHistory(entry_, *source_, history_, 1133895909, 2), kQuoteOk);
  const SecurityData before = entry_.Snapshot();
  EXPECT_EQ(ProcessSecurityRealTime(entry_, *source_, 2), kQuoteFailed);
  const SecurityData after = entry_.Snapshot();
  EXPECT_EQ(after.bars[0].close, before.bars[0].close);
  EXPECT_EQ(after.quoteExtra1, before.quoteExtra1);
}

// A quote service whose price only moves when told to.
class SteadyQuote : public QuoteSource {
 public:
  double close = 42.0;
  const char* time = "3:59pm";
  int LoadHistory(const char*, int, int, int, int, int, int, int, QuoteBar*) override { return kQuoteFailed; }
  int LoadRealTime(const char*, const RealTimePlaces& places) override {
    places.bar->close = close;
    places.bar->SetTime(time);
    return 1;
  }
};

TEST_F(LoaderSteps, RefreshTellsWhetherTheQuoteChanged) {
  ASSERT_EQ(ProcessSecurityHistory(entry_, *source_, history_, 1133895909, 2), kQuoteOk);
  SteadyQuote steady;
  bool changed = false;
  ASSERT_EQ(ProcessSecurityRealTime(entry_, steady, 2, &changed), kQuoteOk);
  EXPECT_TRUE(changed);  // the history's own quote was another
  ASSERT_EQ(ProcessSecurityRealTime(entry_, steady, 2, &changed), kQuoteOk);
  EXPECT_FALSE(changed);
  steady.time = "4:00pm";
  ASSERT_EQ(ProcessSecurityRealTime(entry_, steady, 2, &changed), kQuoteOk);
  EXPECT_TRUE(changed);
  steady.close = 42.01;
  ASSERT_EQ(ProcessSecurityRealTime(entry_, steady, 2, &changed), kQuoteOk);
  EXPECT_TRUE(changed);
}

}  // namespace
}  // namespace velmora
