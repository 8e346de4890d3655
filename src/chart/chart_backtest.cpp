#include "chart/chart_backtest.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <vector>

#include "backtest/walk_forward.h"
#include "core/chart_window.h"

namespace velmora {

namespace {

// An arrow: a head 5 rows deep (1 to 9 pixels wide) from the tip, then a
// 3-pixel shaft to 11 rows from it.
constexpr int kHeadRows = 5;
constexpr int kArrowRows = 12;

std::string format(const char* pattern, double value) {
  char text[48];
  std::snprintf(text, sizeof text, pattern, value);
  return text;
}

std::string signedPercent(double fraction) { return format("%+.2lf%%", fraction * 100); }

std::string drawdownPercent(double fraction) {
  return fraction > 0 ? format("-%.2lf%%", fraction * 100) : std::string("0.00%");
}

std::string tradeCount(const BacktestSummary& s, bool words) {
  char text[64];
  if (words)
    std::snprintf(text, sizeof text, "%d trade%s", s.trades, s.trades == 1 ? "" : "s");
  else
    std::snprintf(text, sizeof text, "%d", s.trades);
  std::string out = text;
  if (s.openPositions > 0) {
    std::snprintf(text, sizeof text, " + %d open", s.openPositions);
    out += text;
  }
  return out;
}

// The line's parts, most important first: a line too wide for the plot
// loses parts from the end.
std::vector<std::string> lineParts(const BacktestSummary& s) {
  std::vector<std::string> parts;
  parts.push_back("Back-test: " + tradeCount(s, true));
  if (s.trades > 0) parts.push_back(format("%.0lf%% won", s.winShare * 100));
  parts.push_back(signedPercent(s.totalReturn));
  parts.push_back("max drawdown " + drawdownPercent(s.maxDrawdown));
  parts.push_back("buy & hold " + signedPercent(s.buyAndHold));
  return parts;
}

std::string join(const std::vector<std::string>& parts, std::size_t count) {
  std::string text;
  for (std::size_t k = 0; k < count && k < parts.size(); ++k) text += (k == 0 ? "" : ", ") + parts[k];
  return text;
}

void arrow(Surface& surface, QPoint tip, bool up, QRgb colour) {
  const int x = tip.x(), step = up ? 1 : -1;
  for (int k = 0; k < kHeadRows; ++k) {
    const int y = tip.y() + step * k;
    surface.fillRect({x - k, y, x + k + 1, y + 1}, colour);
  }
  const int from = tip.y() + step * kHeadRows, to = tip.y() + step * (kArrowRows - 1);
  surface.fillRect({x - 1, std::min(from, to), x + 2, std::max(from, to) + 1}, colour);
}

bool visible(const ChartViewModel& m, int bar) { return bar >= m.newestIndex() && bar <= m.oldestIndex(); }

}  // namespace

void PrepareChartBacktest(ChartViewModel& m, int confirmDays) {
  m.backtest = ChartBacktest{};
  if (m.settings.showBacktest == 0) return;
  const int count = m.data.barCount();
  if (count <= 0 || m.oldestIndex() < m.newestIndex()) return;
  const std::span<const QuoteBar> bars(m.data.bars.data(), static_cast<std::size_t>(count));
  BacktestOptions options;
  options.confirmDays = confirmDays;
  options.isIndex = IsIndexChart(m.settings);
  // The marks come from every bar of the series, the trades from the
  // visible ones only.
  const std::vector<char> marks = WalkForwardMarks(bars, options.isIndex, confirmDays);
  BacktestResult result = TradeMarks(bars, marks, options, BarSpan{m.oldestIndex(), m.newestIndex()});
  m.backtest.trades = std::move(result.trades);
  m.backtest.summary = result.summary;
  m.backtest.line = BacktestSummaryLine(result.summary);
  m.backtest.ready = true;
}

std::string BacktestSummaryLine(const BacktestSummary& summary) {
  const std::vector<std::string> parts = lineParts(summary);
  return join(parts, parts.size());
}

BacktestFigureTexts BacktestFigures(const BacktestSummary& s) {
  BacktestFigureTexts t;
  t.trades = tradeCount(s, false);
  if (s.trades > 0) t.won = format("%.2lf%%", s.winShare * 100);
  t.totalReturn = signedPercent(s.totalReturn);
  t.maxDrawdown = drawdownPercent(s.maxDrawdown);
  t.buyAndHold = signedPercent(s.buyAndHold);
  return t;
}

QPoint BacktestArrowTip(const ChartViewModel& m, int bar, double price) {
  return {m.slotCentre(bar), m.yOfPrice(price)};
}

QPoint BacktestLineOrigin(const ChartViewModel& m) { return {4, m.priceTop + 4}; }

void DrawBacktestTrades(Surface& surface, const ChartViewModel& m) {
  if (!m.backtest.ready) return;
  SurfaceRestorer restorer(surface);
  for (const BacktestTrade& t : m.backtest.trades) {
    const bool isLong = t.side == TradeSide::kLong;
    if (visible(m, t.entryBar))
      arrow(surface, BacktestArrowTip(m, t.entryBar, t.entryPrice), isLong, kBacktestEntryColour);
    if (!t.open && visible(m, t.exitBar))
      arrow(surface, BacktestArrowTip(m, t.exitBar, t.exitPrice), !isLong, kBacktestExitColour);
  }
  surface.selectFont(m.axisFont);
  surface.setBackgroundMode(BackgroundMode::Opaque);
  surface.setBackgroundColour(m.backgroundColour);
  surface.setTextColour(m.textColour);
  const QPoint origin = BacktestLineOrigin(m);
  const int room = m.plotRight() - origin.x() - 4;
  const std::vector<std::string> parts = lineParts(m.backtest.summary);
  std::size_t count = parts.size();
  while (count > 1 && surface.textExtent(join(parts, count)).width > room) --count;
  const std::string text = join(parts, count);
  if (surface.textExtent(text).width <= room) surface.textOut(origin.x(), origin.y(), text);
}

}  // namespace velmora
