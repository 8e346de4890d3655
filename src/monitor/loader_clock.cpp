#include "monitor/loader_clock.h"

namespace velmora {

void StopEvent::Set() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    flag_.store(true, std::memory_order_release);
  }
  changed_.notify_all();
}

void StopEvent::Clear() {
  std::lock_guard<std::mutex> hold(lock_);
  flag_.store(false, std::memory_order_release);
}

void SystemLoaderClock::Sleep(std::chrono::milliseconds duration, StopEvent& stop) {
  if (duration.count() <= 0) return;
  stop.WaitFor(duration);
}

}  // namespace velmora
