#include "providers/history_overlap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "core/chart_dates.h"
#include "quotes/history_parser.h"

namespace velmora {

namespace {

// A file holds two decimals: a price read back from it is within half a
// cent of the provider's (a little more for the rounding of the division
// that scales split prices); large prices compare by a relative margin.
constexpr double kPriceMargin = 0.006;
constexpr double kRelativeMargin = 1e-6;

std::string priceText(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

// The first price of the four that differs, or nullptr.
const char* differingPrice(const QuoteBar& a, const QuoteBar& b, double& mine, double& theirs) {
  const std::pair<const char*, double QuoteBar::*> prices[] = {{"open", &QuoteBar::open},
                                                               {"high", &QuoteBar::high},
                                                               {"low", &QuoteBar::low},
                                                               {"close", &QuoteBar::close}};
  for (const auto& [name, member] : prices) {
    if (!SamePrice(a.*member, b.*member)) {
      mine = a.*member;
      theirs = b.*member;
      return name;
    }
  }
  return nullptr;
}

}  // namespace

ProviderDate ProviderDateFromKey(int key) { return ProviderDate{key / 10000, key / 100 % 100, key % 100}; }

ProviderDate AddCalendarDays(ProviderDate date, int days) {
  const CalendarDate d = AddDays(CalendarDate{date.year, date.month, date.day}, days);
  return ProviderDate{d.year, d.month, d.day};
}

bool SamePrice(double a, double b) {
  const double difference = std::fabs(a - b);
  return difference <= kPriceMargin || difference <= kRelativeMargin * std::max(std::fabs(a), std::fabs(b));
}

OverlapCheck CheckOverlap(const QuoteBar* answer, int answerCount, const QuoteBar* known, int knownCount,
                          int askedFromKey) {
  OverlapCheck check;
  if (known == nullptr || knownCount <= 0) {
    check.reason = "the file holds no bar";
    return check;
  }
  int newestKnown = known[0].DateKey();
  for (int i = 1; i < knownCount; ++i) newestKnown = std::max(newestKnown, known[i].DateKey());
  // The file's days that the answer must hold, newest bar of a day first.
  std::map<int, const QuoteBar*> overlap;
  for (int i = 0; i < knownCount; ++i) {
    const int key = known[i].DateKey();
    if (key >= askedFromKey && key < newestKnown) overlap.emplace(key, &known[i]);
  }
  std::set<int> matched;
  for (int i = 0; i < answerCount; ++i) {
    const int key = answer[i].DateKey();
    const auto it = overlap.find(key);
    if (it == overlap.end()) continue;  // a day the file lacks: the answer fills it in
    double mine = 0, theirs = 0;
    if (const char* name = differingPrice(answer[i], *it->second, mine, theirs)) {
      check.reason = std::string("the ") + name + " of " + answer[i].date + " is " + priceText(mine) +
                     " in the answer, " + priceText(theirs) + " in the file";
      return check;
    }
    matched.insert(key);
  }
  if (matched.empty()) {
    check.reason = "no day of the answer is in the file";
    return check;
  }
  for (const auto& [key, bar] : overlap) {
    if (matched.count(key) == 0) {
      check.reason = std::string(bar->date) + " of the file is missing in the answer";
      return check;
    }
  }
  check.agrees = true;
  return check;
}

int ExtendWithKnownBars(QuoteBar* bars, int next, int capacity, const QuoteBar* known, int knownCount,
                        int fromKey, int toKey) {
  int w = 1;
  for (int i = 1; i < next; ++i) {
    const int key = bars[i].DateKey();
    if (key < fromKey || key > toKey) continue;
    if (w != i) bars[w].CopyFrom(bars[i]);
    ++w;
  }
  int oldest = w > 1 ? bars[w - 1].DateKey() : toKey + 1;
  for (int j = 0; j < knownCount && w < capacity; ++j) {
    const int key = known[j].DateKey();
    if (key >= oldest || key < fromKey) continue;
    // A fresh bar as the history reader makes one: the file's trade data
    // only, whatever else the caller's array held.
    QuoteBar& bar = bars[w++];
    bar.Reset();
    bar.SetDate(known[j].date);
    bar.SetTime(kHistoryRowTime);
    bar.open = known[j].open;
    bar.high = known[j].high;
    bar.low = known[j].low;
    bar.close = known[j].close;
    bar.volume = known[j].volume;
    oldest = key;
  }
  if (w > 1) bars[0].CopyFrom(bars[1]);
  return w;
}

}  // namespace velmora
