#pragma once

#include <set>
#include <string>
#include <string_view>
#include <tuple>

namespace velmora {

// The alerts raised so far (and the events seen when a security was first
// loaded), so a restart, a reload or a later pass never raises one twice.
// Kept beside List.dat, one line each: symbol, event key and the bar's date,
//
//   MSFT buy 2026-12-07
//   SP500 move:2.50 2026-12-08
//
// A security keeps the entries of its newest kAlertMemoryDates bar dates:
// older bars have left every list that alerts look at (the six newest).
inline constexpr int kAlertMemoryDates = 32;

class AlertMemory {
 public:
  // True when the event was not remembered yet; it is from now on.
  bool Remember(const std::string& symbol, const std::string& eventKey, int dateKey);
  bool Contains(const std::string& symbol, const std::string& eventKey, int dateKey) const;
  std::size_t size() const { return entries_.size(); }

  // The entries of a file's text; lines that do not read are skipped.
  void Parse(std::string_view text);
  // A missing or unreadable file is an empty memory; one that is no
  // regular file (a FIFO) is logged and not read.
  void Load(const std::string& path);
  // The file's text: pruned, sorted by symbol, event and date.
  std::string Format();

 private:
  void prune();

  // symbol, event key, date key
  std::set<std::tuple<std::string, std::string, int>> entries_;
};

}  // namespace velmora
