#include "backtest/date_keys.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unordered_map>

namespace velmora {

namespace {

constexpr std::size_t kMostTexts = 65536;

// The date and time texts up to their terminators, zeros after them.
struct DateText {
  std::array<char, sizeof QuoteBar::date + sizeof QuoteBar::time> chars{};
  bool operator==(const DateText&) const = default;
};

struct DateTextHash {
  std::size_t operator()(const DateText& d) const {
    return std::hash<std::string_view>{}(std::string_view(d.chars.data(), d.chars.size()));
  }
};

}  // namespace

int CachedDateKey(const QuoteBar& bar) {
  thread_local std::unordered_map<DateText, int, DateTextHash> known;
  DateText text;
  std::memcpy(text.chars.data(), bar.date, strnlen(bar.date, sizeof bar.date));
  std::memcpy(text.chars.data() + sizeof bar.date, bar.time, strnlen(bar.time, sizeof bar.time));
  const auto found = known.find(text);
  if (found != known.end()) return found->second;
  if (known.size() >= kMostTexts) known.clear();
  const int key = bar.DateKey();
  known.emplace(text, key);
  return key;
}

void FormatDateKey(int key, char* out, int size) {
  std::snprintf(out, static_cast<std::size_t>(size), "%02d/%02d/%04d", key / 100 % 100, key % 100,
                key / 10000);
}

}  // namespace velmora
