#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>

namespace velmora {

// A loader thread's stop event: set by RequestStop, cleared when the thread
// starts again. A sleeper waiting on it wakes at once when it is set; the
// flag is also the internet session's stop flag, so a transfer in flight
// is aborted.
class StopEvent {
 public:
  void Set();
  void Clear();
  bool IsSet() const { return flag_.load(std::memory_order_acquire); }
  const std::atomic<bool>& flag() const { return flag_; }

  // Sleeps `duration` or until the event is set; true when it is set.
  bool WaitFor(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait_for(hold, duration, [&] { return IsSet(); });
    return IsSet();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::atomic<bool> flag_{false};
};

// The loader's view of time: the wall clock for pass times and today's
// date, and the sleeper behind every pause. Tests replace it so that a
// 30-second pause costs nothing and the pauses asked for can be checked.
class LoaderClock {
 public:
  virtual ~LoaderClock() = default;
  virtual std::time_t Now() = 0;
  // Pauses `duration`, returning early once `stop` is set. A day between
  // passes is 86,400,000 ms, so durations are 64-bit.
  virtual void Sleep(std::chrono::milliseconds duration, StopEvent& stop) = 0;
};

// The real clock and a sleeper that wakes as soon as the stop event is set.
class SystemLoaderClock : public LoaderClock {
 public:
  std::time_t Now() override { return std::time(nullptr); }
  void Sleep(std::chrono::milliseconds duration, StopEvent& stop) override;
};

}  // namespace velmora
