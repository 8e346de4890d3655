#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "providers/provider.h"

namespace velmora {

// No provider is left alone for longer than a day, whatever a Retry-After
// or a budget asks: a day later it is simply asked again.
inline constexpr std::int64_t kLongestCoolingSeconds = 86400;
// A quote carried by a history answer serves the quote request that
// follows it for this long.
inline constexpr std::int64_t kQuoteReuseSeconds = 60;
// This many different symbols answered "not found" in a row, and none found
// since the start, is a provider refusing this client, not a list of
// delisted symbols.
inline constexpr std::size_t kBlockedAfterNotFound = 8;

// What the hub knows of each provider between requests: whether it is
// cooled and why, the symbols it answered "not found" since it last found
// one, and the quotes its history answers carried. Safe for every thread;
// times are Unix seconds of the caller's clock.
class ProviderStanding {
 public:
  // True while `id` is cooled; `forRate` tells whether for its budget or
  // its rate (rather than a refused key or a blocking page).
  bool Cooled(ProviderId id, std::int64_t now, bool& forRate) const;

  // Leaves `id` alone for `seconds` (1 s to a day). True when this starts
  // the cooling, so the caller tells it once; a provider cooled already
  // keeps the longer of the two times.
  bool Cool(ProviderId id, std::int64_t now, std::int64_t seconds, bool forRate);

  void NoteFound(ProviderId id);
  // After `id` answered "not found" for `mapped`: the number of different
  // symbols it did so in a row once that reaches kBlockedAfterNotFound
  // while it never found one, else 0; `firstTime` when that is new.
  std::size_t NoteNotFound(ProviderId id, const std::string& mapped, bool& firstTime);

  void KeepQuote(ProviderId id, const std::string& symbol, const ProviderQuote& quote, std::int64_t now);
  // The quote a history answer of `id` brought for `symbol` within
  // kQuoteReuseSeconds; each is used once.
  bool TakeQuote(ProviderId id, const std::string& symbol, std::int64_t now, ProviderQuote& quote);

 private:
  struct Cooling {
    std::int64_t until = 0;
    bool forRate = false;
  };
  struct NotFoundRun {
    std::set<std::string> symbols;  // different ones, since the last found
    bool everFound = false;
    bool told = false;
  };
  struct KeptQuote {
    ProviderId id;
    ProviderQuote quote;
    std::int64_t at;
  };

  mutable std::mutex mutex_;
  std::array<Cooling, kProviderCount> cooling_;
  std::array<NotFoundRun, kProviderCount> notFound_;
  std::map<std::string, KeptQuote> quotes_;  // by the list's symbol
};

}  // namespace velmora
