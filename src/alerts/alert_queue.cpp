#include "alerts/alert_queue.h"

#include "base/log.h"

namespace velmora {

AlertQueue::AlertQueue(std::size_t capacity, Deliver deliver, Tidy tidy)
    : capacity_(capacity < 1 ? 1 : capacity), deliver_(std::move(deliver)), tidy_(std::move(tidy)) {
  thread_ = std::thread([this] { run(); });
}

AlertQueue::~AlertQueue() { Stop(std::chrono::milliseconds(0)); }

std::optional<QueuedAlert> AlertQueue::Push(QueuedAlert item) {
  std::optional<QueuedAlert> dropped;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (stopped_) {
      ++dropped_;
      return item;
    }
    if (queue_.size() >= capacity_) {
      dropped = std::move(queue_.front());
      queue_.pop_front();
      ++droppedUnlogged_;
      ++dropped_;
    }
    queue_.push_back(std::move(item));
  }
  wake_.notify_one();
  return dropped;
}

void AlertQueue::Wake() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    tidyAsked_ = true;
  }
  wake_.notify_one();
}

std::size_t AlertQueue::Stop(std::chrono::milliseconds grace, const std::function<void()>& abort) {
  std::unique_lock<std::mutex> hold(lock_);
  if (!thread_.joinable()) return 0;
  stopping_ = true;
  wake_.notify_one();
  const bool drained = drained_.wait_for(hold, grace, [this] { return queue_.empty() && !busy_; });
  // What still waits is dropped before a delivery in progress is cut short,
  // so the thread takes nothing more.
  const std::size_t left = queue_.size();
  queue_.clear();
  dropped_ += left;
  stopped_ = true;
  hold.unlock();
  if (!drained && abort) abort();
  wake_.notify_one();
  thread_.join();
  return left;
}

std::size_t AlertQueue::Dropped() const {
  std::lock_guard<std::mutex> hold(lock_);
  return dropped_;
}

void AlertQueue::run() {
  for (;;) {
    std::unique_lock<std::mutex> hold(lock_);
    wake_.wait(hold, [this] { return !queue_.empty() || tidyAsked_ || stopping_; });
    const bool tidy = tidyAsked_;
    tidyAsked_ = false;
    const std::size_t dropped = droppedUnlogged_;
    droppedUnlogged_ = 0;
    std::optional<QueuedAlert> item;
    if (!queue_.empty()) {
      item = std::move(queue_.front());
      queue_.pop_front();
      busy_ = true;
    }
    const bool last = !item && stopping_;
    hold.unlock();

    if (dropped > 0)
      LogFormat("Alert delivery fell behind: the %zu oldest waiting alert%s dropped (at most %zu wait).",
                dropped, dropped == 1 ? " was" : "s were", capacity_);
    if ((tidy || last) && tidy_) tidy_();
    if (last) return;
    if (item) deliver_(*item);

    hold.lock();
    busy_ = false;
    if (queue_.empty()) drained_.notify_all();
  }
}

}  // namespace velmora
