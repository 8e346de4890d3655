#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "core/quote_bar.h"
#include "monitor/loader_clock.h"
#include "monitor/loader_listener.h"
#include "monitor/quote_source.h"

namespace velmora {

class LoaderPool;

// One loader thread of the pool: a contiguous range of the security list,
// first its history pass (side by side with the other threads, each into a
// buffer of its own), then real-time passes until it is stopped or has
// failed three times.
class CThreadLoadQuote {
 public:
  CThreadLoadQuote(LoaderPool& pool, int index);
  ~CThreadLoadQuote();
  CThreadLoadQuote(const CThreadLoadQuote&) = delete;
  CThreadLoadQuote& operator=(const CThreadLoadQuote&) = delete;

  int index() const { return index_; }
  // [firstSecurity, endSecurity); -1 for a thread without a range ("Unused").
  int firstSecurity() const { return first_; }
  int endSecurity() const { return end_; }

  // True while the thread is not running (also once it has given up).
  bool inactive() const { return inactive_.load() != 0; }
  int failCount() const { return failCount_.load(); }
  int lastPassSeconds() const { return lastPassSeconds_.load(); }
  std::time_t passStartTime() const { return passStartTime_.load(); }

  // The thread body; returns 1.
  int Run();
  // Asks the thread to stop: wakes its sleeps and aborts its transfer.
  void RequestStop();
  // Whether the thread should end (stop requested, or given up).
  bool StopRequested();
  // Pauses `ms` milliseconds through the pool's clock; a stop ends it early.
  void SleepWithMessages(std::int64_t ms);

  // The requests of one pass: how many were made and how many never reached
  // the quote service (the HTTP client's local failure).
  struct RequestTally {
    int made = 0;
    int unreached = 0;
  };

 private:
  friend class LoaderPool;

  void assign(int first, int end);
  // Starts the thread when it is not running; false when it cannot be made.
  bool start(LoaderListener* listener);
  void join();

  bool historyPass();  // true when it went through (and now counts in LoaderTurn)
  // The history tries of one security from `firstAttempt` on; false when
  // the first try failed after stalling (the caller tries it again later).
  bool loadHistory(int security, QuoteSeries& history, int firstAttempt);
  void realTimePasses();
  // The pause before the next real-time pass, in milliseconds.
  std::int64_t pauseAfterPass(int intervalSeconds, bool broughtNews,
                              std::chrono::steady_clock::duration passLength) const;
  // Waits `ms` in slices while another thread still loads its history.
  void paceWhileHistoryLoads(std::int64_t ms);
  // False when the thread gives up; `news` is set when the quote changed.
  bool refresh(int security, bool& news);
  void status(const char* format, const char* symbol);
  int countFailure();
  // After a pass: when every request of it failed locally, tells the status
  // bar that the service can not be reached (and logs it once when that
  // starts); a pass without requests keeps the last finding.
  void reportReachability(bool history);

  LoaderPool& pool_;
  const int index_;
  int first_ = -1;
  int end_ = -1;
  std::atomic<int> inactive_{1};
  std::atomic<int> failCount_{0};
  std::atomic<int> lastPassSeconds_{0};
  std::atomic<std::time_t> passStartTime_;
  StopEvent stop_;
  LoaderListener* listener_;
  std::unique_ptr<QuoteSource> source_;
  // Used by the thread alone.
  RequestTally tally_;
  bool unreachable_ = false;
  bool rateLimited_ = false;  // the last real-time quote waited for a budget
  std::string unreachableText_;
  std::thread thread_;
};

}  // namespace velmora
