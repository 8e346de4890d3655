#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "base/system_config.h"
#include "core/quote_bar.h"
#include "monitor/loader_clock.h"
#include "monitor/loader_listener.h"
#include "monitor/loader_thread.h"
#include "monitor/quote_source.h"
#include "monitor/security_events.h"
#include "monitor/security_store.h"

namespace velmora {

// The pauses of the loader threads, in milliseconds.
struct LoaderTiming {
  int proxyErrorPauseMs = 30000;  // after a proxy error ("Thread %d will sleep 30 seconds.")
  int retryPauseMs = 1000;        // after each history try that did not succeed
  // After a quote refused because the market-data providers are out of
  // their budgets: a real-time pass waits rather than asking again at once.
  int rateLimitPauseMs = 5000;
  // A first history try that failed after this long (a service that stalls)
  // is tried again after the rest of the thread's share.
  int stalledTryMs = 10000;
  // While another thread still loads history, a thread past its own waits
  // this long before a real-time pass that would follow the last one within
  // it, or after one that brought nothing new, when QuoteInterval is shorter:
  // the quotes of the finished ranges keep coming, but not at a rate that
  // takes the machine and the service from the history loads.
  int historyPacingMs = 1000;
  // A real-time pass that found no security to refresh waits this long when
  // QuoteInterval is 0, instead of spinning and rewriting the reports.
  int idlePassPauseMs = 1000;
};

// What the pool works with; null members take the real thing.
struct LoaderEnvironment {
  const SystemConfig* config = nullptr;   // systemConfig()
  QuoteSourceFactory* sources = nullptr;  // the configured quote services
  LoaderClock* clock = nullptr;           // the system clock
  LoaderTiming timing;
  std::function<void(const SecurityStore&)> writeReports;  // WriteReports
  SecurityEvents* events = nullptr;                        // what the program listens with; none: nobody
};

// The first security whose history could not be loaded, and why.
struct HistoryFailure {
  std::string symbol;  // its display symbol
  std::string reason;  // "Not Found", "could not reach the quote service", ...
};

// The reason of a failed load for a person: the result code's meaning.
std::string QuoteFailureReason(int code);

// The 16 loader threads and what they share: the count of threads past
// their history pass, the count of passes since the last reports and the
// report gate. Every thread loads its history into a buffer of its own, so
// the history passes run side by side.
class LoaderPool {
 public:
  static constexpr int kPoolSize = 16;

  explicit LoaderPool(SecurityStore& store, LoaderEnvironment environment = {});
  ~LoaderPool();  // stops and waits for every running thread
  LoaderPool(const LoaderPool&) = delete;
  LoaderPool& operator=(const LoaderPool&) = delete;

  // Divides `total` securities among `threadCount` threads (clamped to
  // 1..16), at least 10 each, after writing the reports once. Only while no
  // thread runs.
  void AssignSecurityRanges(int total, int threadCount);
  // Starts every assigned thread that is not running; a null listener keeps
  // the one given before. Returns how many started.
  int StartLoaderThreads(LoaderListener* listener);
  // Asks every running thread to stop and waits until all have ended.
  void StopLoaderThreads();
  // The next start's history passes leave the securities whose history is
  // loaded (the list was read again while the threads ran); a stop ends it.
  void SkipLoadedHistory() { skipLoadedHistory_.store(true); }
  bool SkipsLoadedHistory() const { return skipLoadedHistory_.load(); }

  // Leading threads with a range (the statistics' thread count).
  int ThreadsInUse() const;
  // Threads past their history pass and still running.
  int LoaderTurn() const { return loaderTurn_.load(); }
  // Threads in their history pass now.
  int HistoryPassesRunning() const { return historyRunning_.load(); }
  // Threads running now.
  int RunningThreadCount() const;
  CThreadLoadQuote& thread(int i) { return *threads_[static_cast<std::size_t>(i)]; }
  const CThreadLoadQuote& thread(int i) const { return *threads_[static_cast<std::size_t>(i)]; }

  // Report passes written, and those written when every thread with
  // securities had been through its history pass (the reports then cover
  // the whole list).
  int ReportPasses() const { return reportPasses_.load(); }
  int CompleteReportPasses() const { return completeReportPasses_.load(); }
  // When the last reports were written (the loader clock's time; 0 before
  // the first), and how long the pass they close took: the time since the
  // reports before them (0 until there were two).
  std::time_t LastReportTime() const { return static_cast<std::time_t>(lastReportTime_.load()); }
  double LastPassSeconds() const { return static_cast<double>(lastPassMicros_.load()) / 1e6; }

  // Securities whose history load ended without their history (each load
  // that gave up counts once), and the first of them; false when none.
  int HistoryFailures() const { return historyFailures_.load(); }
  [[nodiscard]] bool FirstHistoryFailure(HistoryFailure& out) const;

  // Timing may be changed while no thread runs.
  void setTiming(const LoaderTiming& timing) { environment_.timing = timing; }
  // Who hears of the loaded list and securities (the program's alerts); set
  // while no thread runs, null to stop telling.
  void SetSecurityEvents(SecurityEvents* events) { environment_.events = events; }
  SecurityEvents* securityEvents() const { return environment_.events; }

  // Writes the reports when every running thread has completed a pass since
  // the last ones; a thread that finds another one writing skips it.
  void ReportStep();

 private:
  friend class CThreadLoadQuote;

  SecurityStore& store() { return store_; }
  const SystemConfig& config() const { return *environment_.config; }
  LoaderClock& clock() { return *environment_.clock; }
  QuoteSourceFactory& sources() { return *environment_.sources; }
  const LoaderTiming& timing() const { return environment_.timing; }
  SecurityEvents* events() const { return environment_.events; }

  // Called by the threads.
  void completePass() { completedPasses_.fetch_add(1); }
  void historyPassDone() { throughHistory_.fetch_add(1); }
  void historyPassStarted() { historyRunning_.fetch_add(1); }
  // Ends a history pass: the thread now counts in LoaderTurn.
  void historyPassEnded();
  void threadEnded(bool pastHistory);
  // `answered`: the service did answer (a local failure is then a page cut
  // short or too large, not an unreachable service).
  void noteHistoryFailure(const char* symbol, int code, bool answered);

  SecurityStore& store_;
  LoaderEnvironment environment_;
  std::unique_ptr<LoaderClock> ownClock_;
  std::unique_ptr<QuoteSourceFactory> ownSources_;
  std::atomic<int> loaderTurn_{0};
  std::atomic<int> historyRunning_{0};
  std::atomic<int> completedPasses_{0};
  std::atomic<int> throughHistory_{0};
  std::atomic<int> startable_{0};
  std::atomic<int> reportPasses_{0};
  std::atomic<int> completeReportPasses_{0};
  std::atomic<int> historyFailures_{0};
  std::atomic<bool> skipLoadedHistory_{false};
  std::atomic<std::int64_t> lastReportTime_{0};
  std::atomic<std::int64_t> lastPassMicros_{0};
  std::chrono::steady_clock::time_point lastReportStart_{};  // under reportGate_
  mutable std::mutex failureLock_;
  HistoryFailure firstFailure_;  // under failureLock_; empty symbol: none yet
  std::mutex reportGate_;
  std::array<std::unique_ptr<CThreadLoadQuote>, kPoolSize> threads_;
};

// The process-wide pool over the process-wide store.
LoaderPool& loaderPool();

}  // namespace velmora
