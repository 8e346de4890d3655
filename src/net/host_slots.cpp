#include "net/host_slots.h"

#include <algorithm>
#include <utility>

namespace velmora {

namespace {

// Waiters look again this often: a holder that falls silent frees its place
// without telling anyone, and a stop must end the wait soon.
constexpr auto kWaitStep = std::chrono::milliseconds(50);

std::int64_t ticks(HostSlots::Clock::time_point t) { return t.time_since_epoch().count(); }

}  // namespace

struct HostSlots::Holder {
  std::string host;
  std::atomic<std::int64_t> heard;  // Clock ticks of the last thing received
};

HostSlots::HostSlots(std::chrono::milliseconds silentAfter) : silentAfter_(silentAfter) {}

HostSlots& HostSlots::Process() {
  static HostSlots slots;
  return slots;
}

HostSlots::Slot::Slot() = default;
HostSlots::Slot::~Slot() { Release(); }

HostSlots::Slot::Slot(Slot&& other) noexcept
    : owner_(std::exchange(other.owner_, nullptr)), holder_(std::move(other.holder_)) {}

HostSlots::Slot& HostSlots::Slot::operator=(Slot&& other) noexcept {
  if (this != &other) {
    Release();
    owner_ = std::exchange(other.owner_, nullptr);
    holder_ = std::move(other.holder_);
  }
  return *this;
}

void HostSlots::Slot::NoteActivity() {
  if (holder_) holder_->heard.store(ticks(Clock::now()), std::memory_order_relaxed);
}

void HostSlots::Slot::Release() {
  if (!holder_) return;
  owner_->release(holder_.get());
  holder_.reset();
  owner_ = nullptr;
}

int HostSlots::countLocked(const std::vector<Holder*>& holders, Clock::time_point now) const {
  const std::int64_t since = ticks(now - silentAfter_);
  return static_cast<int>(std::count_if(holders.begin(), holders.end(), [since](const Holder* h) {
    return h->heard.load(std::memory_order_relaxed) > since;
  }));
}

HostSlots::Wait HostSlots::Acquire(const std::string& host, int limit, const std::atomic<bool>* stop,
                                   Clock::time_point deadline, Slot& slot) {
  slot.Release();
  limit = std::max(limit, 1);
  std::unique_lock<std::mutex> hold(lock_);
  for (;;) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed)) return Wait::kStopped;
    const Clock::time_point now = Clock::now();
    std::vector<Holder*>& holders = hosts_[host];
    if (countLocked(holders, now) < limit) {
      auto holder = std::make_unique<Holder>();
      holder->host = host;
      holder->heard.store(ticks(now), std::memory_order_relaxed);
      holders.push_back(holder.get());
      slot.owner_ = this;
      slot.holder_ = std::move(holder);
      return Wait::kTaken;
    }
    if (now >= deadline) return Wait::kTimedOut;
    freed_.wait_until(hold, std::min(deadline, now + kWaitStep));
  }
}

void HostSlots::release(Holder* holder) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = hosts_.find(holder->host);
    if (it != hosts_.end()) {
      std::erase(it->second, holder);
      if (it->second.empty()) hosts_.erase(it);
    }
  }
  freed_.notify_all();
}

int HostSlots::Busy(const std::string& host) const {
  std::lock_guard<std::mutex> hold(lock_);
  const auto it = hosts_.find(host);
  return it == hosts_.end() ? 0 : countLocked(it->second, Clock::now());
}

}  // namespace velmora
