#include "chart/price_panel_painter.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace velmora {

namespace {

constexpr QRgb kBlack = rgb(0, 0, 0);
constexpr QRgb kWhite = rgb(255, 255, 255);
constexpr QRgb kRed = rgb(255, 0, 0);
constexpr QRgb kMarkGreen = rgb(0, 255, 0);

void line(Surface& surface, int x0, int y0, int x1, int y1) {
  surface.moveTo(x0, y0);
  surface.lineTo(x1, y1);
}

}  // namespace

void DrawPriceBars(Surface& surface, const ChartViewModel& m) {
  const std::string& style = m.settings.style;
  if (style == "Candle")
    DrawCandles(surface, m);
  else if (style == "Line")
    DrawCloseLine(surface, m);
  else if (style == "Bar")
    DrawOhlcBars(surface, m);
}

void DrawCandles(Surface& surface, const ChartViewModel& m) {
  SurfaceRestorer restorer(surface);
  const Pen upPen = Pen::solid(kBlack), downPen = Pen::solid(kRed);
  const Brush upBrush = Brush::solid(kWhite), downBrush = Brush::solid(kRed);
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
    const QuoteBar& bar = m.bar(i);
    const bool up = bar.open < bar.close;
    surface.selectPen(up ? upPen : downPen);
    surface.selectBrush(up ? upBrush : downBrush);
    const int top = m.yOfPrice(std::max(bar.open, bar.close));
    const int bottom = m.yOfPrice(std::min(bar.open, bar.close));
    const int left = m.slotLeft(i), right = m.slotRight(i);
    if (top == bottom)
      line(surface, left, top, right, bottom);
    else
      surface.rectangle({left, top, right, bottom});
    const int c = left + (right - left) / 2;
    line(surface, c, top, c, m.yOfPrice(bar.high));
    line(surface, c, bottom, c, m.yOfPrice(bar.low));
  }
}

void DrawCloseLine(Surface& surface, const ChartViewModel& m) {
  SurfaceRestorer restorer(surface);
  std::vector<QPoint> points;
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i)
    points.emplace_back(m.slotCentre(i), m.yOfPrice(m.bar(i).close));
  surface.selectPen(Pen::solid(kBlack));
  surface.polyline(points);
}

void DrawOhlcBars(Surface& surface, const ChartViewModel& m) {
  SurfaceRestorer restorer(surface);
  const Pen upPen = Pen::solid(kBlack), downPen = Pen::solid(kRed);
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
    const QuoteBar& bar = m.bar(i);
    surface.selectPen(bar.open < bar.close ? upPen : downPen);
    const int left = m.slotLeft(i), right = m.slotRight(i);
    const int c = left + (right - left) / 2;
    // High to low inclusive; open tick to the left, close tick to the right.
    line(surface, c, m.yOfPrice(bar.high), c, m.yOfPrice(bar.low) + 1);
    line(surface, left, m.yOfPrice(bar.open), c, m.yOfPrice(bar.open));
    line(surface, c + 1, m.yOfPrice(bar.close), right, m.yOfPrice(bar.close));
  }
}

void DrawAverages(Surface& surface, const ChartViewModel& m) {
  constexpr int kAverages = 6;
  const Pen oldPen = surface.pen();
  Pen pens[kAverages];
  for (int k = 0; k < kAverages; ++k) pens[k] = Pen::solid(m.emaColours[k]);
  int prevY[kAverages] = {};
  bool hasPrev[kAverages] = {};
  int prevX = 0;
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
    const int x = m.slotLeft(i);
    if (i != m.data.oldestVisible) {
      for (int k = 0; k < kAverages; ++k) {
        const double v = ChartViewModel::averageOf(m.bar(i), k);
        if (v < m.data.priceMin || v > m.data.priceMax) continue;
        const int y = m.yOfPrice(v);
        if (hasPrev[k]) {
          surface.selectPen(pens[k]);
          line(surface, prevX, prevY[k], x, y);
        }
        prevY[k] = y;
        hasPrev[k] = true;
      }
    }
    prevX = x;
  }
  DrawLegend(surface, m, m.data.newestVisible);
  surface.selectPen(oldPen);
}

namespace {

constexpr int kLegendLeft = 4;
constexpr int kLegendGap = 16;

std::string legendEntry(const ChartViewModel& m, int k, double value) {
  char text[96];
  std::snprintf(text, sizeof text, "%s %.2lf", m.emaLabels[k].c_str(), value);
  return text;
}

}  // namespace

int LegendRight(Surface& surface, const ChartViewModel& m, int barIndex) {
  const FontSpec oldFont = surface.selectFont(m.axisFont);
  int right = kLegendLeft;
  const int count = std::clamp(m.emaCount, 0, kLegendCapacity);
  for (int k = 0; k < count; ++k)
    right += (k == 0 ? 0 : kLegendGap) +
             surface.textExtent(legendEntry(m, k, ChartViewModel::averageOf(m.bar(barIndex), k))).width;
  surface.selectFont(oldFont);
  return right;
}

void DrawLegend(Surface& surface, const ChartViewModel& m, int barIndex) {
  static const QuoteBar kFresh;
  const QuoteBar& bar = barIndex >= 0 && barIndex < m.data.barCount() ? m.bar(barIndex) : kFresh;
  const FontSpec oldFont = surface.selectFont(m.axisFont);
  const BackgroundMode oldMode = surface.setBackgroundMode(BackgroundMode::Opaque);
  const int h = surface.textExtent("0123456789").height;
  surface.fillRect({4, 2, m.clientWidth + 4, h + 2}, m.backgroundColour);
  surface.setBackgroundColour(m.backgroundColour);
  int x = kLegendLeft;
  const int count = std::clamp(m.emaCount, 0, kLegendCapacity);
  for (int k = 0; k < count; ++k) {
    const std::string text = legendEntry(m, k, ChartViewModel::averageOf(bar, k));
    const int width = surface.textExtent(text).width;
    surface.setTextColour(m.emaColours[k]);
    surface.textOut(x, 2, text);
    x += width + kLegendGap;
  }
  surface.setBackgroundMode(oldMode);
  surface.selectFont(oldFont);
  surface.setTextColour(m.textColour);
}

void DrawSignalCircles(Surface& surface, const ChartViewModel& m) {
  const Pen oldPen = surface.pen();
  const Pen buyPen = Pen::solid(kMarkGreen), sellPen = Pen::solid(kRed);
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
    const QuoteBar& bar = m.bar(i);
    const char mark = bar.signalMark[0];
    if (mark != 'B' && mark != 'S') continue;
    surface.selectPen(mark == 'B' ? buyPen : sellPen);
    const int y = m.yOfPrice(std::min(bar.open, bar.close));
    const int c = m.slotCentre(i);
    // Start and end on the same ray: the whole outline.
    surface.arc({c - 12, y - 12, c + 12, y + 12}, {c + 12, y}, {c + 12, y});
  }
  surface.selectPen(oldPen);
}

void DrawTrendTriangles(Surface& surface, const ChartViewModel& m) {
  // Half width truncate(sin(pi/6) * 15) = 7, height truncate(cos(pi/6) * 15)
  // = 12, set 4 pixels off the bar.
  constexpr int kHalfWidth = 7, kNear = 4, kFar = 4 + 12;
  SurfaceRestorer restorer(surface);
  surface.selectBrush(Brush::solid(kWhite));
  const Pen upPen = Pen::solid(kMarkGreen), downPen = Pen::solid(kRed);
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
    const QuoteBar& bar = m.bar(i);
    if (bar.trendChanged == 0) continue;
    const int c = m.slotCentre(i);
    if (bar.trend == kUp) {
      const int y = m.yOfPrice(bar.low);
      const QPoint points[] = {{c, y + kNear}, {c - kHalfWidth, y + kFar}, {c + kHalfWidth, y + kFar}};
      surface.selectPen(upPen);
      surface.polygon(points);
    } else {
      const int y = m.yOfPrice(bar.high);
      const QPoint points[] = {{c, y - kNear}, {c - kHalfWidth, y - kFar}, {c + kHalfWidth, y - kFar}};
      surface.selectPen(downPen);
      surface.polygon(points);
    }
  }
}

}  // namespace velmora
