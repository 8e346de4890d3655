#include <gtest/gtest.h>

#include <functional>

#include "chart/chart_layout.h"
#include "chart/price_panel_painter.h"
#include "chart_test_model.h"

namespace velmora {
namespace {

using namespace velmora::test;

constexpr QRgb kYellow = rgb(255, 255, 0);
constexpr QRgb kBlue = rgb(0, 0, 255);

// Ten bars over prices 10..20 on an 800 x 600 chart without indicator
// panels, laid out; the painter under test then draws on a blank canvas.
std::unique_ptr<ChartViewModel> tenBars() {
  auto m = makeModel(10);
  QImage scratch = blankCanvas(800, 600);
  Surface surface(scratch);
  LayoutChart(surface, *m);
  return m;
}

QImage paint(ChartViewModel& m, const std::function<void(Surface&)>& draw) {
  QImage canvas = blankCanvas(m.clientWidth, m.clientHeight);
  Surface surface(canvas);
  const SurfaceState before = surface.state();
  draw(surface);
  EXPECT_EQ(surface.pen(), before.pen);
  EXPECT_EQ(surface.brush(), before.brush);
  EXPECT_EQ(surface.font(), before.font);
  return canvas;
}

Rect slotOf(const ChartViewModel& m, int i) {
  return {m.slotLeft(i), m.priceTop, m.slotRight(i) + 1, m.priceBottom};
}

TEST(ChartCandles, DojiIsAOnePixelRedLineWithBothWicks) {
  auto m = tenBars();
  setPrices(m->data.bars[5], 15, 17, 12, 15);
  const QImage canvas = paint(*m, [&](Surface& s) { DrawPriceBars(s, *m); });
  const int left = m->slotLeft(5), right = m->slotRight(5), c = m->slotCentre(5);
  const int y = m->yOfPrice(15);
  // The body row from left to right - 1, wicks up to the high and down to
  // the low, each without its end pixel.
  EXPECT_EQ(boundsOfColour(canvas, kRed, slotOf(*m, 5)),
            (Rect{left, m->yOfPrice(17) + 1, right, m->yOfPrice(12)}));
  for (int x = left; x < right; ++x) EXPECT_EQ(canvas.pixel(x, y), kRed) << x;
  EXPECT_EQ(canvas.pixel(left, y - 1), kBackground);
  EXPECT_EQ(canvas.pixel(left, y + 1), kBackground);
  EXPECT_EQ(canvas.pixel(c, y - 1), kRed);
  EXPECT_EQ(canvas.pixel(c, y + 1), kRed);
}

TEST(ChartCandles, UpBodiesAreWhiteInBlackDownBodiesRed) {
  auto m = tenBars();
  setPrices(m->data.bars[3], 12, 16, 11, 16);  // up; high at the body top
  setPrices(m->data.bars[2], 16, 18, 11, 12);  // down
  const QImage canvas = paint(*m, [&](Surface& s) { DrawPriceBars(s, *m); });

  const int left = m->slotLeft(3), right = m->slotRight(3), c = m->slotCentre(3);
  const int top = m->yOfPrice(16), bottom = m->yOfPrice(12);
  EXPECT_EQ(canvas.pixel(left, top), kBlack);
  EXPECT_EQ(canvas.pixel(right - 1, bottom - 1), kBlack);
  EXPECT_EQ(canvas.pixel(left + 2, (top + bottom) / 2), kWhite);
  EXPECT_EQ(canvas.pixel(right, top), kBackground);  // right and bottom edges left out
  EXPECT_EQ(canvas.pixel(left, bottom), kBackground);
  EXPECT_EQ(canvas.pixel(c, top - 1), kBackground);  // zero-length upper wick
  EXPECT_EQ(canvas.pixel(c, m->yOfPrice(11) - 1), kBlack);

  const int downLeft = m->slotLeft(2);
  EXPECT_EQ(canvas.pixel(downLeft + 2, (m->yOfPrice(16) + m->yOfPrice(12)) / 2), kRed);
  EXPECT_EQ(canvas.pixel(m->slotCentre(2), m->yOfPrice(18) + 1), kRed);
}

TEST(ChartCandles, OtherStyles) {
  auto m = tenBars();
  for (int i = 0; i < 10; ++i) setPrices(m->data.bars[i], 12, 18, 11, 13 + i * 0.5);
  m->settings.style = "Renko";
  EXPECT_EQ(countColour(paint(*m, [&](Surface& s) { DrawPriceBars(s, *m); }), kBackground), 800 * 600);

  m->settings.style = "Line";  // a close line through the bar centres
  const QImage line = paint(*m, [&](Surface& s) { DrawPriceBars(s, *m); });
  for (int i = 9; i >= 1; --i)
    EXPECT_EQ(line.pixel(m->slotCentre(i), m->yOfPrice(13 + i * 0.5)), kBlack) << i;

  m->settings.style = "Bar";  // high-low line at the centre, open tick left, close tick right
  const QImage bars = paint(*m, [&](Surface& s) { DrawPriceBars(s, *m); });
  const int c = m->slotCentre(4);
  EXPECT_EQ(bars.pixel(c, m->yOfPrice(18)), kBlack);
  EXPECT_EQ(bars.pixel(c, m->yOfPrice(11)), kBlack);
  EXPECT_EQ(bars.pixel(m->slotLeft(4), m->yOfPrice(12)), kBlack);
  EXPECT_EQ(bars.pixel(m->slotRight(4) - 1, m->yOfPrice(15)), kBlack);
}

TEST(ChartAverages, SkipValuesOutsideThePriceRangeAndResume) {
  auto m = tenBars();
  for (int i = 0; i < 10; ++i) {
    QuoteBar& b = m->data.bars[i];
    b.ema5 = i >= 6 ? 0 : 15;                    // not enough bars yet for the oldest four
    b.ema20 = i == 3 ? 25 : (i == 2 ? 13 : 14);  // leaves the range at bar 3
  }
  const QImage canvas = paint(*m, [&](Surface& s) { DrawAverages(s, *m); });
  const Rect belowLegend{0, m->priceTop, 800, 600};
  // ema5 starts at its first value in range; nothing along the zero line.
  const int y15 = m->yOfPrice(15);
  EXPECT_EQ(boundsOfColour(canvas, kYellow, belowLegend),
            (Rect{m->slotLeft(5), y15, m->slotLeft(0), y15 + 1}));
  // ema20: the oldest bar gives no point; bar 3 is skipped and the line
  // goes on from bar 3's x at the y it had.
  const int y14 = m->yOfPrice(14), y13 = m->yOfPrice(13);
  EXPECT_EQ(boundsOfColour(canvas, kBlue, belowLegend), (Rect{m->slotLeft(8), y14, m->slotLeft(0), y13 + 1}));
  EXPECT_EQ(canvas.pixel(m->slotLeft(3), y14), kBlue);
  EXPECT_EQ(canvas.pixel(m->slotLeft(2), y13), kBlue);
  EXPECT_EQ(canvas.pixel(m->slotLeft(3) - 1, y13), kBackground);
}

TEST(ChartAverages, LegendListsTheSixAveragesInTheirColours) {
  auto m = tenBars();
  QuoteBar& b = m->data.bars[0];
  b.ema5 = 12.34, b.ema10 = 0, b.ema20 = 14.5, b.ema50 = 99, b.ema100 = 1234.5, b.ema200 = 10.126;
  QImage canvas = blankCanvas(800, 600);
  {
    Surface s(canvas);
    s.fillRect({600, 4, 700, 10}, rgb(1, 2, 3));  // an older, longer legend
    DrawLegend(s, *m, 0);
    EXPECT_EQ(s.backgroundColour(), m->backgroundColour);
    EXPECT_EQ(s.textColour(), m->textColour);
  }
  const char* texts[] = {"EMA(5) 12.34",  "EMA(10) 0.00",     "EMA(20) 14.50",
                         "EMA(50) 99.00", "EMA(100) 1234.50", "EMA(200) 10.13"};
  int x = 4;
  for (int k = 0; k < 6; ++k) {
    EXPECT_TRUE(textAt(canvas, x, 2, m->axisFont, texts[k], m->emaColours[k])) << k;
    x += measure(m->axisFont, texts[k]).width + 16;
  }
  EXPECT_EQ(countColour(canvas, rgb(1, 2, 3)), 0);  // the row was cleared first
}

TEST(ChartMarks, CirclesAtTheBodyLowTrianglesBeyondTheBar) {
  auto m = tenBars();
  QuoteBar& buy = m->data.bars[4];
  setPrices(buy, 14, 17, 13, 16);
  buy.SetMark("B");
  buy.trendChanged = 1, buy.trend = kUp;
  QuoteBar& sell = m->data.bars[6];
  setPrices(sell, 16, 17, 13, 14);
  sell.SetMark("S");
  sell.trendChanged = 1, sell.trend = kDown;
  const QImage canvas = paint(*m, [&](Surface& s) {
    DrawSignalCircles(s, *m);
    DrawTrendTriangles(s, *m);
  });

  const int cb = m->slotCentre(4), yb = m->yOfPrice(14), low = m->yOfPrice(13);
  const Rect buyCircle{cb - 12, yb - 12, cb + 12, yb + 12};
  const Rect upTriangle{cb - 7, low + 4, cb + 8, low + 17};
  EXPECT_EQ(boundsOfColour(canvas, kMarkGreen), buyCircle.united(upTriangle));
  EXPECT_EQ(canvas.pixel(cb, yb), kBackground);      // an outline only
  EXPECT_EQ(canvas.pixel(cb, low + 12), kWhite);     // the triangle is filled white
  EXPECT_EQ(canvas.pixel(cb, low + 4), kMarkGreen);  // its tip, pointing up
  EXPECT_EQ(canvas.pixel(cb - 7, low + 16), kMarkGreen);

  const int cs = m->slotCentre(6), ys = m->yOfPrice(14), high = m->yOfPrice(17);
  const Rect sellCircle{cs - 12, ys - 12, cs + 12, ys + 12};
  const Rect downTriangle{cs - 7, high - 16, cs + 8, high - 3};
  EXPECT_EQ(boundsOfColour(canvas, kRed), sellCircle.united(downTriangle));
  EXPECT_EQ(canvas.pixel(cs, high - 4), kRed);  // tip pointing down
  EXPECT_EQ(canvas.pixel(cs, high - 12), kWhite);
}

}  // namespace
}  // namespace velmora
