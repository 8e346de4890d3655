// Each security's freshness record as the loader threads keep it: a quote
// that comes resets the run of misses, each failed real-time try adds one
// with its reason in words. The suite has "Threads" in its name so that it
// also runs under ThreadSanitizer.
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
  test::FillStore(store, test::NumberedSymbols(4));
  test::FakeQuoteService service;
  test::FakeClock clock;
  test::RecordingListener listener;
  service.set("S01", Script::kRealTimeUnreachable);
  service.set("S02", Script::kRealTimeProxy);
  service.set("S03", Script::kNotFound);  // no history: never tried in a real-time pass
  LoaderEnvironment env;
  env.config = &config;
  env.sources = &service;
  env.clock = &clock;
  env.timing.proxyErrorPauseMs = 1;
  env.writeReports = [](const SecurityStore&) {};
  LoaderPool pool(store, env);
  pool.AssignSecurityRanges(store.count(), 1);
  const std::time_t start = clock.Now();
  pool.StartLoaderThreads(&listener);
  ASSERT_TRUE(WaitUntil([&] { return store.entry(1).freshness().missedPasses >= 4; }));
  // Its row is drawn again when it turns stale (the history load drew it once).
  ASSERT_TRUE(WaitUntil([&] { return listener.updates(1) >= 2; }));
  pool.StopLoaderThreads();

  const QuoteFreshness fine = store.entry(0).freshness();
  EXPECT_EQ(fine.missedPasses, 0);
  EXPECT_GE(fine.lastRefreshed, start);
  EXPECT_EQ(fine.failingSince, 0);
  EXPECT_TRUE(fine.reason.empty());

  const QuoteFreshness unreachable = store.entry(1).freshness();
  EXPECT_EQ(unreachable.reason, "could not reach the quote service");
  EXPECT_GE(unreachable.lastRefreshed, start);  // its history brought a quote
  EXPECT_GE(unreachable.failingSince, unreachable.lastRefreshed);
  const QuoteFreshness proxy = store.entry(2).freshness();
  EXPECT_GE(proxy.missedPasses, 3);
  EXPECT_EQ(proxy.reason, "Proxy Error");
  EXPECT_EQ(store.entry(3).freshness().missedPasses, 0);
  EXPECT_EQ(store.entry(3).freshness().lastRefreshed, 0);

  // The service answers again: the next pass ends the run of misses.
  service.set("S01", Script::kOk);
  pool.StartLoaderThreads(nullptr);
  ASSERT_TRUE(WaitUntil([&] { return store.entry(1).freshness().missedPasses == 0; }));
  pool.StopLoaderThreads();
  const QuoteFreshness back = store.entry(1).freshness();
  EXPECT_EQ(back.failingSince, 0);
  EXPECT_TRUE(back.reason.empty());

  // A list read anew starts every record afresh; a security still listed
  // gets its own back in its new slot.
  store.entry(2).Clear();
  EXPECT_EQ(store.entry(2).freshness().missedPasses, 0);
  EXPECT_TRUE(store.entry(2).freshness().reason.empty());
  store.entry(2).RestoreFreshness(proxy);
  EXPECT_EQ(store.entry(2).freshness().missedPasses, proxy.missedPasses);
  EXPECT_EQ(store.entry(2).freshness().failingSince, proxy.failingSince);
}

}  // namespace
}  // namespace velmora
