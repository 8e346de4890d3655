#pragma once

#include <atomic>
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
  void SleepWithMessages(int ms);

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
  std::thread thread_;
};

}  // namespace velmora
