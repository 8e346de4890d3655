#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "alerts/alert.h"

namespace velmora {

// An alert waiting for delivery, with the number its center knows it by.
struct QueuedAlert {
  Alert alert;
  std::uint64_t id = 0;
};

// A delivery thread and its queue of bounded length (one for each output).
// Any thread queues an alert without ever waiting for a delivery; when the
// queue is full the oldest waiting alert is dropped, and the thread logs one
// line for each run of drops. Besides delivering, the thread runs `tidy`
// (when given) whenever asked (file writes that must not hold a loader
// thread), before the next delivery, and once more at the end.
class AlertQueue {
 public:
  using Deliver = std::function<void(const QueuedAlert&)>;
  using Tidy = std::function<void()>;

  AlertQueue(std::size_t capacity, Deliver deliver, Tidy tidy);
  ~AlertQueue();  // stops at once: what is still queued is dropped
  AlertQueue(const AlertQueue&) = delete;
  AlertQueue& operator=(const AlertQueue&) = delete;

  // The alert dropped: the oldest waiting one when the queue is full, this
  // one after a stop; none when it simply waits its turn.
  std::optional<QueuedAlert> Push(QueuedAlert item);
  // Asks for a run of `tidy`.
  void Wake();
  // Delivers what is queued for at most `grace`; then `abort` (when given)
  // cuts a delivery in progress short, what is left is dropped, and the
  // thread ends after its last tidy. Later pushes are dropped. Returns the
  // number of alerts left undelivered in the queue (a delivery cut short
  // is not counted: its owner knows).
  std::size_t Stop(std::chrono::milliseconds grace, const std::function<void()>& abort = {});

  // Alerts dropped so far, by overflow or at the stop.
  std::size_t Dropped() const;

 private:
  void run();

  const std::size_t capacity_;
  Deliver deliver_;
  Tidy tidy_;
  mutable std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable drained_;
  std::deque<QueuedAlert> queue_;
  bool busy_ = false;
  bool stopping_ = false;
  bool stopped_ = false;
  bool tidyAsked_ = false;
  std::size_t droppedUnlogged_ = 0;
  std::size_t dropped_ = 0;
  std::thread thread_;
};

}  // namespace velmora
