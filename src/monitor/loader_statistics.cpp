#include "monitor/loader_statistics.h"

namespace velmora {

std::string ThreadStatusText(int firstSecurity, bool inactive, std::time_t passStart) {
  if (firstSecurity < 0) return "Unused";
  if (inactive) return "Not Active";
  std::tm local{};
  localtime_r(&passStart, &local);
  char text[64];
  if (std::strftime(text, sizeof text, "%Y-%m-%d  %I:%M:%S %p", &local) == 0) text[0] = '\0';
  return text;
}

LoaderStatistics CollectLoaderStatistics(const LoaderPool& pool, int securityCount) {
  LoaderStatistics s;
  s.securityCount = securityCount;
  s.threadCount = pool.ThreadsInUse();
  s.activeCount = pool.LoaderTurn();
  s.startAllowed = s.threadCount != s.activeCount;
  for (int i = 0; i < s.threadCount; ++i) {
    const CThreadLoadQuote& t = pool.thread(i);
    ThreadStatistics& row = s.threads[static_cast<std::size_t>(i)];
    row.status = ThreadStatusText(t.firstSecurity(), t.inactive(), t.passStartTime());
    row.lastPassSeconds = t.lastPassSeconds();
    row.failCount = t.failCount();
  }
  return s;
}

}  // namespace velmora
