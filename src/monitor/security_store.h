#pragma once

#include <array>
#include <memory>

#include "monitor/security_entry.h"

namespace velmora {

inline constexpr int kMaxSecurities = 512;

// The monitored securities in List.dat order: 512 entries, `count` in use.
// The list is loaded once, before any loader thread starts; afterwards the
// count and the symbols never change and entries are never added or removed.
class SecurityStore {
 public:
  SecurityStore();
  SecurityStore(const SecurityStore&) = delete;
  SecurityStore& operator=(const SecurityStore&) = delete;

  int count() const { return count_; }
  SecurityEntry& entry(int index) { return (*entries_)[static_cast<std::size_t>(index)]; }
  const SecurityEntry& entry(int index) const { return (*entries_)[static_cast<std::size_t>(index)]; }

  // A consistent copy of entry `index`; false when it is not in use.
  [[nodiscard]] bool Read(int index, SecurityData& out) const;

  // List loading: back to an empty store, then entries appended in order.
  void Clear();
  [[nodiscard]] bool Append(const SecurityData& data);

 private:
  std::unique_ptr<std::array<SecurityEntry, kMaxSecurities>> entries_;
  int count_ = 0;
};

// The process-wide store.
SecurityStore& securityStore();

// Index of the first entry whose display symbol begins with `text` (letter
// case ignored); an empty text matches entry 0; -1 when none does.
int FindSecurity(const SecurityStore& store, const char* text);
int FindSecurity(const char* text);

// The number of entries in use in the process-wide store.
int SecurityCount();

}  // namespace velmora
