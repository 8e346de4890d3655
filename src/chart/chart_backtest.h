#pragma once

// The back-test on a chart: the marks as each evening showed them, traded
// over the visible bars, drawn as arrows at the traded prices with a line
// that sums the trades up; and the texts of those figures for the Detail
// Quote dialog.

#include <string>

#include "backtest/backtest.h"
#include "chart/chart_model.h"
#include "draw/surface.h"

namespace velmora {

// Arrow colours: entries and exits, apart from the buy and sell circles.
inline constexpr QRgb kBacktestEntryColour = rgb(0, 160, 224);
inline constexpr QRgb kBacktestExitColour = rgb(255, 128, 0);

// With the settings' back-test switch on, walks the marks once over the
// chart's bars and trades them over the visible bars with the default
// costs, the chart's index flag and `confirmDays`; with it off, or without
// visible bars, leaves the model's back-test empty.
void PrepareChartBacktest(ChartViewModel& model, int confirmDays);

// "Back-test: 5 trades, 60% won, +12.34%, max drawdown -8.10%, buy & hold
// +9.87%": an open position is named after the closed trades ("5 trades +
// 1 open"), and the share won is left out while no trade has closed.
std::string BacktestSummaryLine(const BacktestSummary& summary);

// The figures one by one, as the Detail Quote dialog shows them.
struct BacktestFigureTexts {
  std::string trades;       // "5", "5 + 1 open"
  std::string won;          // "60.00%"; empty without a closed trade
  std::string totalReturn;  // "+12.34%"
  std::string maxDrawdown;  // "-8.10%", "0.00%"
  std::string buyAndHold;   // "+9.87%"
};
BacktestFigureTexts BacktestFigures(const BacktestSummary& summary);

// Where a trade's arrow points: up for a purchase (a long entry, a short
// exit), down for a sale; its tip is at the traded price, its shaft away
// from it. Entries in the entry colour, exits (not an open trade's) in the
// exit colour; then the summary line on an opaque box at the top left of
// the price panel, under the legend row, cut to the plot's width. Nothing
// while the model holds no back-test.
void DrawBacktestTrades(Surface& surface, const ChartViewModel& model);

// The arrow's tip for a fill at `price` on bar `bar`.
QPoint BacktestArrowTip(const ChartViewModel& model, int bar, double price);
// The top left corner of the summary line.
QPoint BacktestLineOrigin(const ChartViewModel& model);

}  // namespace velmora
