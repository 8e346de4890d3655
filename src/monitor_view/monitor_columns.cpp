#include "monitor_view/monitor_columns.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <string_view>

#include "monitor/cell_texts.h"
#include "monitor/security_store.h"
#include "monitor_view/monitor_list_painter.h"

namespace velmora {

namespace {

// A value wider than this runs over its neighbours as before rather than
// pushing the whole table off the screen (numbers that long are nonsense).
constexpr int kWidestColumn = 32;

// Room for `text` with a blank before it.
bool grow(int& width, std::string_view text) {
  const int wanted = std::min(static_cast<int>(text.size()) + 1, kWidestColumn);
  if (wanted <= width) return false;
  width = wanted;
  return true;
}

int compareMarks(const char* a, const char* b) {
  // Marks first ("B" before "S"), blanks last.
  if ((*a == '\0') != (*b == '\0')) return *a == '\0' ? 1 : -1;
  return std::strcmp(a, b);
}

double numericKey(const QuoteBar& bar, MonitorColumn column) {
  switch (column) {
    case MonitorColumn::Open:
      return bar.open;
    case MonitorColumn::High:
      return bar.high;
    case MonitorColumn::Low:
      return bar.low;
    case MonitorColumn::Close:
      return bar.close;
    case MonitorColumn::Volume:
      return static_cast<double>(bar.volume);
    case MonitorColumn::VolumeAverage:
      return static_cast<double>(bar.volumeAvg50);
    case MonitorColumn::Change:
      return bar.changePercent;
    case MonitorColumn::ToEma10:
      return bar.toEma10Percent;
    case MonitorColumn::Above5:
      return bar.ema5;
    case MonitorColumn::Above10:
      return bar.ema10;
    case MonitorColumn::Above20:
      return bar.ema20;
    case MonitorColumn::Above50:
      return bar.ema50;
    case MonitorColumn::Rsi:
      return bar.rsi;
    case MonitorColumn::StochK:
      return bar.stochK;
    case MonitorColumn::StochD:
      return bar.stochD;
    default:
      return 0;
  }
}

// <0, 0, >0 as a sorts before, with or after b (ascending).
int compareRows(const SecurityData& a, const SecurityData& b, MonitorColumn column) {
  if (column == MonitorColumn::Symbol) return std::strcmp(a.displaySymbol, b.displaySymbol);
  if (column == MonitorColumn::Time) return std::strcmp(a.bars[0].time, b.bars[0].time);
  if (column >= MonitorColumn::Bs0) {
    const int bar = static_cast<int>(column) - static_cast<int>(MonitorColumn::Bs0);
    return compareMarks(a.bars[bar].signalMark, b.bars[bar].signalMark);
  }
  const double x = numericKey(a.bars[0], column);
  const double y = numericKey(b.bars[0], column);
  return x < y ? -1 : (y < x ? 1 : 0);
}

}  // namespace

int MonitorColumns::width(MonitorColumn column, const MonitorSwitches& switches) const {
  switch (column) {
    case MonitorColumn::Symbol:
      return symbol;
    case MonitorColumn::Time:
      return time;
    case MonitorColumn::Open:
      return price[0];
    case MonitorColumn::High:
      return price[1];
    case MonitorColumn::Low:
      return price[2];
    case MonitorColumn::Close:
      return price[3];
    case MonitorColumn::Volume:
      return switches.volume ? volume : 0;
    case MonitorColumn::VolumeAverage:
      return switches.volume ? volumeAverage + volumeRatio : 0;
    case MonitorColumn::Change:
      return change + changePercent + 1;
    case MonitorColumn::ToEma10:
      return switches.movingAverages ? toEma10 : 0;
    case MonitorColumn::Above5:
    case MonitorColumn::Above10:
    case MonitorColumn::Above20:
    case MonitorColumn::Above50: {
      const int k = static_cast<int>(column) - static_cast<int>(MonitorColumn::Above5);
      return switches.movingAverages ? ema[k] + kFlagWidth : 0;
    }
    case MonitorColumn::Rsi:
      return switches.rsi ? rsi : 0;
    case MonitorColumn::StochK:
      return switches.rsi ? stochK : 0;
    case MonitorColumn::StochD:
      return switches.rsi ? stochD : 0;
    case MonitorColumn::Bs0:
    case MonitorColumn::Bs1:
    case MonitorColumn::Bs2:
    case MonitorColumn::Bs3:
    case MonitorColumn::Bs4:
      return switches.signalMarks ? kMarkWidth : 0;
    case MonitorColumn::None:
      return 0;
  }
  return 0;
}

int MonitorColumns::lineWidth(const MonitorSwitches& switches) const {
  int total = 0;
  for (int c = static_cast<int>(MonitorColumn::Symbol); c <= static_cast<int>(MonitorColumn::Bs4); ++c)
    total += width(static_cast<MonitorColumn>(c), switches);
  return total;
}

bool FitMonitorRow(MonitorColumns& columns, const SecurityData& security) {
  bool grown =
      grow(columns.symbol, {security.displaySymbol, strnlen(security.displaySymbol, kSymbolCapacity)});
  if (security.bars.count == 0) return grown;
  const QuoteBar& bar = security.bars[0];
  grown |= grow(columns.time, {bar.time, strnlen(bar.time, sizeof bar.time)});
  const MonitorRowTexts t = MakeMonitorRowTexts(security);
  const std::string* prices[4] = {&t.open, &t.high, &t.low, &t.close};
  for (int i = 0; i < 4; ++i) grown |= grow(columns.price[i], *prices[i]);
  grown |= grow(columns.volume, t.volume);
  grown |= grow(columns.volumeAverage, t.volumeAverage);
  grown |= grow(columns.volumeRatio, t.volumeRatio);
  grown |= grow(columns.change, t.change);
  // The '%' after the percent has a character of its own in the line.
  grown |=
      grow(columns.changePercent, std::string_view(t.changePercent).substr(0, t.changePercent.size() - 1));
  grown |= grow(columns.toEma10, t.toEma10);
  for (int k = 0; k < 4; ++k) grown |= grow(columns.ema[k], t.ema[k]);
  grown |= grow(columns.rsi, t.rsi);
  grown |= grow(columns.stochK, t.stochK);
  grown |= grow(columns.stochD, t.stochD);
  return grown;
}

MonitorColumn MonitorColumnAt(const MonitorColumns& columns, const MonitorSwitches& switches, int digitWidth,
                              int x) {
  int left = columns.originX;
  if (x < left) return MonitorColumn::None;
  for (int c = static_cast<int>(MonitorColumn::Symbol); c <= static_cast<int>(MonitorColumn::Bs4); ++c) {
    const auto column = static_cast<MonitorColumn>(c);
    left += columns.width(column, switches) * digitWidth;
    if (x < left) return column;
  }
  return MonitorColumn::None;
}

std::string_view MonitorColumnTip(MonitorColumn column) {
  switch (column) {
    case MonitorColumn::Symbol:
      return "The security's symbol";
    case MonitorColumn::Time:
      return "Time of the newest quote";
    case MonitorColumn::Open:
      return "Opening price (green above the previous close, red below)";
    case MonitorColumn::High:
      return "Highest price of the day";
    case MonitorColumn::Low:
      return "Lowest price of the day";
    case MonitorColumn::Close:
      return "Newest price (green above the open, red below)";
    case MonitorColumn::Volume:
      return "Volume of the day (K: in thousands)";
    case MonitorColumn::VolumeAverage:
      return "Average volume of the last 50 days (K: in thousands), then the day's volume as a multiple of "
             "it";
    case MonitorColumn::Change:
      return "Change from the previous close, and in percent";
    case MonitorColumn::ToEma10:
      return "Distance of the price from its 10-day moving average, in percent";
    case MonitorColumn::Above5:
      return "5-day exponential moving average; Y: the price is above it";
    case MonitorColumn::Above10:
      return "10-day exponential moving average; Y: the price is above it";
    case MonitorColumn::Above20:
      return "20-day exponential moving average; Y: the price is above it";
    case MonitorColumn::Above50:
      return "50-day exponential moving average; Y: the price is above it";
    case MonitorColumn::Rsi:
      return "Relative strength index over 14 days";
    case MonitorColumn::StochK:
      return "Stochastic %K over 14 days, smoothed over 3 days";
    case MonitorColumn::StochD:
      return "Stochastic %D: the %K averaged over 3 days";
    case MonitorColumn::Bs0:
      return "Buy (B) or sell (S) signal of the newest day";
    case MonitorColumn::Bs1:
      return "Buy (B) or sell (S) signal of 1 day before";
    case MonitorColumn::Bs2:
      return "Buy (B) or sell (S) signal of 2 days before";
    case MonitorColumn::Bs3:
      return "Buy (B) or sell (S) signal of 3 days before";
    case MonitorColumn::Bs4:
      return "Buy (B) or sell (S) signal of 4 days before";
    case MonitorColumn::None:
      return {};
  }
  return {};
}

std::vector<int> MonitorSortOrder(const SecurityStore& store, MonitorColumn column, bool descending) {
  if (column == MonitorColumn::None) return {};
  const int count = store.count();
  std::vector<std::unique_ptr<SecurityData>> rows(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    rows[static_cast<size_t>(i)] = std::make_unique<SecurityData>();
    if (!store.Read(i, *rows[static_cast<size_t>(i)])) rows[static_cast<size_t>(i)].reset();
  }
  std::vector<int> order(static_cast<size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  auto loaded = [&](int i) {
    const auto& row = rows[static_cast<size_t>(i)];
    return row != nullptr && (row->bars.count > 0 || column == MonitorColumn::Symbol);
  };
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
    const bool la = loaded(a);
    const bool lb = loaded(b);
    if (la != lb) return la;
    if (!la) return false;
    const int c = compareRows(*rows[static_cast<size_t>(a)], *rows[static_cast<size_t>(b)], column);
    return descending ? c > 0 : c < 0;
  });
  return order;
}

}  // namespace velmora
