// Each security's freshness record as the loader threads keep it: a quote
// that comes ends the run of misses, each failed real-time try adds one with
// its reason in words. "Threads" in the suite's name: it also runs under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include "monitor/loader_pool.h"
#include "support/monitor_fakes.h"

namespace velmora {
namespace {

using test::Script;
using test::WaitUntil;

TEST(QuoteFreshnessThreads, MissedPassesCountWithTheirReasonAndARefreshEndsThem) {
  test::TempFolder folder;
  test::ScopedCurrentDir here(folder.path());
  SystemConfig config;
  SetConfigDefaults(config);
  SecurityStore store;
  test::FillStore(store, test::NumberedSymbols(3));
  test::FakeQuoteService service;
  test::FakeClock clock;
  test::RecordingListener listener;
  service.set("S01", Script::kRealTimeUnreachable);
  service.set("S02", Script::kRealTimeProxy);
  LoaderEnvironment env;
  env.config = &config;
  env.sources = &service;
  env.clock = &clock;
  env.timing.proxyErrorPauseMs = 1;
  env.writeReports = [](const SecurityStore&) {};
  LoaderPool pool(store, env);
  pool.AssignSecurityRanges(store.count(), 1);
  pool.StartLoaderThreads(&listener);
  ASSERT_TRUE(WaitUntil([&] { return store.entry(2).freshness().missedPasses >= 4; }));
  // The row is drawn again when it turns stale (its history load drew it once).
  ASSERT_TRUE(WaitUntil([&] { return listener.updates(1) >= 2; }));
  pool.StopLoaderThreads();

  const QuoteFreshness fine = store.entry(0).freshness();
  EXPECT_EQ(fine.missedPasses, 0);
  EXPECT_GT(fine.lastRefreshed, 0);
  const QuoteFreshness unreachable = store.entry(1).freshness();
  EXPECT_EQ(unreachable.reason, "could not reach the quote service");
  EXPECT_GT(unreachable.lastRefreshed, 0);  // its history brought a quote
  EXPECT_EQ(store.entry(2).freshness().reason, "Proxy Error");

  // The service answers again: the next pass ends the run of misses.
  service.set("S01", Script::kOk);
  pool.StartLoaderThreads(nullptr);
  ASSERT_TRUE(WaitUntil([&] { return store.entry(1).freshness().missedPasses == 0; }));
  pool.StopLoaderThreads();
  EXPECT_EQ(store.entry(1).freshness().failingSince, 0);
  EXPECT_TRUE(store.entry(1).freshness().reason.empty());
}

}  // namespace
}  // namespace velmora
