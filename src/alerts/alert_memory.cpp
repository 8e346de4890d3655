#include "alerts/alert_memory.h"

#include <cstdio>

#include "alerts/alert_files.h"
#include "alerts/alert_rules.h"
#include "base/log.h"
#include "monitor/text_append.h"

namespace velmora {

bool AlertMemory::Remember(const std::string& symbol, const std::string& eventKey, int dateKey) {
  // Most events of an update are known: look before making a node.
  if (Contains(symbol, eventKey, dateKey)) return false;
  return entries_.emplace(symbol, eventKey, dateKey).second;
}

bool AlertMemory::Contains(const std::string& symbol, const std::string& eventKey, int dateKey) const {
  return entries_.count({symbol, eventKey, dateKey}) > 0;
}

void AlertMemory::Parse(std::string_view text) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string line(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    char symbol[128];
    char key[128];
    int year = 0, month = 0, day = 0;
    char tail = 0;
    if (line.empty() || line[0] == '#') continue;
    if (std::sscanf(line.c_str(), "%127s %127s %d-%d-%d %c", symbol, key, &year, &month, &day, &tail) != 5)
      continue;
    if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31) continue;
    Remember(symbol, key, year * 10000 + month * 100 + day);
  }
}

void AlertMemory::Load(const std::string& path) {
  std::string text;
  const AlertFileRead read = ReadAlertFile(path, text);
  if (read == AlertFileRead::kRead) Parse(text);
  if (read == AlertFileRead::kNotRegular) LogMessage(NotRegularFileText(path));
}

void AlertMemory::prune() {
  // Each security keeps the entries of its kAlertMemoryDates newest bar
  // dates. Counting dates rather than days keeps the memory right whatever
  // clock dates a security's bars: a quote dated by the machine's day beside
  // history from a service whose clock is months behind must not drop the
  // history's marks, or they would be raised again on the next pass.
  auto it = entries_.begin();
  while (it != entries_.end()) {
    const std::string& symbol = std::get<0>(*it);
    auto end = it;
    std::set<int> dates;
    while (end != entries_.end() && std::get<0>(*end) == symbol) dates.insert(std::get<2>(*end++));
    while (dates.size() > static_cast<std::size_t>(kAlertMemoryDates)) dates.erase(dates.begin());
    while (it != end) it = dates.count(std::get<2>(*it)) == 0 ? entries_.erase(it) : std::next(it);
  }
}

std::string AlertMemory::Format() {
  prune();
  std::string text = "# Alerts already raised: symbol, event, bar date.\n";
  for (const auto& [symbol, key, date] : entries_)
    Appendf(text, "%s %s %04d-%02d-%02d\n", symbol.c_str(), key.c_str(), date / 10000, date / 100 % 100,
            date % 100);
  return text;
}

}  // namespace velmora
