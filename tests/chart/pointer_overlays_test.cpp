#include "chart/pointer_overlays.h"

#include <gtest/gtest.h>

#include <QDate>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "chart/chart_painter.h"
#include "chart_test_model.h"
#include "core/compute_indicators.h"

namespace velmora {
namespace {

using namespace velmora::test;

constexpr QRgb kCyanXor = 0x0000ffffu;

// A loaded chart: `count` trading days of a wavy walk computed by the
// engine, every panel shown, painted without overlays into `painted`.
struct PaintedChart {
  std::unique_ptr<ChartViewModel> model;
  PointerOverlayState overlays;
  QImage canvas;
  QImage painted;  // the chart as the paint left it, before any overlay

  // `scale` multiplies every price (1000: an index in the tens of thousands).
  explicit PaintedChart(int count = 300, int width = 1000, int height = 700, double scale = 1) {
    model = makeModel(count, width, height);
    ChartViewModel& m = *model;
    m.settings.showVolume = m.settings.showRsi = m.settings.showStochastics = m.settings.showMacd = 1;
    QDate day(2026, 12, 4);
    double close = 50;
    for (int i = 0; i < count; ++i, day = day.addDays(-1)) {
      while (day.dayOfWeek() > 5) day = day.addDays(-1);
      QuoteBar& b = m.data.bars[i];
      setDate(b, day.year(), day.month(), day.day());
      const double open = close + std::sin(i * 0.7) * 0.8;
      setPrices(b, open * scale, (std::max(open, close) + 0.6) * scale, (std::min(open, close) - 0.6) * scale,
                close * scale);
      b.volume = 100000 + (i * 7919) % 50000;
      close = std::max(5.0, close + std::sin(i * 0.05) * 0.9 + std::cos(i * 0.31) * 0.5);
    }
    computeIndicators(false, false, 14, 14, 3, 3, count - 1, 0, BarsOf(m.data.bars), m.data.signalState, 2);
    m.data.priceMax = 0, m.data.priceMin = 1e12;
    for (int i = 0; i < count; ++i) {
      m.data.priceMax = std::max(m.data.priceMax, m.data.bars[i].high);
      m.data.priceMin = std::min(m.data.priceMin, m.data.bars[i].low);
      m.data.volumeMax = std::max(m.data.volumeMax, m.data.bars[i].volume);
    }
    m.updateBarSpacing();
    canvas = blankCanvas(width, height);
    // Twice: the month axis of the first paint still uses the bar spacing
    // of the data preparation, every later paint that of the layout pass.
    for (int pass = 0; pass < 2; ++pass) {
      Surface surface(canvas);
      BeginChartPaint(surface, m);
      PaintChart(surface, m);
    }
    painted = canvas.copy();
  }

  OverlayDamage move(int x, int y) {
    Surface surface(canvas);
    return OnPointerMove(surface, *model, overlays, x, y, true);
  }

  // The painted chart with only a move to (x, y) on it.
  QImage onlyMoveTo(int x, int y, unsigned selecting = 0) const {
    PaintedChart fresh(*this);
    fresh.model->repainted = 1;
    fresh.model->selecting = selecting;
    fresh.move(x, y);
    return fresh.canvas;
  }

  PaintedChart(const PaintedChart& o)
      : model(std::make_unique<ChartViewModel>(*o.model)), canvas(o.painted.copy()), painted(o.painted) {}

  int yInPrices(double fraction) const {
    const ChartViewModel& m = *model;
    return m.yOfPrice(m.data.priceMin + (m.data.priceMax - m.data.priceMin) * fraction);
  }
};

std::string priceText(double price) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2lf", price);
  return text;
}

// The rows that the information lines rewrite (legend row, the box's row,
// panel headers with their top lines); there a header drawn over a longer
// one may leave its tail, as the chart does until the next paint.
bool infoRow(const ChartViewModel& m, int y) {
  const int h = measure(m.axisFont, "0123456789").height;
  if (y < m.infoLineTop + h + 2) return true;
  for (int top : {m.volumeTop, m.rsiTop, m.stochTop, m.macdTop})
    if (y >= top && y <= top + h) return true;
  return false;
}

int differencesOutsideInfoRows(const QImage& a, const QImage& b, const ChartViewModel& m) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    if (!infoRow(m, y))
      for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

TEST(PointerOverlays, MoveDrawsOverlaysAndTheNextMoveTakesThemAway) {
  PaintedChart c;
  const ChartViewModel& m = *c.model;
  const int ax = 300, ay = c.yInPrices(0.5);
  c.move(ax, ay);

  // Both hairs in XOR, their crossing xor-ed twice.
  for (int x = m.leftMargin; x < m.plotRight(); ++x)
    if (x != ax) {
      ASSERT_EQ(c.canvas.pixel(x, ay), c.painted.pixel(x, ay) ^ kCyanXor) << x;
    }
  for (int y = m.topMargin; y < m.frameBottom(); ++y)
    if (y != ay && !infoRow(m, y)) {
      ASSERT_EQ(c.canvas.pixel(ax, y), c.painted.pixel(ax, y) ^ kCyanXor) << y;
    }
  EXPECT_EQ(c.canvas.pixel(ax, ay), c.painted.pixel(ax, ay));

  const std::string label = priceText(m.priceAtY(ay));
  const TextExtent extent = measure(m.labelFont, label);
  EXPECT_EQ(m.savedLabelWidth, extent.width + 8);
  EXPECT_EQ(m.savedLabelHeight, extent.height + 8);
  EXPECT_TRUE(textAt(c.canvas, ax + 12, ay + 4, m.labelFont, label));
  EXPECT_EQ(c.canvas.pixel(ax + 12, ay + 4), kWhite);

  const QuoteBar& bar = m.bar(m.barAtX(ax));
  const std::string info = BarInfoText(bar);
  EXPECT_TRUE(
      textAt(c.canvas, m.plotRight() - measure(m.axisFont, info).width - 8, m.infoLineTop, m.axisFont, info));
  char legend[64];
  std::snprintf(legend, sizeof legend, "EMA(5) %.2lf", bar.ema5);
  EXPECT_TRUE(textAt(c.canvas, 4, 2, m.axisFont, legend, rgb(255, 255, 0)));

  // A second move leaves exactly what a single move there leaves.
  const QImage beforeSecond = c.canvas.copy();
  const OverlayDamage damage = c.move(620, c.yInPrices(0.2));
  EXPECT_EQ(differencesOutsideInfoRows(c.canvas, c.onlyMoveTo(620, c.yInPrices(0.2)), m), 0);

  // The damage holds every changed pixel, hair by hair, not the whole chart.
  long long area = 0;
  for (const Rect& r : damage) area += static_cast<long long>(r.width()) * r.height();
  EXPECT_LT(area, 1000LL * 700 / 4);
  for (int y = 0; y < c.canvas.height(); ++y)
    for (int x = 0; x < c.canvas.width(); ++x)
      if (c.canvas.pixel(x, y) != beforeSecond.pixel(x, y)) {
        ASSERT_TRUE(
            std::any_of(damage.begin(), damage.end(), [&](const Rect& r) { return r.contains(x, y); }))
            << x << ", " << y;
      }
}

TEST(PointerOverlays, PaintEndsWithTheOverlaysOfTheLastPosition) {
  PaintedChart c;
  ChartViewModel& m = *c.model;
  auto paint = [&] {
    Surface surface(c.canvas);
    BeginChartPaint(surface, m);
    PaintChart(surface, m,
               [&](Surface& s, ChartViewModel& model) { DrawOverlaysAfterPaint(s, model, c.overlays); });
  };

  // Never moved: drawn for (-1, -1): no hair, the label of the price at
  // y = -1 saved from (8, 0) and drawn at (11, 3), where the legend row then
  // covers most of it, and the newest visible bar's information, as with
  // the pointer over the price column.
  paint();
  EXPECT_EQ(m.repainted, 0u);
  EXPECT_EQ(m.lastPointerX, -1);
  EXPECT_TRUE(c.overlays.labelShown);
  EXPECT_EQ(c.overlays.labelLeft, 8);
  EXPECT_EQ(c.overlays.labelTop, 0);
  const TextExtent label = measure(m.labelFont, priceText(m.priceAtY(-1)));
  EXPECT_EQ(m.savedLabelWidth, label.width + 8);
  const int legendBottom = measure(m.axisFont, "0123456789").height + 2;
  for (int y = legendBottom; y < 3 + label.height; ++y) EXPECT_EQ(c.canvas.pixel(12, y), kWhite) << y;
  ASSERT_NE(m.data.newestVisible, m.data.oldestVisible);
  const std::string info = BarInfoText(m.bar(m.data.newestVisible));
  EXPECT_TRUE(
      textAt(c.canvas, m.plotRight() - measure(m.axisFont, info).width - 8, m.infoLineTop, m.axisFont, info));
  for (int y = 3 + label.height + 8; y < m.frameBottom(); ++y) {
    if (infoRow(m, y)) continue;
    for (int x = 0; x < c.canvas.width(); ++x) ASSERT_EQ(c.canvas.pixel(x, y), c.painted.pixel(x, y));
  }
  // The panel headers (volume, RSI, Stochastics, MACD) read as with the
  // pointer over the price column, whose hair crosses no header.
  const QImage overColumn = c.onlyMoveTo(m.plotRight() + 3, c.yInPrices(0.5));
  const int headerHeight = measure(m.axisFont, "0123456789").height;
  for (int top : {m.volumeTop, m.rsiTop, m.stochTop, m.macdTop})
    for (int y = top; y <= top + headerHeight; ++y)
      for (int x = 0; x < m.plotRight(); ++x)
        ASSERT_EQ(c.canvas.pixel(x, y), overColumn.pixel(x, y)) << x << "," << y;

  // A paint between two moves wipes the old overlays itself: the next move
  // must not xor the old hair back in.
  c.move(400, c.yInPrices(0.6));
  paint();
  EXPECT_EQ(differencesOutsideInfoRows(c.canvas, c.onlyMoveTo(400, c.yInPrices(0.6)), m), 0);
  c.move(250, c.yInPrices(0.3));
  EXPECT_EQ(differencesOutsideInfoRows(c.canvas, c.onlyMoveTo(250, c.yInPrices(0.3)), m), 0);
}

TEST(PointerOverlays, PriceLabelColumnShowsTheNewestBarWithoutVerticalHair) {
  PaintedChart c;
  const ChartViewModel& m = *c.model;
  const int y = c.yInPrices(0.5), below = y + 60;
  c.move(m.plotRight(), y);
  EXPECT_NE(c.canvas.pixel(m.plotRight(), below), c.painted.pixel(m.plotRight(), below));

  const int x = m.plotRight() + 3;
  c.move(x, y);
  for (int row = m.topMargin; row < m.frameBottom(); ++row)
    if (row != y && !infoRow(m, row)) {
      ASSERT_EQ(c.canvas.pixel(x, row), c.painted.pixel(x, row)) << row;
    }
  EXPECT_EQ(c.canvas.pixel(m.plotRight() - 1, y), c.painted.pixel(m.plotRight() - 1, y) ^ kCyanXor);
  const std::string info = BarInfoText(m.bar(m.data.newestVisible));
  EXPECT_TRUE(
      textAt(c.canvas, m.plotRight() - measure(m.axisFont, info).width - 8, m.infoLineTop, m.axisFont, info));
}

TEST(PointerOverlays, NoLabelOverAnIndicatorPanelOrWhileSelecting) {
  PaintedChart c;
  ChartViewModel& m = *c.model;
  // The lowest price still gets a label; a pixel lower is below it.
  const int lowest = m.yOfPrice(m.data.priceMin);
  c.move(500, lowest);
  EXPECT_TRUE(c.overlays.labelShown);
  c.move(500, lowest + 1);
  EXPECT_FALSE(c.overlays.labelShown);
  c.move(500, m.rsiTop + 40);
  EXPECT_FALSE(c.overlays.labelShown);
  EXPECT_EQ(differencesOutsideInfoRows(c.canvas, c.onlyMoveTo(500, m.rsiTop + 40), m), 0);

  // A selection starts: the label goes, and none comes while it lasts; the
  // hair and the information lines still follow the pointer.
  c.move(300, c.yInPrices(0.5));
  {
    Surface surface(c.canvas);
    RestorePriceLabel(surface, m, c.overlays);
  }
  m.selecting = 1;
  c.move(350, c.yInPrices(0.7));
  c.move(420, c.yInPrices(0.4));
  EXPECT_EQ(differencesOutsideInfoRows(c.canvas, c.onlyMoveTo(420, c.yInPrices(0.4), 1), m), 0);

  // A click ends it away from where the label was saved: nothing saved
  // then may be pasted at the new place.
  m.selecting = 0;
  c.move(600, c.yInPrices(0.8));
  EXPECT_EQ(differencesOutsideInfoRows(c.canvas, c.onlyMoveTo(600, c.yInPrices(0.8)), m), 0);
}

TEST(PointerOverlays, PiecesPutTheCanvasAndTheSurfaceBack) {
  PaintedChart c;
  ChartViewModel& m = *c.model;
  Surface surface(c.canvas);
  surface.selectPen(Pen::solid(kRed, 2));
  surface.selectFont(m.axisFont);
  surface.setBackgroundColour(kBackground);
  const SurfaceState caller = surface.state();

  // XOR twice restores; on the background the hair shows as (214, 41, 41).
  const int y = c.yInPrices(0.95);
  DrawCrossHair(surface, m, 700, y);
  EXPECT_EQ(surface.state(), caller);
  int hairOnBackground = 0;
  for (int x = m.leftMargin; x < m.plotRight(); ++x)
    if (c.painted.pixel(x, y) == kBackground && x != 700) {
      ++hairOnBackground;
      ASSERT_EQ(c.canvas.pixel(x, y), rgb(214, 41, 41));
    }
  EXPECT_GT(hairOnBackground, 0);
  DrawCrossHair(surface, m, 700, y);
  EXPECT_EQ(c.canvas, c.painted);

  DrawPriceLabel(surface, m, c.overlays, 700, y);
  DrawBarInfo(surface, m, 700);
  EXPECT_EQ(surface.state(), caller);
  RestorePriceLabel(surface, m, c.overlays);
  RestorePriceLabel(surface, m, c.overlays);  // a second time changes nothing
  EXPECT_EQ(differencesOutsideInfoRows(c.canvas, c.painted, m), 0);
  EXPECT_EQ(surface.state(), caller);
}

// An index in the tens of thousands has a wide legend: on a chart 1,200
// pixels wide the open-high-low-close box would cover its last entries, so
// the box takes the row under the legend and the frame moves down a row;
// a wider chart keeps both on the top row.
TEST(PointerOverlays, InformationLineNeverCoversTheLegend) {
  const struct {
    int width;
    bool ownRow;
  } cases[] = {{1600, false}, {1200, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.width);
    PaintedChart chart(300, c.width, 700, 1000);
    ChartViewModel& m = *chart.model;
    {
      Surface surface(chart.canvas);
      DrawOverlaysAfterPaint(surface, m, chart.overlays);
    }
    const int row = measure(m.axisFont, "0123456789").height + 2;
    EXPECT_EQ(m.infoLineTop, c.ownRow ? 2 + row : 2);
    EXPECT_EQ(m.topMargin, c.ownRow ? 20 + row : 20);
    // Before the pointer moves the lines show the newest visible bar.
    const QuoteBar& bar = m.bar(m.data.newestVisible);
    int x = 4;
    for (int k = 0; k < m.emaCount; ++k) {
      char text[64];
      std::snprintf(text, sizeof text, "%s %.2lf", m.emaLabels[k].c_str(), ChartViewModel::averageOf(bar, k));
      EXPECT_TRUE(textAt(chart.canvas, x, 2, m.axisFont, text, m.emaColours[k])) << k;
      x += measure(m.axisFont, text).width + 16;
    }
    const std::string info = BarInfoText(bar);
    EXPECT_TRUE(textAt(chart.canvas, m.plotRight() - measure(m.axisFont, info).width - 8, m.infoLineTop,
                       m.axisFont, info));
    Surface surface(chart.canvas);
    EXPECT_LE(BarInfoRect(surface, m, bar).left, m.plotRight() - measure(m.axisFont, info).width - 24);
    EXPECT_TRUE(c.ownRow || BarInfoRect(surface, m, bar).left >= x - 16) << "apart on one row";
  }
}

TEST(PointerOverlays, OutsideTheUsualCases) {
  // Not loaded yet: only the position is kept.
  PaintedChart c;
  ChartViewModel& m = *c.model;
  {
    Surface surface(c.canvas);
    const OverlayDamage damage = OnPointerMove(surface, m, c.overlays, 200, 200, false);
    EXPECT_EQ(damage.size(), 0);
  }
  EXPECT_EQ(c.canvas, c.painted);
  EXPECT_EQ(m.lastPointerX, 200);
  EXPECT_EQ(m.repainted, 1u);

  // A label wider than the 128-pixel saved area still comes back whole.
  m.data.priceMin = 1e15;
  m.data.priceMax = 1e15 + 100;
  PaintedChart huge(c);
  for (int pass = 0; pass < 2; ++pass) {
    Surface surface(huge.canvas);
    BeginChartPaint(surface, *huge.model);
    PaintChart(surface, *huge.model);
  }
  huge.painted = huge.canvas.copy();
  huge.move(100, huge.yInPrices(0.5));
  EXPECT_GT(huge.model->savedLabelWidth, kLabelAreaSize);
  huge.move(100, huge.yInPrices(0.5) + 200);
  EXPECT_EQ(
      differencesOutsideInfoRows(huge.canvas, huge.onlyMoveTo(100, huge.yInPrices(0.5) + 200), *huge.model),
      0);
}

}  // namespace
}  // namespace velmora
