#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/security_store.h"

namespace velmora {

// The JSON text of every row of the store, each rendered once per published
// version: a row that has not changed since the last answer costs one
// atomic read, not a snapshot and a rendering. Thread-safe.
class RowTexts {
 public:
  explicit RowTexts(const SecurityStore& store) : store_(store) {}

  // The text of row `index` as it stands now.
  std::shared_ptr<const std::string> Row(int index);

  // Renders row `index` from a snapshot taken at `version` and keeps the
  // text for later answers (the event stream's watcher renders each
  // changed row this way, so the table's answer finds it ready).
  std::string Render(int index, const SecurityData& data, std::uint64_t version);

 private:
  void keep(int index, std::uint64_t version, std::shared_ptr<const std::string> text);

  struct Slot {
    std::uint64_t version = 0;
    std::shared_ptr<const std::string> text;
  };

  const SecurityStore& store_;
  std::mutex lock_;  // the slots; never held while a row is rendered
  std::vector<Slot> slots_;
};

}  // namespace velmora
