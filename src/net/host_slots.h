#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velmora {

// How many transfers are in flight to each server (host:port) across the
// process, so that a pool of loader threads never sends one service more
// than its share of requests at once. A transfer takes a slot before its
// request goes out and gives it back once its answer is in or its
// connection is gone. A transfer that has heard nothing from its server for
// `silentAfter` stops counting until it hears again: a hung request holds
// only its own thread, never the slots of the others. One that hears again
// counts again at once, even above the limit (its request is at the server
// already); new requests then wait until the count falls.
class HostSlots {
  struct Holder;

 public:
  using Clock = std::chrono::steady_clock;

  explicit HostSlots(std::chrono::milliseconds silentAfter = std::chrono::milliseconds(1000));
  HostSlots(const HostSlots&) = delete;
  HostSlots& operator=(const HostSlots&) = delete;

  // The table every transfer of the process uses.
  static HostSlots& Process();

  // One held slot; given back when released, reset or destroyed.
  class Slot {
   public:
    Slot();
    ~Slot();
    Slot(Slot&& other) noexcept;
    Slot& operator=(Slot&& other) noexcept;
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;

    bool held() const { return holder_ != nullptr; }
    // Something arrived from the server; cheap enough for every block read.
    void NoteActivity();
    void Release();

   private:
    friend class HostSlots;
    HostSlots* owner_ = nullptr;
    std::unique_ptr<Holder> holder_;
  };

  enum class Wait {
    kTaken,     // `slot` holds a slot of the host
    kStopped,   // the stop flag turned true first
    kTimedOut,  // the deadline came first
  };

  // Takes a slot of `host` once fewer than `limit` (at least 1) transfers
  // to it count, waiting in short steps that look at `stop` (null: never
  // stopped) and the deadline, so a stop ends the wait within ~50 ms; a
  // stop already asked for takes nothing. `slot` gives back what it held
  // first.
  [[nodiscard]] Wait Acquire(const std::string& host, int limit, const std::atomic<bool>* stop,
                             Clock::time_point deadline, Slot& slot);

  // The transfers to `host` that count now.
  int Busy(const std::string& host) const;

 private:
  int countLocked(const std::vector<Holder*>& holders, Clock::time_point now) const;
  void release(Holder* holder);

  const Clock::duration silentAfter_;
  mutable std::mutex lock_;
  std::condition_variable freed_;
  std::map<std::string, std::vector<Holder*>> hosts_;
};

}  // namespace velmora
