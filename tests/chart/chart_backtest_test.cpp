// The back-test on a chart: arrows at the traded prices, the summary line
// under the legend, and nothing at all while the switch is off.
#include "chart/chart_backtest.h"

#include <gtest/gtest.h>

#include <span>

#include "backtest/backtest.h"
#include "chart/chart_painter.h"
#include "chart/pointer_overlays.h"
#include "chart_test_model.h"
#include "support/engine_fixtures.h"

namespace velmora {
namespace {

using namespace velmora::test;

constexpr int kConfirmDays = 2;

// The chart of a trending, gapping market that trades (MarketBars), dated
// trading day by trading day to Friday 4 Dec 2026, every bar but the
// newest visible.
std::unique_ptr<ChartViewModel> marketModel(int count, int width, int height, std::uint32_t seed) {
  auto m = engineModel(count, width, height);
  const std::vector<QuoteBar> market = MarketBars(count, seed);
  ChartData& d = m->data;
  d.priceMax = 0, d.priceMin = 9999999999.99;
  for (int i = 0; i < count; ++i) {
    const QuoteBar& from = market[static_cast<std::size_t>(i)];
    setPrices(d.bars[i], from.open, from.high, from.low, from.close);
    if (i >= d.newestVisible) {
      d.priceMax = std::max(d.priceMax, from.high);
      d.priceMin = std::min(d.priceMin, from.low);
    }
  }
  computeIndicators(false, false, 14, 14, 3, 3, count - 1, 0, BarsOf(d.bars), d.signalState, kConfirmDays);
  return m;
}

QImage paint(ChartViewModel& m) {
  QImage image = blankCanvas(m.clientWidth, m.clientHeight);
  Surface surface(image);
  BeginChartPaint(surface, m);
  PaintChart(surface, m);
  return image;
}

// The trades as the back-test library makes them from the chart's bars:
// marks from the whole series, trades over the visible bars.
BacktestResult expectedTrades(const ChartViewModel& m) {
  BacktestOptions options;
  options.confirmDays = kConfirmDays;
  const std::span<const QuoteBar> bars(m.data.bars.data(), static_cast<std::size_t>(m.data.barCount()));
  return RunBacktest(bars, options, BarSpan{m.data.oldestVisible, m.data.newestVisible});
}

TEST(ChartBacktest, SwitchedOffTheChartIsUnchanged) {
  auto plain = marketModel(300, 1200, 800, 7);
  const QImage before = paint(*plain);
  auto m = marketModel(300, 1200, 800, 7);
  PrepareChartBacktest(*m, kConfirmDays);
  EXPECT_FALSE(m->backtest.ready);
  EXPECT_TRUE(m->backtest.trades.empty());
  EXPECT_TRUE(paint(*m) == before);
  EXPECT_EQ(countColour(before, kBacktestEntryColour), 0);
  EXPECT_EQ(countColour(before, kBacktestExitColour), 0);
}

TEST(ChartBacktest, ArrowsAtTheTradedPricesAndTheSummaryLine) {
  auto m = marketModel(300, 1200, 800, 7);
  m->settings.showBacktest = 1;
  PrepareChartBacktest(*m, kConfirmDays);
  const BacktestResult expected = expectedTrades(*m);
  ASSERT_GE(expected.trades.size(), 2u) << "the series should trade";
  ASSERT_TRUE(m->backtest.ready);
  ASSERT_EQ(m->backtest.trades.size(), expected.trades.size());
  const QImage image = paint(*m);

  // The line lies under the legend row, inside the price panel.
  const QPoint origin = BacktestLineOrigin(*m);
  const std::string line = BacktestSummaryLine(expected.summary);
  EXPECT_TRUE(textAt(image, origin.x(), origin.y(), m->axisFont, line));
  const TextExtent extent = measure(m->axisFont, line);
  EXPECT_GT(origin.y(), measure(m->axisFont, "0123456789").height + 2);
  EXPECT_LE(origin.x() + extent.width, m->plotRight());
  const int lineBottom = origin.y() + extent.height;

  // A long trade: an up arrow with its tip at the entry price (shaft
  // below), a down arrow with its tip at the exit price (shaft above).
  int probed = 0;
  for (std::size_t k = 0; k < expected.trades.size(); ++k) {
    const BacktestTrade& t = expected.trades[k];
    EXPECT_EQ(m->backtest.trades[k].entryBar, t.entryBar);
    ASSERT_EQ(t.side, TradeSide::kLong);
    const QPoint entry = BacktestArrowTip(*m, t.entryBar, t.entryPrice);
    EXPECT_EQ(entry, QPoint(m->slotCentre(t.entryBar), m->yOfPrice(t.entryPrice)));
    if (entry.y() - 12 > lineBottom) {
      EXPECT_EQ(image.pixel(entry), kBacktestEntryColour) << "entry tip of trade " << k;
      EXPECT_EQ(image.pixel(entry.x() + 1, entry.y() + 8), kBacktestEntryColour) << "entry shaft " << k;
      EXPECT_NE(image.pixel(entry.x() + 3, entry.y() - 1), kBacktestEntryColour) << "nothing above the tip";
      ++probed;
    }
    if (t.open) continue;
    const QPoint exit = BacktestArrowTip(*m, t.exitBar, t.exitPrice);
    if (exit.y() - 12 > lineBottom) {
      EXPECT_EQ(image.pixel(exit), kBacktestExitColour) << "exit tip of trade " << k;
      EXPECT_EQ(image.pixel(exit.x() - 1, exit.y() - 8), kBacktestExitColour) << "exit shaft " << k;
      ++probed;
    }
  }
  EXPECT_GT(probed, 2);

  // Pointer moves rewrite the legend row, not the line.
  QImage canvas = image;
  Surface surface(canvas);
  PointerOverlayState overlays;
  m->repainted = 1;
  (void)OnPointerMove(surface, *m, overlays, 300, 500, true);
  (void)OnPointerMove(surface, *m, overlays, 700, 450, true);
  surface.flush();
  EXPECT_TRUE(textAt(canvas, origin.x(), origin.y(), m->axisFont, line));
}

TEST(ChartBacktest, ShortTradesPointTheOtherWay) {
  auto m = marketModel(300, 1200, 800, 7);
  m->settings.showBacktest = 1;
  PrepareChartBacktest(*m, kConfirmDays);
  ASSERT_TRUE(m->backtest.ready);
  BacktestTrade t;
  t.side = TradeSide::kShort;
  t.entryBar = 100, t.exitBar = 60;
  t.entryPrice = m->data.priceMin + 1, t.exitPrice = m->data.priceMin + 2;
  m->backtest.trades = {t};
  const QImage image = paint(*m);
  const QPoint entry = BacktestArrowTip(*m, 100, t.entryPrice), exit = BacktestArrowTip(*m, 60, t.exitPrice);
  // A sale at the entry: shaft above the tip; a purchase at the exit: below.
  EXPECT_EQ(image.pixel(entry.x(), entry.y() - 8), kBacktestEntryColour);
  EXPECT_NE(image.pixel(entry.x(), entry.y() + 8), kBacktestEntryColour);
  EXPECT_EQ(image.pixel(exit.x(), exit.y() + 8), kBacktestExitColour);
  EXPECT_NE(image.pixel(exit.x(), exit.y() - 8), kBacktestExitColour);
}

TEST(ChartBacktest, SummaryTexts) {
  BacktestSummary s;
  s.trades = 5;
  s.winShare = 0.6;
  s.totalReturn = 0.1234;
  s.maxDrawdown = 0.081;
  s.buyAndHold = 0.0987;
  EXPECT_EQ(BacktestSummaryLine(s),
            "Back-test: 5 trades, 60% won, +12.34%, max drawdown -8.10%, buy & hold +9.87%");
  BacktestFigureTexts t = BacktestFigures(s);
  EXPECT_EQ(t.trades, "5");
  EXPECT_EQ(t.won, "60.00%");
  EXPECT_EQ(t.totalReturn, "+12.34%");
  EXPECT_EQ(t.maxDrawdown, "-8.10%");
  EXPECT_EQ(t.buyAndHold, "+9.87%");

  // Nothing closed yet, one position open and losing; no drawdown reads as 0.
  s = BacktestSummary{};
  s.openPositions = 1;
  s.totalReturn = -0.05;
  s.buyAndHold = -0.25;
  EXPECT_EQ(BacktestSummaryLine(s),
            "Back-test: 0 trades + 1 open, -5.00%, max drawdown 0.00%, buy & hold -25.00%");
  t = BacktestFigures(s);
  EXPECT_EQ(t.trades, "0 + 1 open");
  EXPECT_EQ(t.won, "");
  EXPECT_EQ(t.maxDrawdown, "0.00%");
  s.trades = 1;
  s.winShare = 1;
  EXPECT_EQ(BacktestSummaryLine(s).substr(0, 31), "Back-test: 1 trade + 1 open, 10");
}

TEST(ChartBacktest, ANarrowPlotDropsTheLastFiguresRatherThanCrossTheAxis) {
  auto m = marketModel(120, 360, 600, 7);
  m->settings.showBacktest = 1;
  PrepareChartBacktest(*m, kConfirmDays);
  ASSERT_TRUE(m->backtest.ready);
  const QImage image = paint(*m);
  const QPoint origin = BacktestLineOrigin(*m);
  EXPECT_TRUE(textAt(image, origin.x(), origin.y(), m->axisFont, "Back-test: "));
  // No black glyph pixel of the line right of the plot.
  const int h = measure(m->axisFont, "0").height;
  const Rect beyond{m->plotRight() + 1, origin.y(), m->clientWidth, origin.y() + h};
  EXPECT_TRUE(boundsOfColour(image, kBlack, beyond).isEmpty());
}

}  // namespace
}  // namespace velmora
