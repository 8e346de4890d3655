// The chart on a high-density canvas (device pixel ratio 2): the same
// layout as at ratio 1, the same colours block by block, price labels clear
// of the legend; and the smallest sizes a chart window allows or meets.

#include <gtest/gtest.h>

#include "chart/chart_layout.h"
#include "chart/chart_painter.h"
#include "chart/pointer_overlays.h"
#include "chart_test_model.h"

namespace velmora {
namespace {

using test::kBackground;

QImage canvasAt(int w, int h, int ratio) {
  QImage image(w * ratio, h * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(kBackground);
  return image;
}

void paint(QImage& canvas, ChartViewModel& m, PointerOverlayState* overlays = nullptr) {
  Surface surface(canvas);
  BeginChartPaint(surface, m);
  PaintChart(surface, m, [overlays](Surface& s, ChartViewModel& model) {
    if (overlays != nullptr) DrawOverlaysAfterPaint(s, model, *overlays);
  });
}

// The first row of the label column (right of the plot, below `from`)
// with any pixel other than the background, in logical pixels; -1 if none.
int firstInkedRow(const QImage& canvas, const ChartViewModel& m, int ratio, int from) {
  for (int y = from * ratio; y < canvas.height(); ++y)
    for (int x = (m.plotRight() + 2) * ratio; x < canvas.width(); ++x)
      if (canvas.pixel(x, y) != kBackground) return y / ratio;
  return -1;
}

// The same 200-bar chart painted at ratio 1 and at ratio 2, 800 x 600.
class ChartHighDensity : public ::testing::Test {
 protected:
  void SetUp() override {
    paint(logical, *one);
    paint(dense, *two);
  }
  std::unique_ptr<ChartViewModel> one = test::engineModel(200, 800, 600);
  std::unique_ptr<ChartViewModel> two = test::engineModel(200, 800, 600);
  QImage logical = canvasAt(800, 600, 1);
  QImage dense = canvasAt(800, 600, 2);
};

TEST_F(ChartHighDensity, RatioTwoKeepsTheLayoutAndEveryFillsColourBlockByBlock) {
  // Layouts are computed in logical pixels, so they are the same.
  EXPECT_EQ(two->clientWidth, 800);
  EXPECT_EQ(two->clientHeight, 600);
  EXPECT_EQ(two->axisWidth, one->axisWidth);
  EXPECT_EQ(two->axisTextHeight, one->axisTextHeight);
  EXPECT_EQ(two->priceBottom, one->priceBottom);
  EXPECT_EQ(two->volumeTop, one->volumeTop);
  EXPECT_EQ(two->stochTop, one->stochTop);
  EXPECT_DOUBLE_EQ(two->priceScale, one->priceScale);
  EXPECT_DOUBLE_EQ(two->barSpacing, one->barSpacing);

  // Fills (background, candle bodies, the RSI areas, volume bars) and
  // straight lines are whole blocks of the ratio-1 colour; only text and
  // sloping lines, drawn finer, may differ inside a block.
  int pixels = 0, matched = 0;
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const QRgb c = logical.pixel(x, y);
      ++pixels;
      if (dense.pixel(2 * x, 2 * y) == c || dense.pixel(2 * x + 1, 2 * y) == c ||
          dense.pixel(2 * x, 2 * y + 1) == c || dense.pixel(2 * x + 1, 2 * y + 1) == c)
        ++matched;
    }
  EXPECT_GT(matched, pixels * 97 / 100) << matched << " of " << pixels;

  // The frame (a 2-pixel pen) and the separators are exact blocks.
  const int midX = one->plotRight() / 2;
  for (int y : {one->topMargin, one->volumeTop, one->rsiTop, one->stochTop})
    for (int d = 0; d < 2; ++d) {
      EXPECT_EQ(logical.pixel(midX, y), dense.pixel(2 * midX + d, 2 * y + d)) << y;
    }
  // A candle body's inside is one colour in both.
  for (int i = 20; i < 190; i += 17) {
    const QuoteBar& b = one->bar(i);
    if (std::abs(b.open - b.close) < 0.5) continue;
    const int x = one->slotCentre(i);
    const int y = one->yOfPrice((b.open + b.close) / 2);
    const QRgb body = logical.pixel(x, y);
    for (int d = 0; d < 4; ++d) EXPECT_EQ(dense.pixel(2 * x + d % 2, 2 * y + d / 2), body) << i;
  }
}

TEST_F(ChartHighDensity, TextIsDrawnAtTheDeviceResolution) {
  // The month labels under the frame: at ratio 2 the glyphs' strokes are
  // thinner than a block somewhere (a scaled-up ratio-1 picture never is).
  const int top = one->frameBottom() + 1;
  int ink1 = 0, ink2 = 0, splitBlocks = 0;
  for (int y = top; y < 600; ++y)
    for (int x = 0; x < one->plotRight(); ++x) {
      ink1 += logical.pixel(x, y) == test::kBlack;
      int n = 0;
      for (int d = 0; d < 4; ++d) n += dense.pixel(2 * x + d % 2, 2 * y + d / 2) == test::kBlack;
      ink2 += n;
      splitBlocks += n > 0 && n < 4;
    }
  EXPECT_GT(ink1, 40);
  EXPECT_GT(ink2, 2 * ink1);
  EXPECT_GT(splitBlocks, ink1 / 4);
}

TEST(ChartSmallestSizes, PriceLabelsStayClearOfTheLegendAtTheSmallestSize) {
  for (int ratio : {1, 2}) {
    auto m = test::engineModel(300, 800, 600);
    QImage scratch = canvasAt(1, 1, ratio);
    QSize least;
    {
      Surface s(scratch);
      least = ChartMinimumClientSize(s, *m);
    }
    // Every panel shown: margins, four panels and a price panel that has
    // room for its insets and a column of labels.
    EXPECT_GE(least.height(), 20 + 4 * kPanelHeight + 16 + kGridLabelRows * 14 + 20);
    EXPECT_GE(least.width(), kMinimumPlotWidth + m->axisWidth);

    QImage canvas = canvasAt(least.width(), least.height(), ratio);
    paint(canvas, *m);
    EXPECT_GT(m->priceScale, 0) << "ratio " << ratio;
    const int legendBottom = test::measure(m->axisFont, "0123456789").height + 2;
    // The legend's band ends at legendBottom; the first label starts below.
    const int first = firstInkedRow(canvas, *m, ratio, legendBottom);
    ASSERT_GE(first, legendBottom) << "ratio " << ratio;
    EXPECT_GE(first, m->topMargin) << "ratio " << ratio;
    EXPECT_LT(first, m->priceBottom) << "a label is drawn, ratio " << ratio;
    // Labels stay apart: no run of inked rows in the column is taller
    // than one label.
    int run = 0, runs = 0;
    for (int y = m->topMargin; y < m->priceBottom; ++y) {
      bool inked = false;
      for (int x = (m->plotRight() + 2) * ratio; x < canvas.width() && !inked; ++x)
        for (int d = 0; d < ratio && !inked; ++d) inked = canvas.pixel(x, y * ratio + d) != kBackground;
      run = inked ? run + 1 : 0;
      runs += run == 1;
      ASSERT_LE(run, m->axisTextHeight) << "labels run together at y " << y << ", ratio " << ratio;
    }
    EXPECT_GE(runs, 3);
  }
}

TEST(ChartSmallestSizes, MinimumSizeFollowsTheShownPanelsAndTheLabelColumn) {
  auto m = test::engineModel(100, 800, 600);
  QImage scratch = canvasAt(1, 1, 1);
  Surface s(scratch);
  const QSize all = ChartMinimumClientSize(s, *m);
  m->settings.showMacd = m->settings.showStochastics = 0;
  const QSize two = ChartMinimumClientSize(s, *m);
  EXPECT_EQ(all.height() - two.height(), 2 * kPanelHeight);
  m->data.priceMax = 123456.78;  // a wider label column
  EXPECT_GT(ChartMinimumClientSize(s, *m).width(), two.width());
}

TEST(ChartSmallestSizes, EverySizeFromOnePixelUpPaintsAndTracksThePointer) {
  // Far below the smallest window, at both ratios: nothing may crash or
  // draw off the canvas (the sanitizer builds watch the memory).
  for (int ratio : {1, 2}) {
    auto m = test::engineModel(120, 1, 1);
    PointerOverlayState overlays;
    for (int w = 1; w <= 420; w += 23)
      for (int h = 1; h <= 560; h += 31) {
        QImage canvas = canvasAt(w, h, ratio);
        paint(canvas, *m, &overlays);
        ASSERT_EQ(m->clientWidth, w);
        ASSERT_EQ(m->clientHeight, h);
        Surface surface(canvas);
        for (const QPoint& p :
             {QPoint(w / 2, h / 2), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w + 5, h + 5)})
          OnPointerMove(surface, *m, overlays, p.x(), p.y(), true);
        EXPECT_TRUE(surface.dirtyRect().intersected({0, 0, w, h}) == surface.dirtyRect());
      }
  }
}

}  // namespace
}  // namespace velmora
