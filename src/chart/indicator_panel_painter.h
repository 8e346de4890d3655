#pragma once

// The indicator panels under the price panel: volume bars with their
// 50-bar average, the RSI line with its overbought and oversold fills, the
// Stochastics %K and %D lines, and the headers and reference lines of the
// volume, RSI, Stochastics and MACD panels. Geometry comes from the layout
// pass (chart_layout.h); every function leaves the surface's selections as
// it found them.

#include <cstdint>
#include <string>

#include "chart/chart_model.h"
#include "draw/surface.h"

namespace velmora {

// ---- headers and reference lines (the layout pass and the pointer) ----

// A reference line across the plot at fraction f of a panel of value height
// `height` above `bottom`, labelled in the price-label column, drawn with
// the surface's current pen and font.
void DrawReferenceLine(Surface& surface, const ChartViewModel& model, int bottom, int height, double f,
                       const char* label);

// "Stochastics(14, 3, 3) %K = 45.67, %D = 50.12" for the newest visible bar
// and the reference lines 50 (dotted), 80 and 20.
void DrawStochasticsHeader(Surface& surface, const ChartViewModel& model);
// "RSI( 14 ) = 61.23" for the newest visible bar and the lines 50, 70, 30.
void DrawRsiHeader(Surface& surface, const ChartViewModel& model);

// "Volume = 1,500,000 MA50 = 1,000,000 ratio = 1.50"; the ratio reads 0.00
// when the average is 0 (an index without volume, the first bars).
std::string VolumeHeaderText(std::int64_t volume, std::int64_t average);
// The volume text on a cleared box at the panel's top left.
void DrawVolumeHeader(Surface& surface, const ChartViewModel& model, std::int64_t volume,
                      std::int64_t average);

// For the bar under the pointer: the panel's top line in a one-pixel black
// pen, then its header text over the old one.
void RedrawRsiHeader(Surface& surface, const ChartViewModel& model, int bar);
void RedrawStochasticsHeader(Surface& surface, const ChartViewModel& model, int bar);
void RedrawMacdHeader(Surface& surface, const ChartViewModel& model);

// ---- series ----

// y of a 0-to-100 value in a panel with `bottom` and value height `height`.
int YOfPercent(int bottom, int height, double value);

// %K (2 px black) then %D (red), skipping bars whose value is 0 or less.
void DrawStochastics(Surface& surface, const ChartViewModel& model);
// The RSI line; the parts beyond 70 and 30 filled dark green one pixel
// clear of the line and the level, up to the crossing point.
void DrawRsi(Surface& surface, const ChartViewModel& model);
// Volume bars (black when close > open, red otherwise) and the 50-bar
// average line; nothing when the highest visible volume is 0.
void DrawVolume(Surface& surface, const ChartViewModel& model);

}  // namespace velmora
