#include "market/price_series.h"

#include <algorithm>

#include "market/calendar.h"

namespace velmora::standin {

std::vector<PriceBar> AggregateBars(const std::vector<PriceBar>& daily, int (*groupKey)(int)) {
  std::vector<PriceBar> out;
  int key = 0;
  for (const PriceBar& bar : daily) {
    const int k = groupKey(bar.day);
    if (out.empty() || k != key) {
      out.push_back(bar);
      key = k;
      continue;
    }
    PriceBar& group = out.back();
    group.high = std::max(group.high, bar.high);
    group.low = std::min(group.low, bar.low);
    group.close = bar.close;
    group.adjClose = bar.adjClose;
    group.volume += bar.volume;
  }
  return out;
}

void FillPeriodBars(PriceSeries& series) {
  series.weekly = AggregateBars(series.daily, WeekKey);
  series.monthly = AggregateBars(series.daily, MonthKey);
}

}  // namespace velmora::standin
