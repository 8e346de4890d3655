#pragma once

#include <array>
#include <ctime>
#include <string>

#include "monitor/loader_pool.h"

namespace velmora {

// One row of the statistics: a loader thread.
struct ThreadStatistics {
  std::string status = "Unused";  // "Unused", "Not Active" or its pass start time
  int lastPassSeconds = 0;
  int failCount = 0;
};

// A snapshot of the loader pool, as the Statistics dialog shows it.
struct LoaderStatistics {
  int securityCount = 0;
  int threadCount = 0;                                          // leading threads with a range
  int activeCount = 0;                                          // LoaderTurn
  bool startAllowed = false;                                    // some thread in use is not active
  std::array<ThreadStatistics, LoaderPool::kPoolSize> threads;  // rows past threadCount stay "Unused"
};

// "Unused" without a range, "Not Active" while not running, else the pass
// start time as "%Y-%m-%d  %I:%M:%S %p" in local time.
std::string ThreadStatusText(int firstSecurity, bool inactive, std::time_t passStart);

LoaderStatistics CollectLoaderStatistics(const LoaderPool& pool, int securityCount);

}  // namespace velmora
