#include "providers/rate_budget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "providers/provider_hub.h"
#include "support/log_lines.h"
#include "support/test_support.h"

namespace velmora {
namespace {

constexpr std::int64_t kStart = 1796317200;  // 2026-12-03 17:00 UTC
constexpr ProviderId kP = ProviderId::kFinnhub;
constexpr ProviderId kTiingo = ProviderId::kTiingo;

class RateBudgetTest : public test::InTempDir, public ::testing::Test {
 protected:
  RateBudget::Clock clock() {
    return [this] { return now_; };
  }
  // A request `at` seconds after the start.
  BudgetGrant take(RateBudget& budget, std::int64_t at, const char* symbol = "MSFT", ProviderId id = kP) {
    now_ = kStart + at;
    return budget.TryTake(id, symbol);
  }
  std::int64_t now_ = kStart;
};

TEST_F(RateBudgetTest, WindowsSlideAreAllOrNothingAndSayWhenAPlaceFrees) {
  RateBudget budget("", clock());
  budget.setLimits(kP, RateLimits{3, 5, 0, 0});
  for (std::int64_t at : {0, 40, 50}) EXPECT_TRUE(take(budget, at).taken) << at;
  BudgetGrant refused = take(budget, 55);
  EXPECT_FALSE(refused.taken);
  EXPECT_EQ(refused.limit, "3 requests a minute");
  EXPECT_EQ(refused.waitSeconds, 6);  // second 0 counts until second 60
  EXPECT_FALSE(take(budget, 60).taken);
  EXPECT_TRUE(take(budget, 61).taken);
  // No fixed minute: at 70 the window still holds 40, 50 and 61.
  refused = take(budget, 70);
  EXPECT_EQ(refused.waitSeconds, 31);
  EXPECT_TRUE(take(budget, 101).taken);
  // The hour is full with five; the refusals took nothing from any window.
  refused = take(budget, 200);
  EXPECT_EQ(refused.limit, "5 requests an hour");
  EXPECT_EQ(refused.waitSeconds, 3601 - 200);
  EXPECT_EQ(budget.Count(kP, 3600), 5);
  EXPECT_TRUE(take(budget, 200, "MSFT", kTiingo).taken);  // a budget of its own
}

TEST_F(RateBudgetTest, DistinctSymbolsOfACalendarMonth) {
  RateBudget budget("", clock());
  budget.setLimits(kP, RateLimits{0, 0, 0, 2});
  for (const char* symbol : {"msft", "ibm", "msft"}) EXPECT_TRUE(take(budget, 0, symbol).taken) << symbol;
  const BudgetGrant refused = take(budget, 0, "aapl");
  EXPECT_EQ(refused.limit, "2 symbols a month");
  constexpr std::int64_t kJanuary = 1798761600;  // 2027-01-01 00:00 UTC
  EXPECT_EQ(refused.waitSeconds, kJanuary - kStart);
  EXPECT_TRUE(take(budget, kJanuary - kStart, "aapl").taken);
}

TEST_F(RateBudgetTest, RestartKeepsTheDaysCountsAndTheMonthsSymbols) {
  const std::string path = kProviderStateFileName;
  {
    RateBudget budget(path, clock());
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(take(budget, 0, i % 2 ? "msft" : "ibm", kTiingo).taken);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(take(budget, 600, "msft", kTiingo).taken);
    EXPECT_FALSE(take(budget, 600, "msft", kTiingo).taken);  // 50 an hour
  }
  const std::string saved = test::ReadFile(path);
  EXPECT_EQ(saved,
            "Velmora provider requests 1\nTiingo 202612\nm 29938620 40\nm 29938630 10\ns ibm\ns msft\n");

  now_ = kStart + 660;
  {
    RateBudget budget(path, clock());
    budget.setLimits(kTiingo, RateLimits{0, 50, 1000, 3});
    EXPECT_EQ(budget.Count(kTiingo, 86400), 50);
    // The hour is still spent; a minute's requests count as of its last second.
    const BudgetGrant refused = take(budget, 660, "msft", kTiingo);
    EXPECT_EQ(refused.limit, "50 requests an hour");
    EXPECT_EQ(refused.waitSeconds, 59 + 3601 - 660);
    EXPECT_TRUE(take(budget, 4260, "aapl", kTiingo).taken);
    EXPECT_FALSE(take(budget, 4260, "orcl", kTiingo).taken);  // msft, ibm, aapl this month
  }
  // A day later nothing of it counts.
  now_ = kStart + 4260 + 86461;
  EXPECT_EQ(RateBudget(path, clock()).Count(kTiingo, 86400), 0);
  EXPECT_TRUE(test::LogTexts().empty());
}

TEST_F(RateBudgetTest, CorruptOrUnwritableStateFileIsToldOnce) {
  const std::string path = kProviderStateFileName;
  const std::string minute = std::to_string(kStart / 60);
  test::WriteFile(path, "Velmora provider requests 1\nFinnhub 202612\nm " + minute + " 7\nm twelve 3\n" +
                            "Bogus 202612\nm " + minute + " 5\ns \x01\n" +
                            // a minute from a clock far ahead counts as now, not for ever
                            "Finnhub 202612\nm 99999999999 50\n");
  {
    RateBudget budget(path, clock());
    EXPECT_EQ(budget.Count(kP, 60), 57);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(take(budget, 0).taken);
    EXPECT_FALSE(take(budget, 0).taken);
    EXPECT_TRUE(take(budget, 61).taken);
  }
  EXPECT_EQ(test::LogCountOf("Providers.state: 4 lines could not be read and were left out."), 1);
  test::WriteFile(path, std::string("\x7f"
                                    "ELF\x02\x01"));
  EXPECT_EQ(RateBudget(path, clock()).Count(kP, 86400), 0);
  EXPECT_EQ(test::LogCountOf(
                "Providers.state is no provider request file: the provider request counts start empty."),
            1);

  test::TempFolder gone;
  {
    RateBudget budget(gone.path() + "/missing/Providers.state", clock());
    for (int at : {0, 10, 20}) EXPECT_TRUE(take(budget, at).taken);
    EXPECT_FALSE(budget.Save());
  }
  int cannotWrite = 0;
  for (const std::string& t : test::LogTexts()) cannotWrite += t.rfind("Can not write ", 0) == 0 ? 1 : 0;
  EXPECT_EQ(cannotWrite, 1);
}

// Sixteen threads take from one budget while the clock runs through three
// hours: whatever the interleaving, no span of a window's length ever holds
// more requests than its limit.
TEST(RateBudgetThreads, NoWindowEverHoldsMoreThanItsLimit) {
  std::atomic<std::int64_t> now{kStart};
  thread_local std::int64_t seen = 0;  // the second the budget took on this thread
  RateBudget budget("", [&] { return seen = now.load(); });
  constexpr int kPerMinute = 20;
  constexpr int kPerHour = 300;
  budget.setLimits(kP, RateLimits{kPerMinute, kPerHour, 0, 0});
  std::atomic<bool> done{false};
  std::vector<std::vector<std::int64_t>> taken(16);
  std::vector<std::thread> threads;
  for (int t = 0; t < 16; ++t) {
    threads.emplace_back([&, t] {
      while (!done.load()) {
        if (budget.TryTake(kP, "S").taken) {
          taken[t].push_back(seen);
        } else {
          std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
      }
    });
  }
  while (now.load() < kStart + 3 * 3600) {
    std::this_thread::sleep_for(std::chrono::microseconds(50));
    now.fetch_add(1 + now.load() % 3);
  }
  done = true;
  for (std::thread& t : threads) t.join();
  std::vector<std::int64_t> all;
  for (const auto& list : taken) all.insert(all.end(), list.begin(), list.end());
  std::sort(all.begin(), all.end());
  ASSERT_GT(all.size(), static_cast<std::size_t>(2 * kPerHour));
  for (const auto& [span, limit] : {std::pair{60, kPerMinute}, std::pair{3600, kPerHour}}) {
    std::size_t first = 0;
    for (std::size_t last = 0; last < all.size(); ++last) {
      while (all[first] <= all[last] - span) ++first;
      ASSERT_LE(last - first + 1, static_cast<std::size_t>(limit)) << "span " << span << " at " << all[last];
    }
  }
}

}  // namespace
}  // namespace velmora
