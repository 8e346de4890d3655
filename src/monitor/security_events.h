#pragma once

#include <span>

#include "core/quote_bar.h"
#include "monitor/security_entry.h"

namespace velmora {

class SecurityStore;

// What the loader tells about the securities it loads, to whoever the
// program hands it (the alerts); none of these may wait for long, as a
// loader thread makes the call. Every call has a default that does nothing.
class SecurityEvents {
 public:
  virtual ~SecurityEvents() = default;

  // The list was loaded (again); called while no loader thread runs.
  virtual void ListLoaded(const SecurityStore& store) { (void)store; }
  // A security's history load, after its entry was published: the entry as
  // published and the whole computed history (index 0 newest).
  virtual void SecurityLoaded(const SecurityData& data, std::span<const QuoteBar> history, int confirmDays) {
    (void)data;
    (void)history;
    (void)confirmDays;
  }
  // A real-time update, after it was published.
  virtual void SecurityRefreshed(const SecurityData& data) { (void)data; }
};

}  // namespace velmora
