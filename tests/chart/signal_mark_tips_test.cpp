#include "chart/signal_mark_tips.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <QWidget>

#include "chart/chart_layout.h"
#include "chart/price_panel_painter.h"
#include "chart_test_model.h"

namespace velmora {
namespace {

using namespace velmora::test;

// Ten bars laid out on an 800 x 600 chart: bar 4 a buy with an up turn,
// bar 6 a sell with a down turn, bar 2 a buy alone.
struct MarkedChart {
  std::unique_ptr<ChartViewModel> m = makeModel(10);
  QImage canvas;

  MarkedChart() {
    QImage scratch = blankCanvas(800, 600);
    {
      Surface surface(scratch);
      LayoutChart(surface, *m);
    }
    QuoteBar& buy = m->data.bars[4];
    setPrices(buy, 14, 17, 13, 16);
    setDate(buy, 2026, 12, 1);
    buy.SetMark("B");
    buy.trendChanged = 1, buy.trend = kUp;
    QuoteBar& sell = m->data.bars[6];
    setPrices(sell, 16, 17, 13, 14);
    setDate(sell, 2026, 11, 27);
    sell.SetMark("S");
    sell.trendChanged = 1, sell.trend = kDown;
    QuoteBar& alone = m->data.bars[2];
    setPrices(alone, 14, 15, 13, 14.5);
    setDate(alone, 2026, 12, 3);
    alone.SetMark("B");
    canvas = blankCanvas(m->clientWidth, m->clientHeight);
    Surface surface(canvas);
    DrawSignalCircles(surface, *m);
    DrawTrendTriangles(surface, *m);
  }
  std::string date(int i) const { return std::string(m->bar(i).date); }
};

TEST(SignalMarkTips, EachMarkNamesItsMeaningAndDayOverTheAreaDrawn) {
  MarkedChart c;
  const ChartViewModel& m = *c.m;

  const int cb = m.slotCentre(4), yb = m.yOfPrice(14), low = m.yOfPrice(13);
  const SignalMarkTip up = SignalMarkTipAt(m, cb, low + 10);
  EXPECT_EQ(up.text, "Trend turned up on " + c.date(4));
  const SignalMarkTip buy = SignalMarkTipAt(m, cb, yb - 8);
  EXPECT_EQ(buy.text, "Buy signal on " + c.date(4));
  // Together the areas are exactly what the painter drew in green.
  EXPECT_EQ(buy.area.united(up.area), boundsOfColour(c.canvas, kMarkGreen, {cb - 20, 0, cb + 20, 1 << 20}));

  const int cs = m.slotCentre(6), ys = m.yOfPrice(14), high = m.yOfPrice(17);
  const SignalMarkTip down = SignalMarkTipAt(m, cs, high - 10);
  EXPECT_EQ(down.text, "Trend turned down on " + c.date(6));
  const SignalMarkTip sell = SignalMarkTipAt(m, cs + 11, ys);
  EXPECT_EQ(sell.text, "Sell signal on " + c.date(6));
  EXPECT_EQ(sell.area.united(down.area), boundsOfColour(c.canvas, kRed));

  EXPECT_EQ(SignalMarkTipAt(m, m.slotCentre(2), m.yOfPrice(14)).text, "Buy signal on " + c.date(2));
}

TEST(SignalMarkTips, NothingBesideTheMarksOrOnHiddenBars) {
  MarkedChart c;
  ChartViewModel& m = *c.m;
  const int cb = m.slotCentre(4), yb = m.yOfPrice(14);
  EXPECT_TRUE(SignalMarkTipAt(m, cb + 12, yb - 12).text.empty());  // the circle's corner
  EXPECT_TRUE(SignalMarkTipAt(m, m.slotCentre(8), yb).text.empty());
  EXPECT_TRUE(SignalMarkTipAt(m, -1, -1).text.empty());
  // Bars newer than the newest visible one have no tip where their marks
  // would be; the older ones keep theirs.
  m.data.newestVisible = 5;
  EXPECT_TRUE(SignalMarkTipAt(m, m.slotCentre(2), m.yOfPrice(14)).text.empty());
  EXPECT_TRUE(SignalMarkTipAt(m, cb, yb - 8).text.empty());
  EXPECT_EQ(SignalMarkTipAt(m, m.slotCentre(6), m.yOfPrice(14)).text, "Sell signal on " + c.date(6));
}

TEST(SignalMarkTips, TheViewShowsTheTipWhileThePointerRestsOnAMark) {
  MarkedChart c;
  const ChartViewModel& m = *c.m;
  QWidget view;
  view.resize(m.clientWidth, m.clientHeight);
  bool loaded = false;
  new SignalMarkTips(&view, [&]() -> const ChartViewModel* { return loaded ? &m : nullptr; });
  view.show();
  auto rest = [&](QPoint at) {
    QHelpEvent event(QEvent::ToolTip, at, view.mapToGlobal(at));
    QApplication::sendEvent(&view, &event);
  };
  const QPoint onBuy(m.slotCentre(2), m.yOfPrice(14));

  rest(onBuy);  // no chart yet: no tip
  EXPECT_FALSE(QToolTip::isVisible());
  loaded = true;
  rest(onBuy);
  QTRY_VERIFY(QToolTip::isVisible());
  EXPECT_EQ(QToolTip::text(), QString::fromStdString("Buy signal on " + c.date(2)));
  rest(QPoint(m.slotCentre(8), m.yOfPrice(14)));
  QTRY_VERIFY(!QToolTip::isVisible());
}

}  // namespace
}  // namespace velmora
