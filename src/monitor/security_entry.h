#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>

#include "base/system_config.h"
#include "core/quote_bar.h"
#include "core/signal_state.h"

namespace velmora {

// Symbols are kept in fixed texts of 64 bytes: 63 characters and the end.
inline constexpr int kSymbolCapacity = 64;
inline constexpr int kMaxSymbolLength = kSymbolCapacity - 1;

// Everything the system keeps about one monitored security: a plain record,
// copied by value. Readers work on such a copy (SecurityEntry::Snapshot).
struct SecurityData {
  std::uint8_t historyLoaded = 0;  // the first history load has filled the entry
  std::uint8_t isIndex = 0;
  double quoteExtra1 = 0;  // the two further numbers of the newest real-time record
  double quoteExtra2 = 0;
  char displaySymbol[kSymbolCapacity] = {};  // shown in reports, the monitor and the search
  char querySymbol[kSymbolCapacity] = {};    // sent to the quote services
  std::int32_t refreshBars = 0;              // newest bars each real-time update recomputes
  MonitoredSeries bars;                      // newest 32 bars, index 0 newest
  SignalState signalState;                   // trend and signal state of the whole loaded history
};

// How current a security's quote is: kept beside its record rather than in
// it, so the record's layout (copied by readers and writers alike) stays as
// it is. Times are the loader clock's.
struct QuoteFreshness {
  std::time_t lastRefreshed = 0;  // the last quote that came (its history load counts); 0: none yet
  std::time_t failingSince = 0;   // the first try of the present run of misses; 0: none
  // Consecutive real-time passes without a refresh (each pass tries a
  // security once, so each failed try is one pass).
  int missedPasses = 0;
  std::string reason;  // why the latest try failed, in words; empty after a refresh
};

// A quote missed for this many passes in a row is called stale.
inline constexpr int kStaleQuotePasses = 3;

// Fills the symbols and the index flag of `data` from a symbol as listed,
// mapping the well-known indices to the names the quote services expect.
// False (data untouched) for an empty symbol or one longer than 63 characters.
[[nodiscard]] bool InitSecurityEntry(SecurityData& data, const char* symbol, int realTimeServer);

// One slot of the store: the record behind its own short lock. One loader
// thread writes it; report writers and the monitor read consistent copies.
// The symbols are set before any loader thread starts and never change, so
// they may be read directly.
class SecurityEntry {
 public:
  SecurityEntry() = default;
  SecurityEntry(const SecurityEntry&) = delete;
  SecurityEntry& operator=(const SecurityEntry&) = delete;

  // A copy taken under the lock: the entry wholly before or after an update.
  void Snapshot(SecurityData& out) const;
  SecurityData Snapshot() const;
  // The copy with the version it was published as.
  void Snapshot(SecurityData& out, std::uint64_t& version) const;

  // Grows by one with every change of the record (Assign, either Publish,
  // Clear); read without the lock, so a watcher can tell which entries
  // changed without copying them.
  std::uint64_t version() const { return version_.load(std::memory_order_acquire); }

  // Replaces the whole record, symbols included: list loading only, before
  // any loader thread runs. The freshness record starts afresh (the slot
  // may now hold another security).
  void Assign(const SecurityData& data);
  // Replaces what a history load changes: everything but the symbols.
  void PublishHistory(const SecurityData& data);
  // Replaces what a real-time update changes: bars and the two quote numbers.
  void PublishQuote(const SecurityData& data);

  bool historyLoaded() const;
  const char* displaySymbol() const { return data_.displaySymbol; }
  const char* querySymbol() const { return data_.querySymbol; }
  bool isIndex() const { return data_.isIndex != 0; }

  // Back to a constructed entry: no symbols, fresh bars and state, no
  // freshness record.
  void Clear();

  // The freshness record, written by the loader thread of the entry's range
  // on each real-time try (and when its history arrives), read by anyone.
  QuoteFreshness freshness() const;
  // A quote came at `now`: the run of misses ends.
  void NoteQuoteRefreshed(std::time_t now);
  // A try at `now` brought no quote, for `reason`; returns the misses in a row.
  int NoteQuoteMissed(std::time_t now, const std::string& reason);
  // Puts back the record of a security kept when the list was read again.
  void RestoreFreshness(const QuoteFreshness& freshness);

 private:
  mutable std::mutex lock_;
  SecurityData data_;
  std::atomic<std::uint64_t> version_{0};  // changed under lock_, after data_
  // Its own lock: a reader of the record never waits for it, nor it for them.
  mutable std::mutex freshnessLock_;
  QuoteFreshness freshness_;
};

}  // namespace velmora
