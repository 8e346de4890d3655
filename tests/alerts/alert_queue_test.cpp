// The delivery thread: a bounded queue that never holds the thread that
// raises an alert.
#include "alerts/alert_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/log_lines.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

QueuedAlert numbered(int n) {
  QueuedAlert item;
  item.alert.symbol = "S" + std::to_string(n);
  return item;
}

// A sink that holds every delivery until it is opened.
class Gate {
 public:
  void Deliver(const QueuedAlert& item) {
    std::unique_lock<std::mutex> hold(lock_);
    entered_ = true;
    entered_cv_.notify_all();
    open_cv_.wait(hold, [this] { return open_; });
    delivered_.push_back(item.alert.symbol);
  }
  void WaitEntered() {
    std::unique_lock<std::mutex> hold(lock_);
    entered_cv_.wait(hold, [this] { return entered_; });
  }
  void Open() {
    std::lock_guard<std::mutex> hold(lock_);
    open_ = true;
    open_cv_.notify_all();
  }
  std::vector<std::string> Delivered() {
    std::lock_guard<std::mutex> hold(lock_);
    return delivered_;
  }

 private:
  std::mutex lock_;
  std::condition_variable entered_cv_;
  std::condition_variable open_cv_;
  bool entered_ = false;
  bool open_ = false;
  std::vector<std::string> delivered_;
};

class AlertQueueThreads : public test::InTempDir, public ::testing::Test {};

TEST_F(AlertQueueThreads, AFullQueueDropsTheOldestWithOneLogLine) {
  Gate gate;
  std::atomic<int> tidied{0};
  AlertQueue queue(
      4, [&](const QueuedAlert& item) { gate.Deliver(item); }, [&] { ++tidied; });
  queue.Push(numbered(0));
  gate.WaitEntered();  // S0 is being delivered; the sink hangs
  std::vector<std::string> pushedOut;
  for (int n = 1; n <= 10; ++n)  // never waits
    if (const auto dropped = queue.Push(numbered(n))) pushedOut.push_back(dropped->alert.symbol);
  EXPECT_EQ(queue.Dropped(), 6u);
  EXPECT_EQ(pushedOut, (std::vector<std::string>{"S1", "S2", "S3", "S4", "S5", "S6"}));
  gate.Open();
  queue.Stop(5s);

  EXPECT_EQ(gate.Delivered(), (std::vector<std::string>{"S0", "S7", "S8", "S9", "S10"}));
  EXPECT_EQ(test::LogCountOf(
                "Alert delivery fell behind: the 6 oldest waiting alerts were dropped (at most 4 wait)."),
            1);
  EXPECT_GE(tidied.load(), 1);  // once more at the end
}

TEST_F(AlertQueueThreads, StopDeliversWhatIsQueuedThenTidiesOnceMore) {
  std::vector<std::string> events;
  std::mutex lock;
  AlertQueue queue(
      256,
      [&](const QueuedAlert& item) {
        std::this_thread::sleep_for(2ms);
        std::lock_guard<std::mutex> hold(lock);
        events.push_back(item.alert.symbol);
      },
      [&] {
        std::lock_guard<std::mutex> hold(lock);
        events.push_back("tidy");
      });
  // Several loader threads raise at once.
  std::vector<std::thread> raisers;
  for (int t = 0; t < 4; ++t)
    raisers.emplace_back([&queue, t] {
      for (int n = 0; n < 10; ++n) queue.Push(numbered(t * 100 + n));
    });
  for (auto& r : raisers) r.join();
  queue.Stop(10s);
  queue.Push(numbered(999));  // after the stop: dropped, nothing runs

  std::lock_guard<std::mutex> hold(lock);
  ASSERT_EQ(events.size(), 41u);
  EXPECT_EQ(events.back(), "tidy");
  EXPECT_EQ(queue.Dropped(), 1u);
}

TEST_F(AlertQueueThreads, AStopThatFindsTheSinkHungAbortsItAndCountsTheRest) {
  Gate gate;
  AlertQueue queue(
      16, [&](const QueuedAlert& item) { gate.Deliver(item); }, [] {});
  queue.Push(numbered(0));
  gate.WaitEntered();
  queue.Push(numbered(1));
  queue.Push(numbered(2));
  const auto started = std::chrono::steady_clock::now();
  // The abort ends the hung delivery; the two waiting are handed back.
  EXPECT_EQ(queue.Stop(100ms, [&] { gate.Open(); }), 2u);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
  EXPECT_EQ(gate.Delivered(), std::vector<std::string>{"S0"});
  EXPECT_EQ(queue.Dropped(), 2u);
}

}  // namespace
}  // namespace velmora
