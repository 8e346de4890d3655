// Dividing the list among the loader threads, and the statistics model.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "monitor/loader_pool.h"
#include "monitor/loader_statistics.h"
#include "support/monitor_fakes.h"

namespace velmora {
namespace {

using Range = std::pair<int, int>;

struct Split {
  int total;
  int threads;
  std::vector<Range> ranges;  // of the threads in use
};

class AssignRanges : public ::testing::TestWithParam<Split> {};

TEST_P(AssignRanges, ContiguousSharesOfAtLeastTen) {
  const Split& s = GetParam();
  SecurityStore store;
  int reports = 0;
  LoaderEnvironment env;
  env.writeReports = [&](const SecurityStore&) { ++reports; };
  LoaderPool pool(store, env);
  pool.AssignSecurityRanges(s.total, s.threads);
  EXPECT_EQ(reports, 1);  // the reports show the freshly loaded list at once
  ASSERT_EQ(pool.ThreadsInUse(), static_cast<int>(s.ranges.size()));
  for (int i = 0; i < LoaderPool::kPoolSize; ++i) {
    const Range expected =
        i < static_cast<int>(s.ranges.size()) ? s.ranges[static_cast<std::size_t>(i)] : Range{-1, -1};
    EXPECT_EQ(Range(pool.thread(i).firstSecurity(), pool.thread(i).endSecurity()), expected)
        << "thread " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Shares, AssignRanges,
                         ::testing::Values(Split{25, 4, {{0, 10}, {10, 20}, {20, 25}}},
                                           Split{100, 3, {{0, 33}, {33, 66}, {66, 100}}},
                                           Split{50, 16, {{0, 10}, {10, 20}, {20, 30}, {30, 40}, {40, 50}}},
                                           Split{1, 2, {{0, 1}}}, Split{0, 4, {{0, 0}}},
                                           Split{512,
                                                 16,
                                                 {{0, 32},
                                                  {32, 64},
                                                  {64, 96},
                                                  {96, 128},
                                                  {128, 160},
                                                  {160, 192},
                                                  {192, 224},
                                                  {224, 256},
                                                  {256, 288},
                                                  {288, 320},
                                                  {320, 352},
                                                  {352, 384},
                                                  {384, 416},
                                                  {416, 448},
                                                  {448, 480},
                                                  {480, 512}}},
                                           // counts outside 1..16 from a hand-edited Config.ini are clamped
                                           Split{30, 0, {{0, 30}}},
                                           Split{200,
                                                 40,
                                                 {{0, 12},
                                                  {12, 24},
                                                  {24, 36},
                                                  {36, 48},
                                                  {48, 60},
                                                  {60, 72},
                                                  {72, 84},
                                                  {84, 96},
                                                  {96, 108},
                                                  {108, 120},
                                                  {120, 132},
                                                  {132, 144},
                                                  {144, 156},
                                                  {156, 168},
                                                  {168, 180},
                                                  {180, 200}}}));

TEST(LoaderStatistics, BeforeTheThreadsStart) {
  SecurityStore store;
  LoaderEnvironment env;
  env.writeReports = [](const SecurityStore&) {};
  LoaderPool pool(store, env);
  pool.AssignSecurityRanges(25, 4);
  const LoaderStatistics s = CollectLoaderStatistics(pool, 25);
  EXPECT_EQ(s.securityCount, 25);
  EXPECT_EQ(s.threadCount, 3);
  EXPECT_EQ(s.activeCount, 0);
  EXPECT_TRUE(s.startAllowed);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(s.threads[static_cast<std::size_t>(i)].status, "Not Active");
  for (int i = 3; i < LoaderPool::kPoolSize; ++i) {
    EXPECT_EQ(s.threads[static_cast<std::size_t>(i)].status, "Unused");
    EXPECT_EQ(s.threads[static_cast<std::size_t>(i)].failCount, 0);
    EXPECT_EQ(s.threads[static_cast<std::size_t>(i)].lastPassSeconds, 0);
  }
}

TEST(LoaderStatistics, StatusTexts) {
  std::tm local{};
  local.tm_year = 2005 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 6;
  local.tm_hour = 14;
  local.tm_min = 5;
  local.tm_sec = 9;
  local.tm_isdst = -1;
  const std::time_t afternoon = std::mktime(&local);
  EXPECT_EQ(ThreadStatusText(0, false, afternoon), "2005-12-06  02:05:09 PM");
  local.tm_hour = 0;
  EXPECT_EQ(ThreadStatusText(10, false, std::mktime(&local)), "2005-12-06  12:05:09 AM");
  EXPECT_EQ(ThreadStatusText(10, true, afternoon), "Not Active");
  EXPECT_EQ(ThreadStatusText(-1, true, afternoon), "Unused");
  EXPECT_EQ(ThreadStatusText(-1, false, afternoon), "Unused");
}

}  // namespace
}  // namespace velmora
