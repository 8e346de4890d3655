#include "chart/chart_painter.h"

#include "chart/chart_backtest.h"
#include "chart/chart_layout.h"
#include "chart/indicator_panel_painter.h"
#include "chart/pointer_overlays.h"
#include "chart/price_panel_painter.h"

namespace velmora {

void BeginChartPaint(Surface& surface, ChartViewModel& m) {
  surface.fillRect({0, 0, surface.width(), surface.height()}, m.backgroundColour);
  surface.setBackgroundColour(m.backgroundColour);
  surface.setTextColour(m.textColour);
  m.clientWidth = surface.width();
  m.clientHeight = surface.height();
}

void PaintChart(Surface& surface, ChartViewModel& m, const ChartOverlayHook& overlays) {
  m.repainted = 1;
  // The month axis is drawn first, under everything else, yet with this
  // paint's bar spacing: after loading, the spacing the model holds was
  // worked out before any price label had been measured.
  MeasureAxisColumn(surface, m);
  // The frame's top depends on whether the legend and the box share a row.
  PlaceBarInfoLine(surface, m);
  DrawMonthAxis(surface, m);
  LayoutChart(surface, m);
  const ChartSettings& s = m.settings;
  if (s.showStochastics != 0) DrawStochastics(surface, m);
  if (s.showRsi != 0) DrawRsi(surface, m);
  if (s.showVolume != 0) DrawVolume(surface, m);
  DrawPriceGrid(surface, m);
  DrawPriceBars(surface, m);
  DrawAverages(surface, m);
  DrawSignalCircles(surface, m);
  DrawTrendTriangles(surface, m);
  if (s.showBacktest != 0) DrawBacktestTrades(surface, m);
  surface.flush();
  if (overlays) overlays(surface, m);
}

}  // namespace velmora
