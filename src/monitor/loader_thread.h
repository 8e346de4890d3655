#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "monitor/loader_clock.h"
#include "monitor/loader_listener.h"
#include "monitor/quote_source.h"

namespace velmora {

class LoaderPool;

// One loader thread of the pool: a contiguous range of the security list,
// first its history pass (in turn after the threads before it), then
// real-time passes until it is stopped or has failed three times.
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

  bool waitForTurn();
  bool historyPass();  // true when it advanced LoaderTurn
  void loadHistory(int security);
  void realTimePasses();
  bool refresh(int security);  // false when the thread gives up
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
  std::string unreachableText_;
  std::thread thread_;
};

}  // namespace velmora
