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

void StopEvent::Nudge() {
  { std::lock_guard<std::mutex> hold(lock_); }
  changed_.notify_all();
}

void SystemLoaderClock::Sleep(int ms, StopEvent& stop) {
  if (ms <= 0) return;
  stop.WaitFor(std::chrono::milliseconds(ms));
}

}  // namespace velmora
