#include "chart/chart_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

#include "base/text_helpers.h"
#include "chart/indicator_panel_painter.h"

namespace velmora {

namespace {

constexpr QRgb kBlack = rgb(0, 0, 0);
constexpr QRgb kGridGrey = rgb(196, 196, 196);

// One indicator panel stacked on `base`: kPanelHeight tall when shown,
// nothing (top = bottom = base) when not. Returns the next base.
int stackPanel(bool shown, int base, int& top, int& bottom) {
  bottom = base;
  top = shown ? base - kPanelHeight : base;
  return top;
}

void separator(Surface& surface, const ChartViewModel& m, int y) {
  surface.moveTo(m.leftMargin, y);
  surface.lineTo(m.plotRight(), y);
}

void drawFrame(Surface& surface, const ChartViewModel& m) {
  surface.selectPen(Pen::solid(kBlack, 2));
  const QPoint corners[] = {{m.leftMargin, m.topMargin},
                            {m.plotRight(), m.topMargin},
                            {m.plotRight(), m.frameBottom()},
                            {m.leftMargin, m.frameBottom()},
                            {m.leftMargin, m.topMargin}};
  surface.polyline(corners);
}

// The indicator panels from the bottom up (MACD, Stochastics, RSI, volume);
// the price panel takes what is left above them.
void stackPanels(Surface& surface, ChartViewModel& m) {
  const ChartSettings& s = m.settings;
  const Pen thinBlack = Pen::solid(kBlack);
  const Pen referenceGrey = Pen::solid(kGridGrey);
  surface.selectPen(thinBlack);
  int base = m.frameBottom();

  base = stackPanel(s.showMacd != 0, base, m.macdTop, m.macdBottom);
  if (s.showMacd != 0) separator(surface, m, m.macdTop);

  base = stackPanel(s.showStochastics != 0, base, m.stochTop, m.stochBottom);
  m.stochPlotHeight = m.stochBottom - m.axisTextHeight - m.stochTop - 2;
  if (s.showStochastics != 0) {
    separator(surface, m, m.stochTop);
    DrawStochasticsHeader(surface, m);
  }

  base = stackPanel(s.showRsi != 0, base, m.rsiTop, m.rsiBottom);
  m.rsiHeight = kPanelHeight;
  if (s.showRsi != 0) {
    // The Stochastics reference lines leave their grey pen behind, and the
    // RSI separator is drawn with it.
    surface.selectPen(s.showStochastics != 0 ? referenceGrey : thinBlack);
    separator(surface, m, m.rsiTop);
    DrawRsiHeader(surface, m);
  }

  base = stackPanel(s.showVolume != 0, base, m.volumeTop, m.volumeBottom);
  m.volumePlotHeight = 78 - m.axisTextHeight;
  if (s.showVolume != 0) {
    const QuoteBar& newest = m.newestBar();
    DrawVolumeHeader(surface, m, newest.volume, newest.volumeAvg50);
    surface.selectPen(Pen::solid(kBlack, 2));
    separator(surface, m, m.volumeTop);
  }

  m.priceBottom = base;
  m.priceTop = m.topMargin;
}

// ParseDate tries several spellings with scanf; every paint asks it for
// the same dates again, so the months are remembered per bar index along
// with the text they came from. A date without a year takes the current
// one, so the memory is dropped when the local year changes.
class MonthMemo {
 public:
  void beginPass() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (local.tm_year != localYear_) {
      localYear_ = local.tm_year;
      for (Entry& e : entries_) e.text[0] = '\0';
    }
  }

  // Year and month of "date time" of bar `index`.
  void parse(int index, const QuoteBar& bar, int& year, int& month) {
    char text[kTextSize];
    std::snprintf(text, sizeof text, "%s %s", bar.date, bar.time);
    Entry* e = index >= 0 && index < kHistoryCapacity ? &entries_[static_cast<size_t>(index)] : nullptr;
    if (e != nullptr && e->text[0] != '\0' && std::strcmp(e->text, text) == 0) {
      year = e->year, month = e->month;
      return;
    }
    int day = 0;
    ParseDate(text, year, month, day);
    if (e != nullptr) {
      std::memcpy(e->text, text, sizeof text);
      e->year = year, e->month = month;
    }
  }

 private:
  static constexpr int kTextSize = 24;  // 10 + 1 + 7 characters and the end
  struct Entry {
    char text[kTextSize] = {};
    int year = 0;
    int month = 0;
  };
  int localYear_ = -1;
  std::array<Entry, kHistoryCapacity> entries_{};
};

}  // namespace

double PriceStepFor(double range) {
  // A negative range (no visible bar widened the extents) or an absurd one
  // still gives a usable step.
  const double hundredths = std::clamp((range * 0.125 + 0.05) * 100, 5.0, 1e15);
  const long long t = static_cast<long long>(hundredths);
  return static_cast<double>(t / 5 * 5) * 0.01;
}

void MeasureAxisColumn(Surface& surface, ChartViewModel& m) {
  const FontSpec oldFont = surface.selectFont(m.axisFont);
  char text[64];
  std::snprintf(text, sizeof text, "%.2lf", m.data.priceMax);
  const TextExtent extent = surface.textExtent(text);
  surface.selectFont(oldFont);
  m.axisTextWidth = extent.width;
  m.axisTextHeight = extent.height;
  m.axisWidth = m.axisTextWidth + 4;
  m.updateBarSpacing();
}

QSize ChartMinimumClientSize(Surface& surface, const ChartViewModel& m) {
  const FontSpec oldFont = surface.selectFont(m.axisFont);
  char text[64];
  std::snprintf(text, sizeof text, "%.2lf", m.data.priceMax);
  const TextExtent label = surface.textExtent(text);
  surface.selectFont(oldFont);
  const ChartSettings& s = m.settings;
  const int panels = (s.showMacd != 0) + (s.showStochastics != 0) + (s.showRsi != 0) + (s.showVolume != 0);
  // The grid's step is at least an eighth of the price range, so eight
  // label heights between the insets keep the labels apart.
  const int pricePanel = m.priceTopInset + m.priceBottomInset + kGridLabelRows * label.height;
  // The top margin of a legend that shares its row with the box: a window
  // narrow enough to give the box a row of its own spares that row from the
  // price panel, so the least size does not change with the window's width.
  return {m.leftMargin + kMinimumPlotWidth + std::max(m.axisWidth, label.width + 4),
          kChartTopMargin + pricePanel + panels * kPanelHeight + m.bottomMargin};
}

void LayoutChart(Surface& surface, ChartViewModel& m) {
  SurfaceRestorer restorer(surface);
  const double range = m.data.priceMax - m.data.priceMin;
  m.priceStep = PriceStepFor(range);
  MeasureAxisColumn(surface, m);
  surface.selectFont(m.axisFont);

  drawFrame(surface, m);
  stackPanels(surface, m);

  // A flat window (highest high = lowest low) is scaled as if it spanned
  // one price step: every price then sits on the lowest price's line and
  // no conversion divides by zero.
  const double scaledRange = range > 0 ? range : m.priceStep;
  m.priceScale = (m.priceBottom - m.priceBottomInset - m.priceTopInset - m.topMargin) / scaledRange;
  m.updateBarSpacing();
}

void DrawPriceGrid(Surface& surface, const ChartViewModel& m) {
  SurfaceRestorer restorer(surface);
  surface.selectPen(Pen::solid(kGridGrey));
  surface.selectFont(m.axisFont);
  const double step = m.priceStep > 0 ? m.priceStep : PriceStepFor(m.data.priceMax - m.data.priceMin);
  double level = std::trunc((m.data.priceMin + step + 0.05) * 10) * 0.1;
  // The step is at least an eighth of the range, so a dozen levels cover
  // it; the cap only stops a step lost in the rounding of huge prices.
  for (int n = 0; level < m.data.priceMax && n < 64; ++n, level += step) {
    const int y = m.yOfPrice(level);
    separator(surface, m, y);
    char text[64];
    std::snprintf(text, sizeof text, "%.2lf", level);
    surface.textOut(m.plotRight() + 2, y - m.axisTextHeight / 2, text);
  }
}

void DrawMonthAxis(Surface& surface, const ChartViewModel& m) {
  static const char* const kNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static const char* const kInitials[] = {"J", "F", "M", "A", "M", "J", "J", "A", "S", "O", "N", "D"};
  const char* const* names = m.data.oldestVisible - m.data.newestVisible <= 365 ? kNames : kInitials;

  thread_local MonthMemo memo;  // painting happens on one thread per surface
  memo.beginPass();
  const Pen oldPen = surface.selectPen(Pen::solid(kGridGrey));
  // Labels keep at least a blank's width apart; one that would come closer
  // to the label before it is left out, its line still drawn.
  const int labelGap = surface.textExtent(" ").width;
  int labelsEnd = std::numeric_limits<int>::min();
  int previousMonth = 0;
  // The newest bar (index 0) never starts a month.
  const int newest = std::max(m.newestIndex(), 1);
  for (int i = m.oldestIndex(); i >= newest; --i) {
    int year = 0, month = 0;
    memo.parse(i, m.bar(i), year, month);
    if (month == previousMonth) continue;
    if (previousMonth > 0) {
      // The right edge of the slot of the month's first bar.
      const int x = TruncToInt((m.data.oldestVisible - i + 1) * m.barSpacing + m.leftMargin);
      surface.moveTo(x, m.topMargin);
      surface.lineTo(x, m.frameBottom());
      char label[8];
      if (month == 1)
        std::snprintf(label, sizeof label, "%02d", ((year % 100) + 100) % 100);
      else
        std::snprintf(label, sizeof label, "%s", month >= 1 && month <= 12 ? names[month - 1] : "");
      const TextExtent extent = surface.textExtent(label);
      const int left = x - extent.width / 2;
      if (labelsEnd == std::numeric_limits<int>::min() || left >= labelsEnd + labelGap) {
        surface.textOut(left, m.clientHeight - extent.height - 2, label);
        labelsEnd = left + extent.width;
      }
    }
    previousMonth = month;
  }
  surface.selectPen(oldPen);
}

}  // namespace velmora
