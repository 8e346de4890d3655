#pragma once

// The price panel's contents, drawn after the price grid: the price bars in
// the chart's style, the six exponential moving averages with their legend,
// circles on buy and sell bars and triangles where the confirmed trend
// changed. Every function walks the visible bars oldest (left) to newest
// and leaves the surface's selections as it found them, except where noted.

#include "chart/chart_model.h"
#include "draw/surface.h"

namespace velmora {

// By the settings' style: "Candle" candles, "Line" a black close line
// through the bar centres, "Bar" open-high-low-close bars; any other style
// draws nothing.
void DrawPriceBars(Surface& surface, const ChartViewModel& model);

// Bodies from open to close (white with a black outline when close > open,
// red otherwise; a one-pixel line when open and close share a row) and
// wicks from the body to the high and the low.
void DrawCandles(Surface& surface, const ChartViewModel& model);
void DrawCloseLine(Surface& surface, const ChartViewModel& model);
void DrawOhlcBars(Surface& surface, const ChartViewModel& model);

// The six averages in their colours, from the second visible bar on; a
// value outside the visible price range (0 before an average has enough
// bars) is skipped and the line resumes from its last point. Then the
// legend for the newest visible bar.
void DrawAverages(Surface& surface, const ChartViewModel& model);

// The legend row for bar `bar`: "EMA(5) 12.34" and so on, each in its
// average's colour, 16 pixels apart, on a cleared row at the top. Leaves
// the text background colour at the model's background colour and the text
// colour at its text colour.
void DrawLegend(Surface& surface, const ChartViewModel& model, int bar);

// Where the legend row of bar `bar` ends: the right edge of its last
// entry. Leaves the surface's selections as they were.
int LegendRight(Surface& surface, const ChartViewModel& model, int bar);

// A 24-pixel circle round the lower end of the body: green for "B", red
// for "S".
void DrawSignalCircles(Surface& surface, const ChartViewModel& model);

// Where the trend changed: a white triangle with a green outline pointing
// up 4 pixels below the low (turned up), or with a red outline pointing down
// 4 pixels above the high (turned down).
void DrawTrendTriangles(Surface& surface, const ChartViewModel& model);

}  // namespace velmora
