#include "provider_api/provider_splits.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "market/calendar.h"
#include "market/symbols.h"

namespace velmora::standin {

namespace {

constexpr double kMinRatio = 0.001;
constexpr double kMaxRatio = 1000;
const std::vector<SplitEvent> kNoSplits;

}  // namespace

bool SplitPlan::Add(std::string_view splitText, std::string& error) {
  const std::string usage =
      "--provider-split wants SYMBOL=YYYY-MM-DD:RATIO, got '" + std::string(splitText) + "'";
  const std::size_t eq = splitText.find('=');
  const std::size_t colon = splitText.find(':', eq == std::string_view::npos ? 0 : eq);
  if (eq == std::string_view::npos || colon == std::string_view::npos || colon != eq + 11) {
    error = usage;
    return false;
  }
  const std::string_view symbol = splitText.substr(0, eq);
  if (!IsWellFormedSymbol(symbol)) {
    error = "--provider-split: malformed symbol '" + std::string(symbol) + "'";
    return false;
  }
  SplitEvent split;
  if (!ParseIsoDate(splitText.substr(eq + 1, 10), split.day)) {
    error = usage;
    return false;
  }
  const std::string_view ratio = splitText.substr(colon + 1);
  const auto r = std::from_chars(ratio.data(), ratio.data() + ratio.size(), split.ratio);
  if (r.ec != std::errc() || r.ptr != ratio.data() + ratio.size() || !(split.ratio >= kMinRatio) ||
      !(split.ratio <= kMaxRatio)) {
    error = "--provider-split: the ratio wants a number from 0.001 to 1000, got '" + std::string(ratio) + "'";
    return false;
  }
  std::vector<SplitEvent>& list = splits_[UpperSymbol(symbol)];
  list.push_back(split);
  std::stable_sort(list.begin(), list.end(),
                   [](const SplitEvent& a, const SplitEvent& b) { return a.day < b.day; });
  return true;
}

const std::vector<SplitEvent>& SplitPlan::For(const std::string& symbol) const {
  const auto it = splits_.find(symbol);
  return it == splits_.end() ? kNoSplits : it->second;
}

std::vector<SplitEvent> SeriesSplits(const PriceSeries& series) {
  std::vector<SplitEvent> splits;
  for (const CorporateAction& action : series.actions) {
    if (action.splitRatio != 1) splits.push_back({action.day, action.splitRatio});
  }
  return splits;
}

double SplitFactorAfter(const std::vector<SplitEvent>& splits, int day, int lastDay) {
  double factor = 1;
  for (const SplitEvent& split : splits) {
    if (split.day > day && split.day <= lastDay) factor *= split.ratio;
  }
  return factor;
}

std::int32_t DivideCents(std::int32_t cents, double factor) {
  if (factor == 1 || cents <= 0) return cents;
  const double v = std::round(static_cast<double>(cents) / factor);
  return static_cast<std::int32_t>(std::clamp(v, 1.0, 2.0e9));
}

std::int64_t MultiplyVolume(std::int64_t volume, double factor) {
  if (factor == 1 || volume <= 0) return volume;
  return static_cast<std::int64_t>(std::clamp(std::round(static_cast<double>(volume) * factor), 0.0, 9.0e18));
}

std::vector<PriceBar> SplitAdjustedBars(const std::vector<PriceBar>& bars,
                                        const std::vector<SplitEvent>& splits, int lastDay) {
  std::vector<PriceBar> out = bars;
  for (PriceBar& bar : out) {
    const double factor = SplitFactorAfter(splits, bar.day, lastDay);
    if (factor == 1) continue;
    bar.open = DivideCents(bar.open, factor);
    bar.high = DivideCents(bar.high, factor);
    bar.low = DivideCents(bar.low, factor);
    bar.close = DivideCents(bar.close, factor);
    bar.adjClose = DivideCents(bar.adjClose, factor);
    bar.volume = MultiplyVolume(bar.volume, factor);
  }
  return out;
}

}  // namespace velmora::standin
