#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "market/price_series.h"

namespace velmora::standin {

// A split: from `day` on, one old share is `ratio` new ones.
struct SplitEvent {
  int day = 0;
  double ratio = 1;
};

// Splits that only the provider endpoints show, from "--provider-split
// SYMBOL=YYYY-MM-DD:RATIO" options: the prices before the day read as if the
// stock had split then. The classic pages never see them.
class SplitPlan {
 public:
  // False with a message for a malformed text.
  [[nodiscard]] bool Add(std::string_view splitText, std::string& error);
  // The splits of an upper-case symbol, oldest first.
  const std::vector<SplitEvent>& For(const std::string& symbol) const;

 private:
  std::unordered_map<std::string, std::vector<SplitEvent>> splits_;
};

// The splits of a series: its own (generated ones) followed by the
// provider's.
std::vector<SplitEvent> SeriesSplits(const PriceSeries& series);

// What the prices of a bar on `day` are divided by (and its volume
// multiplied by): the ratios of the splits after `day`, up to `lastDay` (the
// newest price the series has; later splits have not happened yet).
double SplitFactorAfter(const std::vector<SplitEvent>& splits, int day, int lastDay);

// Cents divided by a split factor, to the nearest cent (at least one cent
// for a price that had one); volumes multiplied by it.
std::int32_t DivideCents(std::int32_t cents, double factor);
std::int64_t MultiplyVolume(std::int64_t volume, double factor);

// The bars as the splits after each of them leave them: open, high, low,
// close and adjusted close divided by the factor, the volume multiplied.
std::vector<PriceBar> SplitAdjustedBars(const std::vector<PriceBar>& bars,
                                        const std::vector<SplitEvent>& splits, int lastDay);

}  // namespace velmora::standin
