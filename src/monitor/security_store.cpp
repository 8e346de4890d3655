#include "monitor/security_store.h"

#include <strings.h>

#include <cstring>

namespace velmora {

SecurityStore::SecurityStore() : entries_(std::make_unique<std::array<SecurityEntry, kMaxSecurities>>()) {}

bool SecurityStore::Read(int index, SecurityData& out) const {
  if (index < 0 || index >= count_) return false;
  entry(index).Snapshot(out);
  return true;
}

void SecurityStore::Clear() {
  for (SecurityEntry& e : *entries_) e.Clear();
  count_ = 0;
}

bool SecurityStore::Append(const SecurityData& data) {
  if (count_ >= kMaxSecurities) return false;
  entry(count_).Assign(data);
  ++count_;
  return true;
}

SecurityStore& securityStore() {
  static SecurityStore store;
  return store;
}

int FindSecurity(const SecurityStore& store, const char* text) {
  if (text == nullptr) return -1;
  const std::size_t n = std::strlen(text);
  for (int i = 0; i < store.count(); ++i)
    if (strncasecmp(store.entry(i).displaySymbol(), text, n) == 0) return i;
  return -1;
}

int FindSecurity(const char* text) { return FindSecurity(securityStore(), text); }

int SecurityCount() { return securityStore().count(); }

}  // namespace velmora
