#include "providers/provider_standing.h"

#include <algorithm>

namespace velmora {

namespace {

// Quotes kept at most; stale ones go first when it is reached.
constexpr std::size_t kKeptQuotes = 4096;

}  // namespace

bool ProviderStanding::Cooled(ProviderId id, std::int64_t now, bool& forRate) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const Cooling& c = cooling_[static_cast<int>(id)];
  forRate = c.forRate;
  return c.until > now;
}

bool ProviderStanding::Cool(ProviderId id, std::int64_t now, std::int64_t seconds, bool forRate) {
  std::lock_guard<std::mutex> lock(mutex_);
  Cooling& c = cooling_[static_cast<int>(id)];
  const std::int64_t until = now + std::clamp<std::int64_t>(seconds, 1, kLongestCoolingSeconds);
  const bool starts = c.until <= now;
  if (starts) {
    c = Cooling{until, forRate};
  } else {
    c.until = std::max(c.until, until);
    c.forRate = c.forRate || forRate;
  }
  return starts;
}

void ProviderStanding::NoteFound(ProviderId id) {
  std::lock_guard<std::mutex> lock(mutex_);
  NotFoundRun& run = notFound_[static_cast<int>(id)];
  run.everFound = true;
  run.symbols.clear();
}

std::size_t ProviderStanding::NoteNotFound(ProviderId id, const std::string& mapped, bool& firstTime) {
  std::lock_guard<std::mutex> lock(mutex_);
  NotFoundRun& run = notFound_[static_cast<int>(id)];
  firstTime = false;
  if (run.everFound) return 0;
  run.symbols.insert(mapped);
  if (run.symbols.size() < kBlockedAfterNotFound) return 0;
  firstTime = !run.told;
  run.told = true;
  return run.symbols.size();
}

void ProviderStanding::KeepQuote(ProviderId id, const std::string& symbol, const ProviderQuote& quote,
                                 std::int64_t now) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (quotes_.size() >= kKeptQuotes) {
    std::erase_if(quotes_, [&](const auto& entry) { return now - entry.second.at > kQuoteReuseSeconds; });
    if (quotes_.size() >= kKeptQuotes) quotes_.clear();
  }
  quotes_[symbol] = KeptQuote{id, quote, now};
}

bool ProviderStanding::TakeQuote(ProviderId id, const std::string& symbol, std::int64_t now,
                                 ProviderQuote& quote) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto it = quotes_.find(symbol);
  if (it == quotes_.end() || it->second.id != id) return false;
  const bool fresh = now - it->second.at <= kQuoteReuseSeconds;
  if (fresh) quote = std::move(it->second.quote);
  quotes_.erase(it);
  return fresh;
}

}  // namespace velmora
