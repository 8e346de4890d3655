// The loader threads against a scripted quote service and a fake clock.
// Every suite here has "Threads" in its name so that it also runs under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

#include "monitor/loader_pool.h"
#include "monitor/loader_statistics.h"
#include "monitor/report_writer.h"
#include "support/monitor_fakes.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::FakeClock;
using test::FakeQuoteService;
using test::LogIndexOf;
using test::LogTexts;
using test::Script;
using test::WaitUntil;

class LoaderThreads : public ::testing::Test {
 protected:
  LoaderThreads() { SetConfigDefaults(config_); }

  // A pool over `count` numbered securities divided among `threads`.
  LoaderPool& makePool(int count, int threads, bool realClock = false) {
    test::FillStore(store_, test::NumberedSymbols(count));
    LoaderEnvironment env;
    env.config = &config_;
    env.sources = &service_;
    env.clock = realClock ? nullptr : &clock_;
    env.writeReports = [this](const SecurityStore&) {
      const int inside = ++reportWriters_;
      if (inside > maxReportWriters_) maxReportWriters_ = inside;
      std::this_thread::sleep_for(100us);
      --reportWriters_;
    };
    pool_ = std::make_unique<LoaderPool>(store_, env);
    pool_->AssignSecurityRanges(store_.count(), threads);
    return *pool_;
  }
  bool loaded(int index) { return store_.entry(index).historyLoaded(); }
  bool allLoaded(int from, int to) {
    for (int i = from; i < to; ++i)
      if (!loaded(i)) return false;
    return true;
  }

  test::TempFolder folder_;
  test::ScopedCurrentDir here_{folder_.path()};
  SystemConfig config_;
  SecurityStore store_;
  FakeQuoteService service_;
  FakeClock clock_;
  test::RecordingListener listener_;
  std::atomic<int> reportWriters_{0};
  std::atomic<int> maxReportWriters_{0};
  std::unique_ptr<LoaderPool> pool_;  // last: stopped before the rest goes
};

TEST_F(LoaderThreads, HistoryPassesSideBySideThenRealTimePassesBackToBack) {
  LoaderPool& pool = makePool(40, 4);
  EXPECT_EQ(pool.ReportPasses(), 1);
  EXPECT_EQ(pool.StartLoaderThreads(&listener_), 4);
  ASSERT_TRUE(WaitUntil([&] { return allLoaded(0, 40) && pool.LoaderTurn() == 4; }));

  // Each thread loads its own share in list order, whatever the others do.
  const std::vector<std::string> order = service_.historyOrder();
  const std::vector<std::string> list = test::NumberedSymbols(40);
  ASSERT_EQ(order.size(), 40u);
  for (int thread = 0; thread < 4; ++thread) {
    std::vector<std::string> share;
    for (const std::string& symbol : order)
      if (symbol[1] - '0' == thread) share.push_back(symbol);
    EXPECT_EQ(share, std::vector<std::string>(list.begin() + thread * 10, list.begin() + thread * 10 + 10));
  }
  EXPECT_TRUE(WaitUntil([&] { return pool.CompleteReportPasses() >= 1; }));
  EXPECT_EQ(maxReportWriters_.load(), 1);

  // While a share was still loading, the finished threads paced their
  // passes (in slices of 100 ms); once every history is in, QuoteInterval 0
  // means passes back to back without a pause.
  for (const std::int64_t pause : clock_.sleeps()) EXPECT_EQ(pause, 100);
  const int callsBefore = service_.realTimeCalls("S39");
  const std::size_t pausesBefore = clock_.sleeps().size();
  ASSERT_TRUE(WaitUntil([&] { return service_.realTimeCalls("S39") >= callsBefore + 5; }));
  EXPECT_LE(clock_.sleeps().size(), pausesBefore + 4);  // at most the passes that were under way
  EXPECT_EQ(LogIndexOf("Thread 1 is sleeping 0 seconds......"), -1);
  for (int i = 0; i < 40; ++i) EXPECT_GE(listener_.updates(i), 2) << i;
  EXPECT_TRUE(listener_.sawText("Loading history quote for symbol S00 ......"));
  EXPECT_TRUE(listener_.sawText("Loading real time quote for symbol S39 ......"));
  EXPECT_TRUE(test::FileExists("S17.txt"));

  const LoaderStatistics s = CollectLoaderStatistics(pool, 40);
  EXPECT_EQ(s.threadCount, 4);
  EXPECT_EQ(s.activeCount, 4);
  EXPECT_FALSE(s.startAllowed);
  EXPECT_EQ(s.threads[0].status.rfind("2005-12-06  ", 0), 0u) << s.threads[0].status;  // the fake clock's day

  pool.StopLoaderThreads();
  EXPECT_EQ(pool.RunningThreadCount(), 0);
  EXPECT_EQ(pool.LoaderTurn(), 0);
  for (int t = 1; t <= 4; ++t) EXPECT_GE(LogIndexOf("Thread " + std::to_string(t) + " ceased."), 0) << t;
}

TEST_F(LoaderThreads, UnknownSymbolTriedThreeTimesASecondApartThenSkipped) {
  service_.set("S03", Script::kNotFound);
  LoaderPool& pool = makePool(10, 1);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return service_.realTimeCalls("S09") >= 4; }));
  pool.StopLoaderThreads();

  EXPECT_EQ(service_.historyCalls("S03"), 3);
  EXPECT_EQ(service_.realTimeCalls("S03"), 0);
  EXPECT_EQ(clock_.sleeps(), std::vector<std::int64_t>({1000, 1000, 1000}));
  EXPECT_GE(LogIndexOf("Symbol S03 not found."), 0);
  EXPECT_EQ(listener_.updates(3), 0);
  EXPECT_EQ(pool.thread(0).failCount(), 0);
  EXPECT_EQ(pool.HistoryFailures(), 1);
  HistoryFailure first;
  ASSERT_TRUE(pool.FirstHistoryFailure(first));
  EXPECT_EQ(first.symbol, "S03");
  EXPECT_EQ(first.reason, "Not Found");
}

TEST_F(LoaderThreads, ThreeFailedSecuritiesEndTheirThreadWhileTheOthersGoOn) {
  for (const char* s : {"S01", "S04", "S07"}) service_.set(s, Script::kFailed);
  LoaderPool& pool = makePool(20, 2);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return pool.thread(0).inactive() && service_.realTimeCalls("S19") >= 3; }));

  const int first = LogIndexOf("Thread 1 failed to process history quote of S01.Total failed: 1");
  const int second = LogIndexOf("Thread 1 failed to process history quote of S04.Total failed: 2");
  const int third = LogIndexOf("Thread 1 failed to process history quote of S07.Total failed: 3");
  ASSERT_TRUE(WaitUntil([&] { return LogIndexOf("Thread 1 ceased.") >= 0; }));
  const int ceased = LogIndexOf("Thread 1 ceased.");
  EXPECT_GE(first, 0);
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);
  EXPECT_LT(third, ceased);
  EXPECT_EQ(service_.historyCalls("S08"), 0);   // the rest of its share is given up
  EXPECT_EQ(service_.realTimeCalls("S00"), 1);  // only its history quote
  EXPECT_EQ(LogIndexOf("Thread 2 ceased."), -1);
  HistoryFailure firstFailure;
  ASSERT_TRUE(pool.FirstHistoryFailure(firstFailure));
  EXPECT_EQ(firstFailure.reason, "its answer held no quote record that could be read (Failed)");

  LoaderStatistics s = CollectLoaderStatistics(pool, 20);
  EXPECT_EQ(s.activeCount, 1);
  EXPECT_TRUE(s.startAllowed);
  EXPECT_EQ(s.threads[0].status, "Not Active");
  EXPECT_EQ(s.threads[0].failCount, 3);
  EXPECT_NE(s.threads[1].status, "Not Active");

  // Started again, the thread counts afresh and loads what it gave up.
  for (const char* sym : {"S01", "S04", "S07"}) service_.set(sym, Script::kOk);
  EXPECT_EQ(pool.StartLoaderThreads(nullptr), 1);
  ASSERT_TRUE(WaitUntil([&] { return allLoaded(0, 10) && pool.LoaderTurn() == 2; }));
  s = CollectLoaderStatistics(pool, 20);
  EXPECT_EQ(s.threads[0].failCount, 0);
  EXPECT_FALSE(s.startAllowed);
}

TEST_F(LoaderThreads, ProxyErrorCostsTheThirtySecondPauseButNoFailure) {
  service_.set("S02", Script::kRealTimeProxy);
  LoaderPool& pool = makePool(10, 1);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return clock_.countOf(30000) >= 2; }));
  pool.StopLoaderThreads();

  const int proxy = LogIndexOf("Thread 1 got proxy error when processing real time quote of S02.");
  ASSERT_GE(proxy, 0);
  EXPECT_EQ(LogTexts()[static_cast<std::size_t>(proxy) + 1], "Thread 1 will sleep 30 seconds.");
  EXPECT_TRUE(listener_.sawText("Thread 1 will sleep 30 seconds."));
  EXPECT_EQ(pool.thread(0).failCount(), 0);
  EXPECT_EQ(pool.thread(0).lastPassSeconds(), 30);  // the pause fell inside the pass
}

// Providers out of their budgets: the loads wait for a place, and neither
// the waits nor the refusals count as tries or failures.
TEST_F(LoaderThreads, OutOfBudgetWaitsWithoutCountingTriesOrFailures) {
  // The list's one security, so the real-time refusals come in a row.
  service_.set("S00", Script::kOutOfBudget);
  LoaderPool& pool = makePool(1, 1);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return allLoaded(0, 1) && service_.realTimeCalls("S00") >= 6; }));
  pool.StopLoaderThreads();
  EXPECT_EQ(service_.historyCalls("S00"), 6);  // five refusals, then the load
  EXPECT_EQ(clock_.countOf(LoaderTiming{}.rateLimitPauseMs), 5 + 3);
  EXPECT_EQ(pool.thread(0).failCount(), 0);
  const std::vector<std::string> log = LogTexts();
  EXPECT_EQ(std::count(log.begin(), log.end(),
                       "Thread 1: the quote providers are out of their request budgets; S00 waits."),
            1);
  EXPECT_EQ(
      std::count(log.begin(), log.end(),
                 "Thread 1: the quote providers are out of their request budgets; real-time quotes wait."),
      1);
  EXPECT_TRUE(listener_.sawText("Waiting for the quote providers' request budgets (S00) ......"));
}

TEST_F(LoaderThreads, RealTimeFailuresCountAndTheThirdEndsTheThread) {
  for (const char* s : {"S01", "S02"}) service_.set(s, Script::kRealTimeFailed);
  LoaderPool& pool = makePool(10, 1);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return LogIndexOf("Thread 1 ceased.") >= 0; }));
  EXPECT_GE(LogIndexOf("Thread 1 failed to process real time quote of S01.Total failed: 1"), 0);
  EXPECT_GE(LogIndexOf("Thread 1 failed to process real time quote of S02.Total failed: 2"), 0);
  EXPECT_GE(LogIndexOf("Thread 1 failed to process real time quote of S01.Total failed: 3"), 0);
  EXPECT_EQ(pool.LoaderTurn(), 0);
}

TEST_F(LoaderThreads, QuoteIntervalSleepsBetweenPasses) {
  config_.QuoteInterval = 5;
  LoaderPool& pool = makePool(10, 1);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return clock_.countOf(5000) >= 2; }));
  pool.StopLoaderThreads();
  EXPECT_GE(LogIndexOf("Thread 1 is sleeping 5 seconds......"), 0);
  EXPECT_TRUE(listener_.sawText("Thread 1 is sleeping 5 seconds......"));
  EXPECT_EQ(clock_.sleeps().size(), static_cast<std::size_t>(clock_.countOf(5000)));
}

TEST_F(LoaderThreads, HugeQuoteIntervalSleepsOneDayNotAnOverflow) {
  config_.QuoteInterval = 2147484;  // times 1000 is past the largest int
  LoaderPool& pool = makePool(10, 1);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return clock_.countOf(86400000) >= 2; }));
  pool.StopLoaderThreads();
  EXPECT_EQ(clock_.sleeps().size(), static_cast<std::size_t>(clock_.countOf(86400000)));
  EXPECT_GE(LogIndexOf("Thread 1 is sleeping 86400 seconds......"), 0);
}

TEST_F(LoaderThreads, NothingToRefreshDoesNotSpin) {
  for (const auto& s : test::NumberedSymbols(10)) service_.set(s, Script::kNotFound);
  LoaderPool& pool = makePool(10, 1);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return clock_.countOf(1000) >= 32; }));  // 30 retry pauses, then idle ones
  pool.StopLoaderThreads();
  EXPECT_LE(pool.ReportPasses(), clock_.countOf(1000) - 30 + 3);
}

TEST_F(LoaderThreads, StopWakesASleepingThreadAtOnce) {
  config_.QuoteInterval = 600;
  LoaderPool& pool = makePool(10, 1, /*realClock=*/true);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return LogIndexOf("Thread 1 is sleeping 600 seconds......") >= 0; }));
  const auto before = std::chrono::steady_clock::now();
  pool.StopLoaderThreads();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);  // not the 600 s sleep
}

// A symbol whose service never answers holds its own thread only: the other
// shares load meanwhile, and their real-time passes come a second apart
// (not back to back) while that history pass is still under way.
TEST_F(LoaderThreads, HungSymbolHoldsOnlyItsOwnThreadAndAStopAbortsIt) {
  service_.set("S00", Script::kHang);
  LoaderPool& pool = makePool(20, 2);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil(
      [&] { return service_.hangingNow() == 1 && allLoaded(10, 20) && service_.realTimeCalls("S19") >= 4; }));
  EXPECT_EQ(pool.HistoryPassesRunning(), 1);
  EXPECT_EQ(pool.LoaderTurn(), 1);
  EXPECT_EQ(service_.historyCalls("S01"), 0);
  const int calls = service_.realTimeCalls("S19");  // its history quote, then one per pass
  const std::vector<std::int64_t> pauses = clock_.sleeps();
  EXPECT_GE(pauses.size(), 20u);  // a second before its second and third passes
  for (const std::int64_t pause : pauses) EXPECT_EQ(pause, 100);
  EXPECT_LE(calls, static_cast<int>(pauses.size()) / 10 + 2);

  const auto before = std::chrono::steady_clock::now();
  pool.StopLoaderThreads();
  EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);  // the hung transfer is cut, not waited out
  EXPECT_EQ(pool.LoaderTurn(), 0);
  EXPECT_EQ(pool.HistoryPassesRunning(), 0);
  EXPECT_GE(LogIndexOf("Thread 1 ceased."), 0);
  EXPECT_GE(LogIndexOf("Thread 2 ceased."), 0);

  // A stop left over from the last run does not stop the next one.
  service_.set("S00", Script::kOk);
  EXPECT_EQ(pool.StartLoaderThreads(nullptr), 2);
  ASSERT_TRUE(WaitUntil([&] { return allLoaded(0, 20); }));
  EXPECT_EQ(pool.RunningThreadCount(), 2);
}

// A symbol whose first try stalls is tried again after the rest of its
// share, so the others wait for one stall rather than three.
TEST_F(LoaderThreads, StalledSymbolIsTriedAgainAfterTheRestOfItsShare) {
  service_.set("S02", Script::kStall);
  LoaderPool& pool = makePool(10, 1);
  LoaderTiming timing;
  timing.stalledTryMs = 30;
  pool.setTiming(timing);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return pool.LoaderTurn() == 1; }));
  pool.StopLoaderThreads();
  const std::vector<std::string> expected = {"S00", "S01", "S02", "S03", "S04", "S05",
                                             "S06", "S07", "S08", "S09", "S02", "S02"};
  EXPECT_EQ(service_.historyOrder(), expected);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(loaded(i), i != 2) << i;
  EXPECT_EQ(pool.HistoryFailures(), 1);
  EXPECT_EQ(pool.thread(0).failCount(), 0);
}

// A service that no request of a pass could reach is named in the status
// bar after every such pass, and logged once when it starts.
TEST_F(LoaderThreads, ServiceNoRequestReachesIsNamedInTheStatusBar) {
  service_.setAddresses("history.example:8080", "127.0.0.1:18321");
  for (const auto& s : test::NumberedSymbols(10)) service_.set(s, Script::kRealTimeUnreachable);
  LoaderPool& pool = makePool(10, 1);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return service_.realTimeCalls("S09") >= 4; }));  // three real-time passes
  pool.StopLoaderThreads();
  const std::string line = "Can not connect to the quote service at 127.0.0.1:18321.";
  EXPECT_GE(listener_.countOf(line), 2);
  EXPECT_EQ(test::LogCountOf(line), 1);
  EXPECT_EQ(pool.HistoryFailures(), 0);  // the history pass went well
  EXPECT_EQ(pool.thread(0).failCount(), 0);
}

TEST_F(LoaderThreads, HistoryPassThatReachesNothingNamesTheHistoryServiceAndRecordsTheFailures) {
  service_.setAddresses("history.example:8080", "127.0.0.1:18321");
  for (const auto& s : test::NumberedSymbols(3)) service_.set(s, Script::kUnreachable);
  LoaderPool& pool = makePool(3, 1);
  pool.StartLoaderThreads(&listener_);
  const std::string line = "Can not connect to the quote service at history.example:8080.";
  ASSERT_TRUE(WaitUntil([&] { return listener_.sawText(line) && pool.CompleteReportPasses() >= 1; }));
  pool.StopLoaderThreads();
  EXPECT_EQ(test::LogCountOf(line), 1);
  EXPECT_EQ(pool.HistoryFailures(), 3);
  HistoryFailure first;
  ASSERT_TRUE(pool.FirstHistoryFailure(first));
  EXPECT_EQ(first.symbol, "S00");
  EXPECT_EQ(first.reason, "could not reach the quote service");
}

TEST_F(LoaderThreads, ServiceThatAnswersSomeRequestsIsNotCalledUnreachable) {
  service_.setAddresses("127.0.0.1:18321", "127.0.0.1:18321");
  service_.set("S01", Script::kUnreachable);          // history pass: some requests fail
  service_.set("S02", Script::kRealTimeUnreachable);  // real-time passes: one of two fails
  LoaderPool& pool = makePool(3, 1);
  pool.StartLoaderThreads(&listener_);
  ASSERT_TRUE(WaitUntil([&] { return service_.realTimeCalls("S00") >= 4; }));
  pool.StopLoaderThreads();
  const std::string line = "Can not connect to the quote service at 127.0.0.1:18321.";
  EXPECT_FALSE(listener_.sawText(line));
  EXPECT_EQ(test::LogCountOf(line), 0);
}

TEST(LoaderReadersThreads, ReportsAndReadersSeeEachEntryWholeWhileThreadsWrite) {
  test::TempFolder folder;
  test::ScopedCurrentDir here(folder.path());
  SystemConfig config;
  SetConfigDefaults(config);
  SecurityStore store;
  test::FillStore(store, test::NumberedSymbols(30));
  FakeQuoteService service;
  FakeClock clock;
  LoaderEnvironment env;
  env.config = &config;
  env.sources = &service;
  env.clock = &clock;
  LoaderPool pool(store, env);  // the real report writers
  pool.AssignSecurityRanges(store.count(), 3);
  pool.StartLoaderThreads(nullptr);

  int torn = 0;
  int checked = 0;
  // Reads for 400 ms at least, and on until some history is in (a busy
  // machine may take longer to load the first).
  const auto start = std::chrono::steady_clock::now();
  SecurityData copy;
  while (std::chrono::steady_clock::now() < start + 400ms ||
         (checked == 0 && std::chrono::steady_clock::now() < start + 60s)) {
    for (int i = 0; i < store.count(); ++i) {
      ASSERT_TRUE(store.Read(i, copy));
      if (!copy.historyLoaded) continue;
      ++checked;
      // The fake service puts the same number into the close and the
      // further quote numbers of one update.
      if (copy.bars[0].close != copy.quoteExtra1 || copy.quoteExtra2 != copy.quoteExtra1) ++torn;
    }
    EXPECT_TRUE(WriteReports(store));
  }
  pool.StopLoaderThreads();
  EXPECT_GT(checked, 0);
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(test::SplitLines(test::ReadFile(kStatusReportFile)).size(), 32u);
}

}  // namespace
}  // namespace velmora
