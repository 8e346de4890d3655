#include "chart/chart_layout.h"

#include <gtest/gtest.h>

#include <QDate>
#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "chart/chart_painter.h"
#include "chart_test_model.h"

namespace velmora {
namespace {

using namespace velmora::test;

TEST(ChartPriceStep, IsAnEighthOfTheRangeCutToFiveHundredths) {
  EXPECT_DOUBLE_EQ(PriceStepFor(10), 1.30);
  EXPECT_DOUBLE_EQ(PriceStepFor(3), 0.40);
  EXPECT_DOUBLE_EQ(PriceStepFor(100), 12.55);
  EXPECT_DOUBLE_EQ(PriceStepFor(0.39), 0.05);
  EXPECT_DOUBLE_EQ(PriceStepFor(0), 0.05);
  EXPECT_DOUBLE_EQ(PriceStepFor(-9999999999.99), 0.05);  // no visible bar widened the extents
}

// The separators are probed near the right end of the plot, clear of the
// header texts at the left.
QRgb separatorPixel(const QImage& canvas, const ChartViewModel& m, int y) {
  return canvas.pixel(m.plotRight() - 12, y);
}

TEST(ChartLayout, StacksTheShownPanelsFromTheBottom) {
  for (int shown = 0; shown < 16; ++shown) {
    SCOPED_TRACE(shown);
    auto m = makeModel(50);
    ChartSettings& s = m->settings;
    s.showMacd = shown & 1, s.showStochastics = (shown >> 1) & 1, s.showRsi = (shown >> 2) & 1,
    s.showVolume = (shown >> 3) & 1;
    QImage canvas = blankCanvas(m->clientWidth, m->clientHeight);
    {
      Surface surface(canvas);
      LayoutChart(surface, *m);
    }
    // Bottom up: each panel 80 tall when shown, empty when not, on top of
    // the one below it; the price panel takes the rest.
    const int tops[] = {m->macdTop, m->stochTop, m->rsiTop, m->volumeTop};
    const int bottoms[] = {m->macdBottom, m->stochBottom, m->rsiBottom, m->volumeBottom};
    int base = 600 - 20;
    for (int p = 0; p < 4; ++p) {
      const bool on = (shown >> p) & 1;
      EXPECT_EQ(bottoms[p], base) << p;
      EXPECT_EQ(tops[p], on ? base - 80 : base) << p;
      base = tops[p];
    }
    EXPECT_EQ(m->priceBottom, base);
    EXPECT_EQ(m->priceTop, 20);

    if (s.showMacd) {
      EXPECT_EQ(separatorPixel(canvas, *m, m->macdTop), kBlack);
    }
    if (s.showStochastics) {
      EXPECT_EQ(separatorPixel(canvas, *m, m->stochTop), kBlack);
    }
    // The RSI separator takes the Stochastics reference pen when that panel
    // is shown.
    if (s.showRsi) {
      EXPECT_EQ(separatorPixel(canvas, *m, m->rsiTop), s.showStochastics ? kGrid : kBlack);
    }
    if (s.showVolume) {  // two pixels thick
      EXPECT_EQ(separatorPixel(canvas, *m, m->volumeTop - 1), kBlack);
      EXPECT_EQ(separatorPixel(canvas, *m, m->volumeTop), kBlack);
    }
  }
}

TEST(ChartLayout, NamedPanelCombinations) {
  auto m = makeModel(50);
  QImage canvas = blankCanvas(800, 600);
  auto layout = [&](int volume, int rsi, int stoch, int macd) {
    m->settings.showVolume = volume, m->settings.showRsi = rsi, m->settings.showStochastics = stoch,
    m->settings.showMacd = macd;
    Surface surface(canvas);
    LayoutChart(surface, *m);
  };
  layout(0, 1, 0, 0);
  EXPECT_EQ(m->rsiTop, 600 - 100);
  EXPECT_EQ(m->rsiBottom, 600 - 20);
  EXPECT_EQ(m->priceBottom, m->rsiTop);

  layout(0, 1, 0, 1);
  EXPECT_EQ(m->rsiBottom, m->macdTop);

  layout(1, 1, 1, 1);
  EXPECT_EQ(m->priceBottom, m->frameBottom() - 320);
  EXPECT_EQ(m->volumePlotHeight, 78 - m->axisTextHeight);
  EXPECT_EQ(m->stochPlotHeight, 80 - m->axisTextHeight - 2);
  EXPECT_EQ(m->rsiHeight, 80);
}

TEST(ChartLayout, AxisColumnScaleAndConversions) {
  auto m = makeModel(100);
  m->data.priceMax = 123.45;
  m->data.priceMin = 100;
  QImage canvas = blankCanvas(800, 600);
  {
    Surface surface(canvas);
    LayoutChart(surface, *m);
  }
  const TextExtent label = measure(m->axisFont, "123.45");
  EXPECT_EQ(m->axisTextWidth, label.width);
  EXPECT_EQ(m->axisTextHeight, label.height);
  EXPECT_EQ(m->axisWidth, label.width + 4);
  EXPECT_EQ(canvas.pixel(m->plotRight(), 300), kBlack);  // the frame's right side
  EXPECT_EQ(canvas.pixel(m->plotRight() + 3, 300), kBackground);

  EXPECT_EQ(m->yOfPrice(123.45), 20 + 8);
  EXPECT_EQ(m->yOfPrice(100), m->priceBottom - 8);
  EXPECT_DOUBLE_EQ(m->barSpacing, (800.0 - m->axisWidth) / 100);
  EXPECT_NEAR(m->priceAtY(m->yOfPrice(111.11)), 111.11, 1 / m->priceScale);

  EXPECT_EQ(m->barAtX(-5), 99);
  EXPECT_EQ(m->barAtX(0), 99);
  EXPECT_EQ(m->barAtX(m->plotRight()), 0);
  EXPECT_EQ(m->barAtX(static_cast<int>(m->barSpacing * 10.5)), 89);
  // Slots: left edge, right edge barGap short of the next, centre between.
  const int left = m->slotLeft(89);
  EXPECT_EQ(left, static_cast<int>(10 * m->barSpacing));
  EXPECT_EQ(m->slotRight(89), static_cast<int>(left + m->barSpacing - 2));
  EXPECT_EQ(m->slotCentre(89), left + (m->slotRight(89) - left) / 2);
}

TEST(ChartLayout, FlatWindowWithoutVolumeStaysDrawable) {
  auto m = makeModel(60);
  m->settings.showVolume = m->settings.showRsi = m->settings.showStochastics = m->settings.showMacd = 1;
  m->data.priceMax = m->data.priceMin = 10;
  m->data.volumeMax = m->data.volumeMin = 0;
  for (int i = 0; i < 60; ++i) {
    m->data.bars[i].volume = 0;
    setDate(m->data.bars[i], 2005, 1 + i / 20, 1 + i % 20);
  }
  QImage canvas = blankCanvas(800, 600);
  {
    Surface surface(canvas);
    BeginChartPaint(surface, *m);
    PaintChart(surface, *m);
  }
  ASSERT_TRUE(std::isfinite(m->priceScale));
  EXPECT_GT(m->priceScale, 0);
  EXPECT_EQ(m->yOfPrice(10), m->priceBottom - 8);
  EXPECT_TRUE(std::isfinite(m->priceAtY(-1)));
  EXPECT_TRUE(std::isfinite(m->priceAtY(m->priceBottom - 8)));
  // No volume bars, no average line; the header names a 0.00 ratio.
  const Rect plot{m->leftMargin + 1, m->volumeTop + m->axisTextHeight + 2, m->plotRight() - 1,
                  m->volumeBottom - 1};
  EXPECT_TRUE(boundsOfColour(canvas, kBlack, plot).isEmpty());
  EXPECT_TRUE(boundsOfColour(canvas, kRed, plot).isEmpty());
  EXPECT_TRUE(textAt(canvas, 2, m->volumeTop + 1, m->axisFont, "Volume = 0 MA50 = 0 ratio = 0.00"));
  // The flat candles sit on the lowest price's line.
  EXPECT_EQ(canvas.pixel(m->slotLeft(30), m->priceBottom - 8), kRed);
}

TEST(ChartPriceGrid, LevelsStartOneStepAboveTheLowCutToATenth) {
  auto m = makeModel(50);
  m->data.priceMin = 10.00;
  m->data.priceMax = 20.00;
  QImage canvas = blankCanvas(800, 600);
  {
    Surface surface(canvas);
    LayoutChart(surface, *m);
    ASSERT_DOUBLE_EQ(m->priceStep, 1.30);
    DrawPriceGrid(surface, *m);
  }
  // 11.3, 12.6, ... 19.1: seven levels below 20.
  std::set<int> rows;
  for (int y = m->priceTop + 2; y < m->priceBottom; ++y)
    if (canvas.pixel(100, y) == kGrid) rows.insert(y);
  std::set<int> expected;
  for (int k = 0; k < 7; ++k) expected.insert(m->yOfPrice(11.3 + 1.3 * k));
  EXPECT_EQ(rows, expected);
  const int y = m->yOfPrice(11.3);
  EXPECT_TRUE(textAt(canvas, m->plotRight() + 2, y - m->axisTextHeight / 2, m->axisFont, "11.30"));
  EXPECT_TRUE(
      textAt(canvas, m->plotRight() + 2, m->yOfPrice(19.1) - m->axisTextHeight / 2, m->axisFont, "19.10"));
}

// Daily bars on every calendar day, the oldest on `oldest`, all visible.
std::unique_ptr<ChartViewModel> calendarModel(int count, QDate oldest) {
  auto m = makeModel(count, 1600, 600);
  for (int i = 0; i < count; ++i) {
    const QDate d = oldest.addDays(count - 1 - i);
    setDate(m->data.bars[i], d.year(), d.month(), d.day());
  }
  m->barSpacing = 4.0;
  return m;
}

std::set<int> monthLineColumns(const QImage& canvas) {
  std::set<int> columns;
  for (int x = 0; x < canvas.width(); ++x)
    if (canvas.pixel(x, 300) == kGrid) columns.insert(x);
  return columns;
}

TEST(ChartMonthAxis, NamesUpTo366BarsAndTheYearAtJanuary) {
  // 1 Nov 2004 .. 1 Nov 2005: the oldest bar and bar 0 both begin a month
  // and neither draws a line.
  auto m = calendarModel(366, QDate(2004, 11, 1));
  QImage canvas = blankCanvas(1600, 600);
  {
    Surface surface(canvas);
    DrawMonthAxis(surface, *m);
  }
  std::set<int> expected;  // (days since the oldest bar + 1) * barSpacing
  for (QDate d(2004, 12, 1); d < QDate(2005, 11, 1); d = d.addMonths(1))
    expected.insert((static_cast<int>(QDate(2004, 11, 1).daysTo(d)) + 1) * 4);
  EXPECT_EQ(monthLineColumns(canvas), expected);
  EXPECT_EQ(expected.size(), 11u);
  EXPECT_EQ(canvas.pixel(124, m->topMargin), kGrid);  // from the frame's top ...
  EXPECT_EQ(canvas.pixel(124, m->topMargin - 1), kBackground);
  EXPECT_EQ(canvas.pixel(124, 600 - 21), kGrid);  // ... to its bottom
  EXPECT_EQ(canvas.pixel(124, 600 - 20), kBackground);

  auto labelAt = [&](int x, const char* text) {
    const TextExtent e = measure(kSystemFont, text);
    return textAt(canvas, x - e.width / 2, 600 - e.height - 2, kSystemFont, text);
  };
  EXPECT_TRUE(labelAt(31 * 4, "Dec"));
  EXPECT_TRUE(labelAt(62 * 4, "05"));
  EXPECT_TRUE(labelAt(93 * 4, "Feb"));
}

TEST(ChartMonthAxis, InitialsFrom367Bars) {
  auto m = calendarModel(367, QDate(2004, 10, 31));
  QImage canvas = blankCanvas(1600, 600);
  {
    Surface surface(canvas);
    DrawMonthAxis(surface, *m);
  }
  EXPECT_EQ(monthLineColumns(canvas).size(), 12u);  // 1 Nov 2004 .. 1 Oct 2005
  const TextExtent n = measure(kSystemFont, "N");
  EXPECT_TRUE(textAt(canvas, 2 * 4 - n.width / 2, 600 - n.height - 2, kSystemFont, "N"));
  const TextExtent f = measure(kSystemFont, "F");
  EXPECT_TRUE(textAt(canvas, 94 * 4 - f.width / 2, 600 - f.height - 2, kSystemFont, "F"));
  const TextExtent y = measure(kSystemFont, "05");
  EXPECT_TRUE(textAt(canvas, 63 * 4 - y.width / 2, 600 - y.height - 2, kSystemFont, "05"));
}

TEST(ChartMonthAxis, CrowdedLabelsAreLeftOutButEveryLineStays) {
  // Five years of weekly bars, 4 pixels apart: a month is about 17 pixels,
  // narrower than its name.
  constexpr int kWeeks = 260;
  const QDate oldest(2021, 1, 4);
  auto m = makeModel(kWeeks, 1200, 600);
  for (int i = 0; i < kWeeks; ++i) {
    const QDate d = oldest.addDays(7 * (kWeeks - 1 - i));
    setDate(m->data.bars[i], d.year(), d.month(), d.day());
  }
  m->barSpacing = 4.0;
  QImage canvas = blankCanvas(1200, 600);
  {
    Surface surface(canvas);
    DrawMonthAxis(surface, *m);
  }
  struct Label {
    int x;
    std::string text;
  };
  std::vector<Label> labels;  // where each month's label belongs
  static const char* const kNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  for (int i = kWeeks - 2; i >= 1; --i) {
    const QDate d = oldest.addDays(7 * (kWeeks - 1 - i));
    if (d.month() == d.addDays(-7).month()) continue;
    char year[4];
    std::snprintf(year, sizeof year, "%02d", d.year() % 100);
    labels.push_back({(kWeeks - 1 - i + 1) * 4, d.month() == 1 ? year : kNames[d.month() - 1]});
  }
  ASSERT_GT(labels.size(), 55u);
  std::set<int> lines;
  for (const Label& l : labels) lines.insert(l.x);
  EXPECT_EQ(monthLineColumns(canvas), lines) << "every month keeps its line";

  // Each label is either whole where it belongs, or left out because it
  // would run into the last one drawn; no two drawn labels overlap.
  int drawn = 0;
  int lastRight = -1000;
  for (const Label& l : labels) {
    const TextExtent e = measure(kSystemFont, l.text);
    const int left = l.x - e.width / 2;
    if (textAt(canvas, left, 600 - e.height - 2, kSystemFont, l.text)) {
      EXPECT_GE(left, lastRight) << l.text << " at " << l.x << " overlaps the label before it";
      lastRight = left + e.width;
      ++drawn;
    } else {
      EXPECT_LT(left, lastRight + 8) << l.text << " at " << l.x << " is missing, with room to spare";
    }
  }
  EXPECT_GT(drawn, static_cast<int>(labels.size()) / 3);
  EXPECT_LT(drawn, static_cast<int>(labels.size()));
}

}  // namespace
}  // namespace velmora
