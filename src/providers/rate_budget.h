#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "providers/provider.h"

namespace velmora {

// What one provider allows; 0 means no limit of that kind.
struct RateLimits {
  int perMinute = 0;
  int perHour = 0;
  int perDay = 0;
  int symbolsPerMonth = 0;  // distinct symbols in a calendar month (UTC)
};

// The limits each provider publishes for its free tier (the cautious
// choice for Yahoo chart, which publishes none).
RateLimits DefaultRateLimits(ProviderId id);

// The answer of RateBudget::TryTake.
struct BudgetGrant {
  bool taken = false;
  int waitSeconds = 0;  // when refused: until a place frees
  std::string limit;    // when refused: the limit reached ("50 requests an hour")
};

// The request budget of every provider, shared by all loader threads and
// charts of a process. Each window slides: no span of 60 s, 3600 s or
// 86400 s ever holds more requests than its limit, however the threads
// interleave. Times are whole Unix seconds, and a request counts in every
// window that reaches back to its second, so a window is one second wider
// than its span and never under-counts.
//
// The counts are kept in a small text file, so a restart does not give a
// provider its day afresh: read at construction, written atomically at most
// every few seconds and at destruction.
class RateBudget {
 public:
  using Clock = std::function<std::int64_t()>;  // Unix seconds

  // `statePath` empty: the counts live in memory only. A missing file is
  // an empty budget; an unreadable one is logged once and read as far as
  // it goes. `clock` null: the system's clock.
  explicit RateBudget(std::string statePath, Clock clock = nullptr);
  ~RateBudget();
  RateBudget(const RateBudget&) = delete;
  RateBudget& operator=(const RateBudget&) = delete;

  void setLimits(ProviderId id, const RateLimits& limits);
  RateLimits limits(ProviderId id) const;
  void setClock(Clock clock);

  // Takes one request of `provider` for `symbol` (the provider's name for
  // it) when every limit has room, else nothing: all or nothing.
  [[nodiscard]] BudgetGrant TryTake(ProviderId provider, std::string_view symbol);

  // Requests counted in the `spanSeconds` before now (a window of the
  // budget), for tests and the statistics.
  int Count(ProviderId provider, int spanSeconds) const;

  // Writes the state file now; false when it could not be written.
  [[nodiscard]] bool Save();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velmora
