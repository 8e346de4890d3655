#include "chart/signal_mark_tips.h"

#include <QHelpEvent>
#include <QToolTip>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <utility>

namespace velmora {

namespace {

// The marks as the price panel draws them: a circle of radius 12 round the
// lower end of the body, a triangle 7 pixels either side of the bar's
// centre from 4 to 16 pixels beyond its low or high.
constexpr int kCircleRadius = 12;
constexpr int kTriangleHalfWidth = 7, kTriangleNear = 4, kTriangleFar = 16;

std::string describe(const char* what, const QuoteBar& bar) {
  char text[96];
  std::snprintf(text, sizeof text, "%s on %.*s", what, static_cast<int>(sizeof bar.date), bar.date);
  return text;
}

}  // namespace

SignalMarkTip SignalMarkTipAt(const ChartViewModel& m, int x, int y) {
  if (m.data.barCount() == 0) return {};
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
    const QuoteBar& bar = m.bar(i);
    if (bar.trendChanged == 0) continue;
    const int c = m.slotCentre(i);
    if (x < c - kTriangleHalfWidth || x > c + kTriangleHalfWidth) continue;
    if (bar.trend == kUp) {
      const int low = m.yOfPrice(bar.low);
      if (y >= low + kTriangleNear && y <= low + kTriangleFar)
        return {describe("Trend turned up", bar),
                {c - kTriangleHalfWidth, low + kTriangleNear, c + kTriangleHalfWidth + 1,
                 low + kTriangleFar + 1}};
    } else {
      const int high = m.yOfPrice(bar.high);
      if (y >= high - kTriangleFar && y <= high - kTriangleNear)
        return {describe("Trend turned down", bar),
                {c - kTriangleHalfWidth, high - kTriangleFar, c + kTriangleHalfWidth + 1,
                 high - kTriangleNear + 1}};
    }
  }
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
    const QuoteBar& bar = m.bar(i);
    const char mark = bar.signalMark[0];
    if (mark != 'B' && mark != 'S') continue;
    const int c = m.slotCentre(i);
    const int centreY = m.yOfPrice(std::min(bar.open, bar.close));
    const int dx = x - c, dy = y - centreY;
    if (dx * dx + dy * dy > kCircleRadius * kCircleRadius) continue;
    return {describe(mark == 'B' ? "Buy signal" : "Sell signal", bar),
            {c - kCircleRadius, centreY - kCircleRadius, c + kCircleRadius, centreY + kCircleRadius}};
  }
  return {};
}

SignalMarkTips::SignalMarkTips(QWidget* view, std::function<const ChartViewModel*()> model)
    : QObject(view), view_(view), model_(std::move(model)) {
  view->installEventFilter(this);
}

bool SignalMarkTips::eventFilter(QObject* watched, QEvent* event) {
  if (watched != view_ || event->type() != QEvent::ToolTip) return false;
  const ChartViewModel* model = model_ ? model_() : nullptr;
  if (model == nullptr) return false;
  auto* help = static_cast<QHelpEvent*>(event);
  const SignalMarkTip tip = SignalMarkTipAt(*model, help->pos().x(), help->pos().y());
  if (tip.text.empty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(help->globalPos(), QString::fromStdString(tip.text), view_, tip.area.toQRect());
  }
  return true;
}

}  // namespace velmora
