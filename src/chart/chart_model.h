#pragma once

// The chart-mode state of a chart view: its data, its layout values and the
// conversions between bars, prices and pixels that every chart painter and
// the pointer overlays use. A plain record the view owns; the painters read
// it and the layout pass writes its geometry.
//
// Coordinates are integer device pixels of the client area, origin at the
// top left, y downwards; every conversion truncates toward zero.

#include <QRgb>
#include <array>
#include <string>
#include <vector>

#include "backtest/backtest.h"
#include "core/chart_data.h"
#include "core/chart_settings.h"
#include "core/quote_bar.h"
#include "draw/surface_types.h"

namespace velmora {

inline constexpr int kLegendCapacity = 10;
// The chart frame's distance from the top of the view while the legend and
// the open-high-low-close box share the top row.
inline constexpr int kChartTopMargin = 20;
inline constexpr int kPanelHeight = 80;  // every indicator panel

// The back-test of a chart's marks, made once when its data is prepared
// (PrepareChartBacktest): the trades of the visible bars, their figures and
// the line that sums them up.
struct ChartBacktest {
  bool ready = false;
  std::vector<BacktestTrade> trades;
  BacktestSummary summary;
  std::string line;
};

struct ChartViewModel {
  ChartViewModel();

  int clientWidth = -1;
  int clientHeight = -1;
  int leftMargin = 0;
  int axisWidth = 24;
  int topMargin = kChartTopMargin;  // a row more while the box has a row of its own
  int bottomMargin = 20;
  int priceBottom = 0;
  int priceTop = 20;
  int priceTopInset = 8;
  int priceBottomInset = 8;
  double priceScale = 0;
  int volumeTop = 0, volumeBottom = 0, volumePlotHeight = 0;
  int rsiTop = 0, rsiBottom = 0, rsiHeight = 0;
  int macdTop = 0, macdBottom = 0;
  int stochTop = 0, stochBottom = 0, stochPlotHeight = 0;
  int barGap = 2;
  double barSpacing = 0;
  double priceStep = 0;

  FontSpec axisFont{14, 0, FontPitch::Variable};
  FontSpec labelFont{14, 200, FontPitch::Fixed};  // the pointer's price label
  int axisTextWidth = 0;
  int axisTextHeight = 0;

  QRgb backgroundColour = rgb(214, 214, 214);
  QRgb textColour = rgb(0, 0, 0);
  std::array<QRgb, kLegendCapacity> emaColours{};
  std::array<std::string, kLegendCapacity> emaLabels{};
  int emaCount = 6;

  // The open-high-low-close box: the top of its row (2, the legend's row,
  // or the row under it), and on a row of its own the width it is cleared
  // to, that of the widest box the visible bars give (PlaceBarInfoLine).
  int infoLineTop = 2;
  int infoLineWidth = 0;

  unsigned repainted = 1;
  int lastPointerX = -1;
  int lastPointerY = -1;
  int savedLabelWidth = 0;
  int savedLabelHeight = 0;
  unsigned selecting = 0;
  int bandLeft = 0, bandTop = 0, bandRight = 0, bandBottom = 0;

  ChartSettings settings;
  // Series, trend state, visible window and extents (visibleCount,
  // priceMax/Min, volumeMax/Min, newestVisible, oldestVisible).
  ChartData data;
  ChartBacktest backtest;

  // ---- geometry ----
  int plotRight() const { return clientWidth - axisWidth; }
  int frameBottom() const { return clientHeight - bottomMargin; }

  // Slot of bar i: left edge, right edge (barGap short of the next slot)
  // and centre.
  int slotLeft(int i) const;
  int slotRight(int i) const;
  int slotCentre(int i) const;

  int yOfPrice(double price) const;
  double priceAtY(int y) const;
  int barAtX(int x) const;

  // (clientWidth - axisWidth - leftMargin) / visibleCount; left as it was
  // while nothing is visible.
  void updateBarSpacing();

  // ---- the visible bars, clamped to the bars that exist ----
  // Painters walk i from oldestIndex() down to newestIndex(); the range is
  // empty (oldestIndex() < newestIndex()) when there are no bars.
  int oldestIndex() const;
  int newestIndex() const;
  const QuoteBar& bar(int i) const { return data.bars[i]; }
  // The bar the headers name: the newest visible one (a fresh bar when the
  // series is empty).
  const QuoteBar& newestBar() const;
  // Bar i's average k (0..5: ema5 .. ema200); 0 for other k.
  static double averageOf(const QuoteBar& bar, int k);
};

// double -> int truncating toward zero, saturating far outside the canvas
// (and 0 for NaN), so absurd prices can never overflow a conversion.
int TruncToInt(double value);

}  // namespace velmora
