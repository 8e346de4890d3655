#pragma once

#include <cstdint>
#include <vector>

namespace velmora::standin {

// One bar; prices in cents, so every printed value is exact.
struct PriceBar {
  std::int32_t day = 0;  // days since 1970-01-01
  std::int32_t open = 0;
  std::int32_t high = 0;
  std::int32_t low = 0;
  std::int32_t close = 0;
  std::int32_t adjClose = 0;
  std::int64_t volume = 0;  // index volumes pass 2^31
};

// A split or a dividend that took effect at a day's open.
struct CorporateAction {
  std::int32_t day = 0;
  double splitRatio = 1;      // new shares per old share; 1: no split
  std::int32_t dividend = 0;  // cents per share; 0: none
};

// Everything the service tells about one symbol at one quote day.
struct PriceSeries {
  // Oldest first, every bar before the quote day. Weekly and monthly bars
  // are built from the daily ones and dated by their first trading day.
  std::vector<PriceBar> daily;
  std::vector<PriceBar> weekly;
  std::vector<PriceBar> monthly;
  // The splits and dividends behind the adjusted closes, oldest first, up to
  // the quote day. Only generated series know them; a data file's series
  // has its adjusted closes and nothing more.
  std::vector<CorporateAction> actions;

  bool hasQuote = false;
  PriceBar quote;                  // the quote day's whole session
  std::int32_t previousClose = 0;  // 0: none
  bool movesIntraday = false;      // generated data walks through the session
  bool isIndex = false;
  std::uint64_t seed = 0;

  const std::vector<PriceBar>& ForPeriod(char period) const {
    return period == 'w' ? weekly : period == 'm' ? monthly : daily;
  }
};

// The largest daily volume a data file may hold (the program reads no more);
// a month of such days still sums far inside 64 bits.
inline constexpr std::int64_t kMaxVolume = 1000000000000000;  // 1e15

// Weekly and monthly bars from daily ones (oldest first): first open, highest
// high, lowest low, last close and adjusted close, summed volume.
std::vector<PriceBar> AggregateBars(const std::vector<PriceBar>& daily, int (*groupKey)(int));
void FillPeriodBars(PriceSeries& series);

}  // namespace velmora::standin
