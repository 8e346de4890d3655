#include "monitor/loader_pool.h"

#include "monitor/report_writer.h"
#include "net/quote_result.h"

namespace velmora {

std::string QuoteFailureReason(int code) {
  if (code == kQuoteFailed) return "its answer held no quote record that could be read (Failed)";
  const char* text = QuoteResultText(code);
  if (text[0] != '\0') return text;
  if (code == kQuoteLocalFailure) return "could not reach the quote service";
  if (code == kQuoteNoAuthorization) return "authorization refused";
  if (code < 0) return "HTTP status " + std::to_string(-code);
  return "no quotes";
}

LoaderPool::LoaderPool(SecurityStore& store, LoaderEnvironment environment)
    : store_(store), environment_(std::move(environment)) {
  if (environment_.config == nullptr) environment_.config = &systemConfig();
  if (environment_.clock == nullptr) {
    ownClock_ = std::make_unique<SystemLoaderClock>();
    environment_.clock = ownClock_.get();
  }
  if (environment_.sources == nullptr) {
    ownSources_ = std::make_unique<NetworkQuoteSourceFactory>(*environment_.config);
    environment_.sources = ownSources_.get();
  }
  // A report that cannot be written keeps its old contents; the next pass
  // tries again.
  if (!environment_.writeReports)
    environment_.writeReports = [](const SecurityStore& s) { (void)WriteReports(s); };
  for (int i = 0; i < kPoolSize; ++i)
    threads_[static_cast<std::size_t>(i)] = std::make_unique<CThreadLoadQuote>(*this, i);
}

LoaderPool::~LoaderPool() { StopLoaderThreads(); }

void LoaderPool::AssignSecurityRanges(int total, int threadCount) {
  if (total < 0) total = 0;
  const int n = threadCount < 1 ? 1 : (threadCount > kPoolSize ? kPoolSize : threadCount);
  int share = total / n;
  if (share < 10) share = 10;
  throughHistory_.store(0);
  historyFailures_.store(0);
  {
    std::lock_guard<std::mutex> hold(failureLock_);
    firstFailure_ = {};
  }

  for (auto& t : threads_) t->assign(-1, -1);
  int previousEnd = 0;
  int startable = 0;
  for (int i = 0; i < n; ++i) {
    int end = share * (i + 1);
    if (end > total || i == n - 1) end = total;
    thread(i).assign(previousEnd, end);
    if (end > previousEnd) ++startable;
    previousEnd = end;
    if (end == total) break;
  }
  startable_.store(startable);
  // The price rules are checked against the list that was just loaded.
  if (SecurityEvents* listener = events()) listener->ListLoaded(store_);
  // The reports show the freshly loaded list at once. Written after the
  // ranges are known, so this pass counts as complete only when no thread
  // has anything to load.
  ReportStep();
}

int LoaderPool::StartLoaderThreads(LoaderListener* listener) {
  // A start that arrives after the exit began (a timer, a dialog) would
  // leave threads running past the windows they report to.
  if (listener != nullptr && listener->Closing()) return 0;
  int started = 0;
  for (int i = 0; i < kPoolSize && thread(i).endSecurity() > thread(i).firstSecurity(); ++i)
    if (thread(i).inactive() && thread(i).start(listener)) ++started;
  return started;
}

void LoaderPool::StopLoaderThreads() {
  for (int i = 0; i < kPoolSize && thread(i).endSecurity() > thread(i).firstSecurity(); ++i)
    if (!thread(i).inactive()) thread(i).RequestStop();
  for (auto& t : threads_) t->join();
  skipLoadedHistory_.store(false);
}

int LoaderPool::ThreadsInUse() const {
  int n = 0;
  while (n < kPoolSize && thread(n).firstSecurity() >= 0) ++n;
  return n;
}

int LoaderPool::RunningThreadCount() const {
  int n = 0;
  for (const auto& t : threads_) n += t->inactive() ? 0 : 1;
  return n;
}

void LoaderPool::ReportStep() {
  if (completedPasses_.load() < loaderTurn_.load()) return;
  std::unique_lock<std::mutex> gate(reportGate_, std::try_to_lock);
  if (!gate.owns_lock()) return;
  completedPasses_.store(0);
  const bool complete = throughHistory_.load() >= startable_.load();
  environment_.writeReports(store_);
  const auto now = std::chrono::steady_clock::now();
  if (reportPasses_.load() > 0)
    lastPassMicros_.store(
        std::chrono::duration_cast<std::chrono::microseconds>(now - lastReportStart_).count());
  lastReportStart_ = now;
  lastReportTime_.store(static_cast<std::int64_t>(clock().Now()));
  if (complete) completeReportPasses_.fetch_add(1);
  reportPasses_.fetch_add(1);
}

void LoaderPool::historyPassEnded() {
  historyRunning_.fetch_sub(1);
  loaderTurn_.fetch_add(1);
}

void LoaderPool::threadEnded(bool pastHistory) {
  // A thread that never went through its history pass (its buffer could not
  // be had) takes nothing back: the counter keeps meaning "threads past
  // their history pass and still running".
  if (pastHistory) loaderTurn_.fetch_sub(1);
}

void LoaderPool::noteHistoryFailure(const char* symbol, int code, bool answered) {
  historyFailures_.fetch_add(1);
  std::lock_guard<std::mutex> hold(failureLock_);
  if (!firstFailure_.symbol.empty()) return;
  firstFailure_.symbol = symbol != nullptr && symbol[0] != '\0' ? symbol : "?";
  firstFailure_.reason =
      code == kQuoteLocalFailure && answered ? std::string("the transfer failed") : QuoteFailureReason(code);
}

bool LoaderPool::FirstHistoryFailure(HistoryFailure& out) const {
  std::lock_guard<std::mutex> hold(failureLock_);
  if (firstFailure_.symbol.empty()) return false;
  out = firstFailure_;
  return true;
}

LoaderPool& loaderPool() {
  static LoaderPool pool(securityStore());
  return pool;
}

}  // namespace velmora
