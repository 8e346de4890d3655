#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "chart/chart_painter.h"
#include "chart_test_model.h"
#include "core/compute_indicators.h"

namespace velmora {
namespace {

using namespace velmora::test;

TEST(ChartPaint, WholeChartThenTheOverlayHook) {
  auto m = engineModel(400, 1200, 800);
  QImage canvas = blankCanvas(1200, 800);
  int hookCalls = 0;
  SurfaceState afterBegin;
  {
    Surface surface(canvas);
    BeginChartPaint(surface, *m);
    afterBegin = surface.state();
    m->repainted = 0;
    PaintChart(surface, *m, [&](Surface& s, ChartViewModel& model) {
      ++hookCalls;
      EXPECT_EQ(&model, m.get());
      EXPECT_EQ(model.repainted, 1u);
      // Every painter has put back what it selected.
      EXPECT_EQ(s.state(), afterBegin);
    });
  }
  EXPECT_EQ(hookCalls, 1);
  EXPECT_EQ(m->clientWidth, 1200);
  EXPECT_EQ(m->clientHeight, 800);
  EXPECT_EQ(afterBegin.backgroundColour, kBackground);
  EXPECT_EQ(m->priceBottom, 800 - 20 - 320);

  // The engine's marks are drawn: some buy or sell circle, some triangle.
  bool anyMark = false;
  for (int i = m->data.newestVisible; i <= m->data.oldestVisible; ++i)
    anyMark = anyMark || m->data.bars[i].trendChanged != 0;
  ASSERT_TRUE(anyMark);
  EXPECT_GT(countColour(canvas, kMarkGreen) + countColour(canvas, kRed), 0);
  EXPECT_GT(countColour(canvas, kFillGreen), 0);  // RSI beyond 70 or 30 somewhere

  // The frame is drawn over the month lines that come first.
  const int x = m->plotRight() / 2;
  EXPECT_EQ(canvas.pixel(x, m->topMargin), kBlack);
}

TEST(ChartPaint, FirstPaintAfterLoadingDrawsTheMonthsOfItsOwnLayout) {
  // The model as the data preparation leaves it: the bar spacing worked out
  // with the price-label column of a fresh view, narrower than this chart's.
  auto m = engineModel(130, 1000, 700);
  const double loadingSpacing = m->barSpacing;
  QImage first = blankCanvas(1000, 700);
  {
    Surface surface(first);
    BeginChartPaint(surface, *m);
    PaintChart(surface, *m);
  }
  ASSERT_NE(m->barSpacing, loadingSpacing) << "the layout pass measured a wider label column";
  QImage later = blankCanvas(1000, 700);
  {
    Surface surface(later);
    BeginChartPaint(surface, *m);
    PaintChart(surface, *m);
  }
  EXPECT_TRUE(first == later) << "every paint of the same chart draws the same picture";

  // The September line and label sit at the right edge of the slot of the
  // month's first bar, in the spacing of the paint.
  int september = -1;
  for (int i = m->data.oldestVisible; i >= m->data.newestVisible && september < 0; --i)
    if (std::string(m->data.bars[i].date).find("-Sep-") != std::string::npos) september = i;
  ASSERT_GT(september, 0);
  const int x = static_cast<int>((m->data.oldestVisible - september + 1) * m->barSpacing);
  EXPECT_EQ(first.pixel(x, m->priceBottom - 4), kGrid);
  const TextExtent e = measure(kSystemFont, "Sep");
  EXPECT_TRUE(textAt(first, x - e.width / 2, 700 - e.height - 2, kSystemFont, "Sep"));
}

TEST(ChartPaint, FewerPixelsThanBarsStillPaint) {
  // 1095 bars in 300 pixels: bars share columns, slots are narrower than
  // the gap; nothing may leave the canvas or stall.
  auto m = engineModel(1095, 300, 500);
  QImage canvas = blankCanvas(300, 500);
  Surface surface(canvas);
  BeginChartPaint(surface, *m);
  PaintChart(surface, *m);
  EXPECT_LT(m->barSpacing, 1.0);
  EXPECT_EQ(m->barAtX(150), m->data.oldestVisible - static_cast<int>(150 / m->barSpacing));
}

}  // namespace
}  // namespace velmora
