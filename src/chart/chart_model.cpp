#include "chart/chart_model.h"

#include <algorithm>
#include <cmath>

namespace velmora {

int TruncToInt(double value) {
  // Far beyond any canvas, yet small enough that sums of two stay in range.
  constexpr double kLimit = 1 << 28;
  if (std::isnan(value)) return 0;
  if (value >= kLimit) return static_cast<int>(kLimit);
  if (value <= -kLimit) return -static_cast<int>(kLimit);
  return static_cast<int>(value);
}

ChartViewModel::ChartViewModel() {
  const QRgb colours[] = {rgb(255, 255, 0), rgb(0, 0, 0),     rgb(0, 0, 255),
                          rgb(255, 0, 0),   rgb(255, 0, 255), rgb(0, 144, 0)};
  const char* labels[] = {"EMA(5)", "EMA(10)", "EMA(20)", "EMA(50)", "EMA(100)", "EMA(200)"};
  for (int k = 0; k < 6; ++k) {
    emaColours[k] = colours[k];
    emaLabels[k] = labels[k];
  }
}

int ChartViewModel::slotLeft(int i) const {
  return TruncToInt((data.oldestVisible - i) * barSpacing + leftMargin);
}

int ChartViewModel::slotRight(int i) const { return TruncToInt(slotLeft(i) + barSpacing - barGap); }

int ChartViewModel::slotCentre(int i) const {
  const int left = slotLeft(i);
  return left + (slotRight(i) - left) / 2;
}

int ChartViewModel::yOfPrice(double price) const {
  return priceBottom - TruncToInt((price - data.priceMin) * priceScale) - priceBottomInset;
}

double ChartViewModel::priceAtY(int y) const {
  // The layout pass never leaves a zero scale; before it runs there is no
  // price to name, so the lowest price stands in.
  if (priceScale == 0) return data.priceMin;
  return (priceBottom - priceBottomInset - y) / priceScale + data.priceMin;
}

int ChartViewModel::barAtX(int x) const {
  if (x <= leftMargin) return data.oldestVisible;
  if (x >= clientWidth - axisWidth) return data.newestVisible;
  if (barSpacing <= 0) return data.oldestVisible;
  return data.oldestVisible - TruncToInt((x - leftMargin) / barSpacing);
}

void ChartViewModel::updateBarSpacing() {
  if (data.visibleCount > 0)
    barSpacing = static_cast<double>(clientWidth - axisWidth - leftMargin) / data.visibleCount;
}

int ChartViewModel::oldestIndex() const { return std::min(data.oldestVisible, data.barCount() - 1); }

int ChartViewModel::newestIndex() const { return std::max(data.newestVisible, 0); }

const QuoteBar& ChartViewModel::newestBar() const {
  static const QuoteBar kFresh;
  const int i = newestIndex();
  return i < data.barCount() ? data.bars[i] : kFresh;
}

double ChartViewModel::averageOf(const QuoteBar& bar, int k) {
  switch (k) {
    case 0:
      return bar.ema5;
    case 1:
      return bar.ema10;
    case 2:
      return bar.ema20;
    case 3:
      return bar.ema50;
    case 4:
      return bar.ema100;
    case 5:
      return bar.ema200;
    default:
      return 0;
  }
}

}  // namespace velmora
