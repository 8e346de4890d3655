#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>

#include "chart/chart_layout.h"
#include "chart/indicator_panel_painter.h"
#include "chart_test_model.h"

namespace velmora {
namespace {

using namespace velmora::test;

// `count` bars on an 800 x 600 chart with every panel shown, laid out on a
// scratch canvas.
std::unique_ptr<ChartViewModel> allPanels(int count) {
  auto m = makeModel(count);
  m->settings.showVolume = m->settings.showRsi = m->settings.showStochastics = m->settings.showMacd = 1;
  QImage scratch = blankCanvas(800, 600);
  Surface surface(scratch);
  LayoutChart(surface, *m);
  return m;
}

template <typename Draw>
QImage paint(const ChartViewModel& m, Draw draw) {
  QImage canvas = blankCanvas(m.clientWidth, m.clientHeight);
  Surface surface(canvas);
  const SurfaceState before = surface.state();
  draw(surface);
  EXPECT_EQ(surface.state(), before);
  return canvas;
}

// RSI values, oldest first.
void setRsi(ChartViewModel& m, std::initializer_list<double> oldestFirst) {
  int i = static_cast<int>(oldestFirst.size()) - 1;
  for (double v : oldestFirst) m.data.bars[i--].rsi = v;
}

TEST(ChartRsi, CrossingAboveSeventyFillsOnlyTheTriangleBeyondIt) {
  auto m = allPanels(2);
  setRsi(*m, {65, 75});
  const QImage canvas = paint(*m, [&](Surface& s) { DrawRsi(s, *m); });
  const int px = m->slotLeft(1), py = YOfPercent(m->rsiBottom, 80, 65);
  const int x = m->slotLeft(0), y = YOfPercent(m->rsiBottom, 80, 75);
  const int y70 = static_cast<int>(m->rsiBottom - 80 * 0.7);
  const int xc = px + static_cast<int>(static_cast<double>(y70 - py) * (x - px) / (y - py));
  // Corners (x, y + 1), (x, y70 - 1), (xc, y70 - 1): one pixel clear of the
  // line and of the 70 level.
  EXPECT_EQ(boundsOfColour(canvas, kFillGreen), (Rect{xc, y + 1, x + 1, y70}));
  EXPECT_EQ(canvas.pixel(x - 2, y70 - 2), kFillGreen);
  EXPECT_EQ(canvas.pixel(xc - 1, y70 - 1), kBackground);
  EXPECT_EQ(canvas.pixel(px, py), kBlack);
  EXPECT_EQ(canvas.pixel((px + xc) / 2, y70 + 1), kBackground);  // under the level: unfilled
}

TEST(ChartRsi, StayingBeyondALevelFillsAContinuousBand) {
  auto m = allPanels(10);
  setRsi(*m, {0, 0, 75, 80, 78, 85, 76, 25, 22, 28});
  const QImage canvas = paint(*m, [&](Surface& s) { DrawRsi(s, *m); });
  const int y70 = static_cast<int>(m->rsiBottom - 80 * 0.7), y30 = static_cast<int>(m->rsiBottom - 80 * 0.3);
  for (int x = m->slotLeft(7); x <= m->slotLeft(3); ++x) EXPECT_EQ(canvas.pixel(x, y70 - 1), kFillGreen) << x;
  for (int x = m->slotLeft(2); x <= m->slotLeft(0); ++x) EXPECT_EQ(canvas.pixel(x, y30 + 1), kFillGreen) << x;
  // The line begins at the first bar with a value.
  const Rect panel{0, m->rsiTop, 800, m->rsiBottom};
  EXPECT_EQ(boundsOfColour(canvas, kBlack, panel).left, m->slotLeft(7));
}

TEST(ChartRsi, SegmentWithoutACrossingPointUsesTheCurrentX) {
  // 30.00 -> 29.90 share their row: the crossing formula would divide by
  // a zero slope and send the fill to the far left.
  auto m = allPanels(2);
  setRsi(*m, {30.0, 29.9});
  ASSERT_EQ(YOfPercent(m->rsiBottom, 80, 30.0), YOfPercent(m->rsiBottom, 80, 29.9));
  const QImage flat = paint(*m, [&](Surface& s) { DrawRsi(s, *m); });
  const Rect fill = boundsOfColour(flat, kFillGreen);
  EXPECT_GE(fill.left, m->slotLeft(0));

  // Two bars in one pixel column (a vertical segment) crossing 70.
  setRsi(*m, {65, 75});
  m->barSpacing = 0.5;
  const QImage vertical = paint(*m, [&](Surface& s) { DrawRsi(s, *m); });
  const Rect band = boundsOfColour(vertical, kFillGreen);
  EXPECT_EQ(band.left, 0);
  EXPECT_EQ(band.right, 1);
}

TEST(ChartVolume, BarsByDirectionAndTheAverageLine) {
  auto m = allPanels(4);
  const int volumes[] = {1000, 500, 250, 1000};
  for (int i = 0; i < 4; ++i) {
    QuoteBar& b = m->data.bars[i];
    b.volume = volumes[i];
    b.volumeAvg50 = 500;
    setPrices(b, 10, 11, 9, 10);  // close = open: red
  }
  setPrices(m->data.bars[1], 10, 11, 9, 10.5);  // close > open: black
  const QImage canvas = paint(*m, [&](Surface& s) { DrawVolume(s, *m); });
  const int bottom = m->volumeBottom, h = m->volumePlotHeight;
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const QRgb colour = i == 1 ? kBlack : kRed;
    const int top = static_cast<int>(bottom - volumes[i] / 1000.0 * h);
    EXPECT_EQ(canvas.pixel(m->slotLeft(i) + 2, top), colour);
    EXPECT_EQ(canvas.pixel(m->slotLeft(i) + 2, top - 1), kBackground);
    EXPECT_EQ(canvas.pixel(m->slotLeft(i) + 2, bottom - 2), colour);
    EXPECT_EQ(canvas.pixel(m->slotLeft(i) + 2, bottom - 1), kBackground);  // bottom edge left out
  }
  // The average at half the scale, across the red bars too.
  const int yAvg = static_cast<int>(bottom - 500 / 1000.0 * h);
  EXPECT_EQ(canvas.pixel(m->slotLeft(3) + 5, yAvg), kBlack);
  EXPECT_EQ(canvas.pixel(m->slotLeft(2) + 5, yAvg), kBlack);

  m->data.volumeMax = 0;  // an index without volume: no scale, nothing drawn
  EXPECT_EQ(countColour(paint(*m, [&](Surface& s) { DrawVolume(s, *m); }), kBackground), 800 * 600);
}

TEST(ChartVolume, HeaderTextAndItsClearedBox) {
  EXPECT_EQ(VolumeHeaderText(1500000, 1000000), "Volume = 1,500,000 MA50 = 1,000,000 ratio = 1.50");
  EXPECT_EQ(VolumeHeaderText(1500, 0), "Volume = 1,500 MA50 = 0 ratio = 0.00");
  EXPECT_EQ(VolumeHeaderText(5179990000LL, 4412345678LL),
            "Volume = 5,179,990,000 MA50 = 4,412,345,678 ratio = 1.17");

  auto m = allPanels(3);
  QImage canvas = blankCanvas(800, 600);
  const std::string text = VolumeHeaderText(2000, 3000);
  const TextExtent e = measure(m->axisFont, text);
  {
    Surface s(canvas);
    s.fillRect({0, 0, 800, 600}, rgb(1, 2, 3));  // a longer header before
    DrawVolumeHeader(s, *m, 2000, 3000);
  }
  EXPECT_TRUE(textAt(canvas, 2, m->volumeTop + 1, m->axisFont, text));
  // The box reaches a third of the width, the text's own box beyond it.
  EXPECT_EQ(boundsOfColour(canvas, kBackground),
            (Rect{2, m->volumeTop + 1, std::max(800 / 3, 2 + e.width), m->volumeTop + 1 + e.height}));
}

TEST(ChartStochastics, KTwoPixelsBlackDRedFromTheFirstValue) {
  auto m = allPanels(6);
  for (int i = 0; i < 6; ++i) {
    m->data.bars[i].stochK = i >= 4 ? 0 : 50;
    m->data.bars[i].stochD = i >= 5 ? 0 : 20;
  }
  const QImage canvas = paint(*m, [&](Surface& s) { DrawStochastics(s, *m); });
  const int yK = YOfPercent(m->stochBottom, m->stochPlotHeight, 50);
  const int yD = YOfPercent(m->stochBottom, m->stochPlotHeight, 20);
  const int mid = (m->slotLeft(3) + m->slotLeft(2)) / 2;
  EXPECT_EQ(canvas.pixel(mid, yK - 1), kBlack);
  EXPECT_EQ(canvas.pixel(mid, yK), kBlack);
  EXPECT_EQ(canvas.pixel(mid, yK + 1), kBackground);
  EXPECT_EQ(canvas.pixel(mid, yD), kRed);
  EXPECT_EQ(canvas.pixel(mid, yD - 1), kBackground);
  const Rect panel{0, m->stochTop, 800, m->stochBottom};
  EXPECT_GE(boundsOfColour(canvas, kBlack, panel).left, m->slotLeft(3) - 1);
  EXPECT_EQ(boundsOfColour(canvas, kRed, panel).left, m->slotLeft(4));
}

TEST(ChartIndicatorHeaders, TextsAndReferenceLines) {
  auto m = makeModel(5);
  m->settings.showVolume = m->settings.showRsi = m->settings.showStochastics = m->settings.showMacd = 1;
  QuoteBar& newest = m->data.bars[0];
  newest.rsi = 61.234, newest.stochK = 45.67, newest.stochD = 50.12;
  newest.volume = 1500000, newest.volumeAvg50 = 1000000;
  m->data.bars[3].rsi = 33.333;
  QImage canvas = blankCanvas(800, 600);
  {
    Surface s(canvas);
    LayoutChart(s, *m);
  }
  const FontSpec& font = m->axisFont;
  EXPECT_TRUE(textAt(canvas, 2, m->rsiTop + 1, font, "RSI( 14 ) = 61.23"));
  EXPECT_TRUE(textAt(canvas, 2, m->stochTop + 1, font, "Stochastics(14, 3, 3) %K = 45.67, %D = 50.12"));
  EXPECT_TRUE(textAt(canvas, 2, m->volumeTop + 1, font, "Volume = 1,500,000 MA50 = 1,000,000 ratio = 1.50"));

  const int labelX = m->plotRight() + 4, half = m->axisTextHeight / 2;
  const int y70 = m->rsiBottom - static_cast<int>(80 * 0.7);
  EXPECT_EQ(canvas.pixel(m->plotRight() - 12, y70), kGrid);
  EXPECT_TRUE(textAt(canvas, labelX, y70 - half, font, "70"));
  const int y80 = m->stochBottom - static_cast<int>(m->stochPlotHeight * 0.8);
  EXPECT_EQ(canvas.pixel(m->plotRight() - 12, y80), kGrid);
  EXPECT_TRUE(textAt(canvas, labelX, y80 - half, font, "80"));
  // The 50 line is dotted: grey dots with background gaps.
  const int y50 = m->rsiBottom - 40;
  int dots = 0, gaps = 0;
  for (int x = 400; x < 430; ++x) (canvas.pixel(x, y50) == kGrid ? dots : gaps) += 1;
  EXPECT_EQ(dots, 15);
  EXPECT_EQ(gaps, 15);
  EXPECT_TRUE(textAt(canvas, labelX, y50 - half, font, "50"));

  // For the bar under the pointer.
  {
    Surface s(canvas);
    RedrawRsiHeader(s, *m, 3);
    RedrawMacdHeader(s, *m);
  }
  EXPECT_TRUE(textAt(canvas, 2, m->rsiTop + 1, font, "RSI( 14 ) = 33.33"));
  EXPECT_TRUE(textAt(canvas, 2, m->macdTop + 1, font, "MACD"));
  EXPECT_EQ(canvas.pixel(m->plotRight() - 12, m->macdTop), kBlack);
  EXPECT_EQ(canvas.pixel(m->plotRight() - 12, m->rsiTop), kBlack);
}

}  // namespace
}  // namespace velmora
