#pragma once

// The chart's layout pass and scales: the price step, the price-label
// column, the chart frame, the indicator panels stacked from the bottom
// with their separators and headers, the price scale; then the horizontal
// price grid with its labels and the month axis along the bottom.

#include <QSize>

#include "chart/chart_model.h"
#include "draw/surface.h"

namespace velmora {

// Distance between two price levels for a visible price range: 12.5 % of
// the range plus 0.05, cut to hundredths and down to a multiple of 0.05,
// never below 0.05 (range 10 -> 1.30, 3 -> 0.40, 0 -> 0.05).
double PriceStepFor(double range);

// The price-label column of this paint: axisTextWidth/Height of the
// highest price's label in the axis font, axisWidth 4 pixels wider, and the
// barSpacing that leaves. Leaves the surface's selections as they were.
void MeasureAxisColumn(Surface& surface, ChartViewModel& model);

// The narrowest plot a chart window keeps beside its price-label column.
inline constexpr int kMinimumPlotWidth = 160;

// Price labels the smallest price panel has room for, one above the other.
inline constexpr int kGridLabelRows = 8;

// The smallest client area in which every shown panel is drawable: the
// plot and the price-label column (as wide as the layout pass will make it,
// measured on `surface`); the top and bottom margins, the shown indicator
// panels and a price panel with room for its insets and kGridLabelRows
// price labels, so that the labels stay apart and clear of the legend above
// the frame.
QSize ChartMinimumClientSize(Surface& surface, const ChartViewModel& model);

// Sets priceStep, axisTextWidth/Height, axisWidth, every panel's top and
// bottom, the plot heights, priceBottom/priceTop, priceScale and barSpacing;
// draws the frame, the separators and the shown panels' headers and
// reference lines. Leaves the surface's selections as they were.
void LayoutChart(Surface& surface, ChartViewModel& model);

// Grey horizontal lines with "%.2lf" labels in the price-label column, one
// step apart from the first tenth above priceMin + priceStep, below priceMax.
void DrawPriceGrid(Surface& surface, const ChartViewModel& model);

// A grey vertical line at the first bar of every month and a label under
// the frame (month names, or initials beyond 366 visible bars; the two-digit
// year at January), in the surface's current font. A label that would run
// into the one drawn before it is left out. Uses the barSpacing the model
// holds: a paint measures its price-label column first, so the axis lines
// up with the bars of the same paint.
void DrawMonthAxis(Surface& surface, const ChartViewModel& model);

}  // namespace velmora
