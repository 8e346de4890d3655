#pragma once

// A whole chart paint of a loaded chart, in its fixed order (later items
// over earlier ones): month axis, layout pass with frame, separators,
// headers and reference lines, Stochastics, RSI, volume, price grid and
// price bars, moving averages with their legend, buy/sell circles, trend
// triangles, the back-test's trades and summary line when they are switched
// on, and last the pointer overlays through a hook.

#include <functional>

#include "chart/chart_model.h"
#include "draw/surface.h"

namespace velmora {

// The start of every paint of a view: the whole surface filled with the
// background colour, the text background and text colours set, and the
// surface's size stored as the client size.
void BeginChartPaint(Surface& surface, ChartViewModel& model);

// Draws what the pointer shows for (lastPointerX, lastPointerY).
using ChartOverlayHook = std::function<void(Surface&, ChartViewModel&)>;

// Sets repainted = 1, draws the chart from the model (the layout pass
// updates its geometry), then flushes the surface and calls `overlays`, if
// given. Expects a surface begun with BeginChartPaint, whose current font is
// the one the month labels use.
void PaintChart(Surface& surface, ChartViewModel& model, const ChartOverlayHook& overlays = {});

}  // namespace velmora
