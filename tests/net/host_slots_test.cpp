#include "net/host_slots.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace velmora {
namespace {

using namespace std::chrono_literals;
using Clock = HostSlots::Clock;
using Wait = HostSlots::Wait;

Clock::time_point In(Clock::duration d) { return Clock::now() + d; }

TEST(HostSlotsThreads, LimitIsPerHostAndAReleaseWakesAWaiter) {
  HostSlots slots(10s);
  HostSlots::Slot a1, a2, b1, waiter;
  ASSERT_EQ(slots.Acquire("a:80", 2, nullptr, In(1s), a1), Wait::kTaken);
  ASSERT_EQ(slots.Acquire("a:80", 2, nullptr, In(1s), a2), Wait::kTaken);
  ASSERT_EQ(slots.Acquire("a:443", 2, nullptr, In(1s), b1), Wait::kTaken);  // another port, another host
  EXPECT_EQ(slots.Busy("a:80"), 2);
  EXPECT_EQ(slots.Acquire("a:80", 2, nullptr, In(20ms), waiter), Wait::kTimedOut);
  EXPECT_FALSE(waiter.held());

  Clock::time_point released;
  std::thread releaser([&] {
    std::this_thread::sleep_for(100ms);
    released = Clock::now();
    a1.Release();
  });
  EXPECT_EQ(slots.Acquire("a:80", 2, nullptr, In(5s), waiter), Wait::kTaken);
  const auto woke = Clock::now();
  releaser.join();
  EXPECT_LT(woke - released, 40ms);  // woken by the release, not by the next look
  EXPECT_TRUE(waiter.held());
  EXPECT_EQ(slots.Busy("a:80"), 2);

  // Moving a slot moves the place; destroying it gives the place back.
  HostSlots::Slot moved = std::move(waiter);
  EXPECT_FALSE(waiter.held());
  EXPECT_EQ(slots.Busy("a:80"), 2);
  { HostSlots::Slot gone = std::move(moved); }
  EXPECT_EQ(slots.Busy("a:80"), 1);
  // Taking again gives back what the slot held first; a limit below 1 is 1.
  ASSERT_EQ(slots.Acquire("c:80", 0, nullptr, In(1s), a2), Wait::kTaken);
  EXPECT_EQ(slots.Busy("a:80"), 0);
  EXPECT_EQ(slots.Acquire("c:80", 0, nullptr, In(20ms), a1), Wait::kTimedOut);
}

TEST(HostSlotsThreads, SilentHolderCountsAgainOnceItHears) {
  HostSlots slots(100ms);
  HostSlots::Slot hung, next, third;
  ASSERT_EQ(slots.Acquire("q:80", 1, nullptr, In(1s), hung), Wait::kTaken);
  EXPECT_EQ(slots.Acquire("q:80", 1, nullptr, In(20ms), next), Wait::kTimedOut);
  // Silent for longer than the limit: its place is free while it stays so.
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(slots.Busy("q:80"), 0);
  ASSERT_EQ(slots.Acquire("q:80", 1, nullptr, In(1s), next), Wait::kTaken);
  // Heard again: it counts at once, above the limit, and newcomers wait.
  hung.NoteActivity();
  EXPECT_EQ(slots.Busy("q:80"), 2);
  EXPECT_EQ(slots.Acquire("q:80", 1, nullptr, In(20ms), third), Wait::kTimedOut);
  hung.Release();
  next.Release();
  EXPECT_EQ(slots.Acquire("q:80", 1, nullptr, In(20ms), third), Wait::kTaken);
}

TEST(HostSlotsThreads, StopEndsTheWaitSoon) {
  HostSlots slots(10s);
  HostSlots::Slot held, waiter;
  ASSERT_EQ(slots.Acquire("q:80", 1, nullptr, In(1s), held), Wait::kTaken);
  std::atomic<bool> stop{false};
  Clock::time_point stopped;
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    stopped = Clock::now();
    stop = true;
  });
  EXPECT_EQ(slots.Acquire("q:80", 1, &stop, In(10s), waiter), Wait::kStopped);
  const auto returned = Clock::now();
  stopper.join();
  EXPECT_LT(returned - stopped, 2s);  // not the 10 s of the wait, even on a busy machine
  EXPECT_FALSE(waiter.held());
  // Once stopped, not even a free place is taken.
  held.Release();
  EXPECT_EQ(slots.Acquire("q:80", 1, &stop, In(1s), waiter), Wait::kStopped);
  EXPECT_EQ(slots.Busy("q:80"), 0);
}

}  // namespace
}  // namespace velmora
