#include "chart/indicator_panel_painter.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/text_helpers.h"

namespace velmora {

namespace {

constexpr QRgb kBlack = rgb(0, 0, 0);
constexpr QRgb kRed = rgb(255, 0, 0);
constexpr QRgb kReferenceGrey = rgb(196, 196, 196);
constexpr QRgb kFillGreen = rgb(0, 144, 0);

// Header text: axisFont, black on an opaque box of the background colour.
void selectHeaderText(Surface& surface, const ChartViewModel& m) {
  surface.selectFont(m.axisFont);
  surface.setTextColour(m.textColour);
  surface.setBackgroundColour(m.backgroundColour);
  surface.setBackgroundMode(BackgroundMode::Opaque);
}

const QuoteBar& barOrFresh(const ChartViewModel& m, int i) {
  static const QuoteBar kFresh;
  return i >= 0 && i < m.data.barCount() ? m.bar(i) : kFresh;
}

std::string stochasticsText(const ChartSettings& s, const QuoteBar& bar) {
  char text[160];
  std::snprintf(text, sizeof text, "Stochastics(%d, %d, %d) %%K = %.2lf, %%D = %.2lf", s.stochFirst,
                s.stochSecond, s.stochThird, bar.stochK, bar.stochD);
  return text;
}

std::string rsiText(const ChartSettings& s, const QuoteBar& bar) {
  char text[96];
  std::snprintf(text, sizeof text, "RSI( %d ) = %.2lf", s.rsiPeriod, bar.rsi);
  return text;
}

void topLine(Surface& surface, const ChartViewModel& m, int y) {
  surface.selectPen(Pen::solid(kBlack));
  surface.moveTo(m.leftMargin, y);
  surface.lineTo(m.plotRight(), y);
}

// x where the segment (px, py)-(x, y) meets the line at `level`. A segment
// that is level or vertical after truncation has no such point; the
// current x stands in.
int crossingX(int px, int py, int x, int y, int level) {
  if (y == py || x == px) return x;
  const double slope = static_cast<double>(y - py) / static_cast<double>(x - px);
  return TruncToInt(static_cast<double>(level - py) / slope + px);
}

// Where a 0-to-100 panel stands, and its two solid reference levels; the
// 50 line between them is dotted.
struct PercentPanel {
  int top;
  int bottom;
  int height;
  double upper;
  const char* upperLabel;
  double lower;
  const char* lowerLabel;
};

// The panel's header text at its top left and its three reference lines.
void drawPercentHeader(Surface& surface, const ChartViewModel& m, const PercentPanel& panel,
                       const std::string& text) {
  SurfaceRestorer restorer(surface);
  selectHeaderText(surface, m);
  surface.textOut(m.leftMargin + 2, panel.top + 1, text);
  surface.selectPen(Pen::dotted(kReferenceGrey));
  DrawReferenceLine(surface, m, panel.bottom, panel.height, 0.5, "50");
  surface.selectPen(Pen::solid(kReferenceGrey));
  DrawReferenceLine(surface, m, panel.bottom, panel.height, panel.upper, panel.upperLabel);
  DrawReferenceLine(surface, m, panel.bottom, panel.height, panel.lower, panel.lowerLabel);
}

// A panel's top line in a one-pixel black pen, then its header text over
// the old one.
void rewriteHeader(Surface& surface, const ChartViewModel& m, int top, const std::string& text) {
  SurfaceRestorer restorer(surface);
  topLine(surface, m, top);
  selectHeaderText(surface, m);
  surface.textOut(m.leftMargin + 2, top + 1, text);
}

}  // namespace

// ---- headers ----------------------------------------------------------------

void DrawReferenceLine(Surface& surface, const ChartViewModel& m, int bottom, int height, double f,
                       const char* label) {
  const int y = bottom - TruncToInt(height * f);
  surface.moveTo(m.leftMargin, y);
  surface.lineTo(m.plotRight(), y);
  const TextExtent extent = surface.textExtent(label);
  surface.textOut(m.plotRight() + 4, y - extent.height / 2, label);
}

void DrawStochasticsHeader(Surface& surface, const ChartViewModel& m) {
  drawPercentHeader(surface, m, {m.stochTop, m.stochBottom, m.stochPlotHeight, 0.8, "80", 0.2, "20"},
                    stochasticsText(m.settings, m.newestBar()));
}

void DrawRsiHeader(Surface& surface, const ChartViewModel& m) {
  drawPercentHeader(surface, m, {m.rsiTop, m.rsiBottom, m.rsiHeight, 0.7, "70", 0.3, "30"},
                    rsiText(m.settings, m.newestBar()));
}

std::string VolumeHeaderText(std::int64_t volume, std::int64_t average) {
  // FormatThousands reuses one buffer per thread: copy each result.
  const std::string volumeText = FormatThousands(volume);
  const std::string averageText = FormatThousands(average);
  const double ratio = average != 0 ? static_cast<double>(volume) / static_cast<double>(average) : 0.0;
  char text[128];
  std::snprintf(text, sizeof text, "Volume = %s MA50 = %s ratio = %.2lf", volumeText.c_str(),
                averageText.c_str(), ratio);
  return text;
}

void DrawVolumeHeader(Surface& surface, const ChartViewModel& m, std::int64_t volume, std::int64_t average) {
  SurfaceRestorer restorer(surface);
  selectHeaderText(surface, m);
  const std::string text = VolumeHeaderText(volume, average);
  const TextExtent extent = surface.textExtent(text);
  const int x = m.leftMargin + 2, y = m.volumeTop + 1;
  surface.fillRect({x, y, m.clientWidth / 3, y + extent.height}, m.backgroundColour);
  surface.textOut(x, y, text);
}

void RedrawRsiHeader(Surface& surface, const ChartViewModel& m, int bar) {
  rewriteHeader(surface, m, m.rsiTop, rsiText(m.settings, barOrFresh(m, bar)));
}

void RedrawStochasticsHeader(Surface& surface, const ChartViewModel& m, int bar) {
  rewriteHeader(surface, m, m.stochTop, stochasticsText(m.settings, barOrFresh(m, bar)));
}

void RedrawMacdHeader(Surface& surface, const ChartViewModel& m) {
  rewriteHeader(surface, m, m.macdTop, "MACD");
}

// ---- series -----------------------------------------------------------------

int YOfPercent(int bottom, int height, double value) { return TruncToInt(bottom - height * value * 0.01); }

void DrawStochastics(Surface& surface, const ChartViewModel& m) {
  SurfaceRestorer restorer(surface);
  std::vector<QPoint> points;
  points.reserve(static_cast<size_t>(std::max(m.oldestIndex() - m.newestIndex() + 1, 0)));
  auto drawLine = [&](const Pen& pen, double QuoteBar::*field) {
    points.clear();
    for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
      const double v = m.bar(i).*field;
      if (v <= 0) continue;  // skipped bars do not break the line
      points.emplace_back(m.slotLeft(i), YOfPercent(m.stochBottom, m.stochPlotHeight, v));
    }
    surface.selectPen(pen);
    surface.polyline(points);
  };
  drawLine(Pen::solid(kBlack, 2), &QuoteBar::stochK);
  drawLine(Pen::solid(kRed), &QuoteBar::stochD);
}

void DrawRsi(Surface& surface, const ChartViewModel& m) {
  SurfaceRestorer restorer(surface);
  const int y70 = TruncToInt(m.rsiBottom - m.rsiHeight * 0.7);
  const int y30 = TruncToInt(m.rsiBottom - m.rsiHeight * 0.3);
  const Pen linePen = Pen::solid(kBlack);
  const Pen fillPen = Pen::solid(kFillGreen);
  surface.selectBrush(Brush::solid(kFillGreen));
  int px = 0, py = 0;
  double pv = -1;
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
    const double v = m.bar(i).rsi;
    if (v <= 0) continue;  // neither drawn nor the previous point
    const int x = m.slotLeft(i);
    const int y = YOfPercent(m.rsiBottom, m.rsiHeight, v);
    if (i != m.data.oldestVisible && pv > 0) {
      surface.selectPen(linePen);
      surface.moveTo(px, py);
      surface.lineTo(x, y);
      if (v > 70 || pv > 70) {
        const int xc = crossingX(px, py, x, y, y70);
        const int right = v > 70 ? x : xc, left = pv > 70 ? px : xc;
        const QPoint corners[] = {{right, v > 70 ? y + 1 : y70 - 1},
                                  {right, y70 - 1},
                                  {left, y70 - 1},
                                  {left, pv > 70 ? py + 1 : y70 - 1}};
        surface.selectPen(fillPen);
        surface.polygon(corners);
      }
      if (v < 30 || pv < 30) {
        const int xc = crossingX(px, py, x, y, y30);
        const int right = v < 30 ? x : xc, left = pv < 30 ? px : xc;
        const QPoint corners[] = {{right, v < 30 ? y - 1 : y30 + 1},
                                  {right, y30 + 1},
                                  {left, y30 + 1},
                                  {left, pv < 30 ? py - 1 : y30 + 1}};
        surface.selectPen(fillPen);
        surface.polygon(corners);
      }
    }
    px = x, py = y, pv = v;
  }
}

void DrawVolume(Surface& surface, const ChartViewModel& m) {
  // With no volume in the window (an index) there is no scale to draw on.
  if (m.data.volumeMax <= 0) return;
  SurfaceRestorer restorer(surface);
  const double volumeMax = m.data.volumeMax;
  const Pen upPen = Pen::solid(kBlack), downPen = Pen::solid(kRed);
  const Brush upBrush = Brush::solid(kBlack), downBrush = Brush::solid(kRed);
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
    const QuoteBar& bar = m.bar(i);
    const bool up = bar.close > bar.open;
    surface.selectPen(up ? upPen : downPen);
    surface.selectBrush(up ? upBrush : downBrush);
    const int top = TruncToInt(m.volumeBottom - bar.volume / volumeMax * m.volumePlotHeight);
    surface.rectangle({m.slotLeft(i), top, m.slotRight(i), m.volumeBottom - 1});
  }
  std::vector<QPoint> points;
  points.reserve(static_cast<size_t>(std::max(m.oldestIndex() - m.newestIndex() + 1, 0)));
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i)
    points.emplace_back(m.slotLeft(i),
                        TruncToInt(m.volumeBottom - m.bar(i).volumeAvg50 / volumeMax * m.volumePlotHeight));
  surface.selectPen(Pen::solid(kBlack));
  surface.polyline(points);
}

}  // namespace velmora
