#include "core/chart_window.h"

#include <algorithm>

namespace velmora {

char PeriodLetter(const std::string& period) {
  if (period == "Daily") return 'd';
  if (period == "Weekly") return 'w';
  return 'm';
}

bool IsIndexSymbol(const std::string& symbol) { return !symbol.empty() && symbol[0] == '^'; }

bool IsIndexChart(const ChartSettings& settings) {
  return settings.isIndex >= 0 ? settings.isIndex != 0 : IsIndexSymbol(settings.symbol);
}

HistoryRequestSpan HistoryRequestSpanFor(char periodLetter, const CalendarDate& start,
                                         const CalendarDate& end) {
  const int yearsBack = periodLetter == 'd' ? 3 : periodLetter == 'w' ? 8 : 40;
  HistoryRequestSpan span;
  span.end = end;
  span.start.year = std::min(end.year - yearsBack, start.year);
  span.start.month = std::min(end.month, start.month);
  span.start.day = std::min(end.day, start.day);
  return span;
}

CalendarDate BarDate(const QuoteBar& bar) {
  const int key = bar.DateKey();
  return {key / 10000, key / 100 % 100, key % 100};
}

namespace {

void resetWindow(ChartData& d) {
  d.newestVisible = 0;
  d.oldestVisible = d.barCount() > 0 ? d.barCount() - 1 : 0;
  d.visibleCount = 0;
  d.priceMax = kPriceMaxStart;
  d.priceMin = kPriceMinStart;
  d.volumeMax = kVolumeMaxStart;
  d.volumeMin = kVolumeMinStart;
}

void widen(ChartData& d, const QuoteBar& bar) {
  d.priceMax = std::max(d.priceMax, bar.high);
  d.priceMin = std::min(d.priceMin, bar.low);
  d.volumeMax = std::max(d.volumeMax, bar.volume);
  d.volumeMin = std::min(d.volumeMin, bar.volume);
}

// The real-time bar folds into the week it belongs to. Bar 1 keeps the
// indicator values computed before, and its volume.
void mergeIntoCurrentWeek(const QuoteBar& quote, QuoteBar& week) {
  week.high = std::max({week.high, quote.high, quote.close});
  week.low = std::min({week.low, quote.low, quote.close});
  week.close = quote.close;
}

// Whether bar 0 opens the window as a bar of its own (weekly: after merging
// it when it belongs to bar 1's week).
bool realTimeBarStartsWindow(const ChartSettings& settings, ChartData& d) {
  QuoteSeries& bars = d.bars;
  // With no history row there is no bar 1 to compare with or merge into:
  // the quote is the chart's only bar.
  if (d.barCount() == 1) return true;
  if (settings.duration == kCustomizeDuration) return false;
  if (bars[0].DateKey() == bars[1].DateKey()) return false;
  switch (PeriodLetter(settings.period)) {
    case 'd':
      return true;
    case 'w': {
      // Whole calendar days, so a daylight-saving change between the two
      // dates cannot turn a new week into the old one.
      const int days = DaysFromCivil(BarDate(bars[0])) - DaysFromCivil(BarDate(bars[1]));
      if (days > 6) return true;
      mergeIntoCurrentWeek(bars[0], bars[1]);
      return false;
    }
    default:
      return false;  // a monthly chart neither shows nor merges the quote
  }
}

}  // namespace

void FixChartWindow(const ChartSettings& settings, ChartData& d) {
  resetWindow(d);
  const int count = d.barCount();
  if (count <= 0) return;
  bool newestFound = false;
  bool widened = false;
  if (realTimeBarStartsWindow(settings, d)) {
    const QuoteBar& quote = d.bars[0];
    newestFound = true;
    widened = true;
    d.priceMax = std::max(quote.close, quote.high);
    d.priceMin = std::min(quote.close, quote.low);
    d.volumeMax = quote.volume;
    d.volumeMin = quote.volume;
  }

  const int startKey = DateKeyOf(ParseSettingsDate(settings.startDate));
  const int endKey = DateKeyOf(ParseSettingsDate(settings.endDate));
  bool oldestFound = false;
  for (int i = 1; i < count && !(newestFound && oldestFound); ++i) {
    const QuoteBar& bar = d.bars[i];
    const int key = bar.DateKey();
    if (!newestFound) {
      if (key > endKey + 7) continue;
      d.newestVisible = i;
      newestFound = true;
    }
    if (!oldestFound && key <= startKey - 7) {
      d.oldestVisible = i;
      oldestFound = true;
    }
    widen(d, bar);
    widened = true;
  }
  // Every bar is newer than the window's end (a local file later than the
  // chosen dates): the whole series stays in view, and its extents must
  // come from its own bars rather than the start values.
  if (!widened)
    for (int i = d.newestVisible; i <= d.oldestVisible; ++i) widen(d, d.bars[i]);
  d.visibleCount = d.oldestVisible - d.newestVisible + 1;
}

double ChartBarSpacing(int plotWidth, int visibleCount) {
  return visibleCount > 0 ? static_cast<double>(plotWidth) / visibleCount : 0.0;
}

}  // namespace velmora
