#include "chart/pointer_overlays.h"

#include <algorithm>
#include <cstdio>

#include "chart/indicator_panel_painter.h"
#include "chart/price_panel_painter.h"

namespace velmora {

namespace {

constexpr Pen kCrossHairPen = Pen::solid(rgb(0, 255, 255));

// Moves what the surface changed into `damage`, piece by piece, so that two
// thin hairs do not grow into one rectangle over the whole chart. Without
// damage (a full paint shows everything) the surface keeps its record.
void collect(Surface& surface, OverlayDamage* damage) {
  if (damage != nullptr) damage->add(surface.takeDirtyRect());
}

// Each overlay piece draws as on a window surface obtained for the call,
// and leaves the caller's surface as it found it.
class FreshSurface {
 public:
  explicit FreshSurface(Surface& surface) : restorer_(surface) { surface.restore(SurfaceState{}); }

 private:
  SurfaceRestorer restorer_;
};

void crossHair(Surface& surface, const ChartViewModel& m, int x, int y, OverlayDamage* damage) {
  FreshSurface fresh(surface);
  surface.setRasterMode(RasterMode::Xor);
  surface.selectPen(kCrossHairPen);
  const Rect canvas{0, 0, surface.width(), surface.height()};
  if (y >= m.topMargin && y <= m.frameBottom()) {
    surface.moveTo(m.leftMargin, y);
    surface.lineTo(m.plotRight(), y);
    if (damage != nullptr) damage->add(Rect{m.leftMargin, y, m.plotRight(), y + 1}.intersected(canvas));
  }
  if (x >= m.leftMargin && x <= m.plotRight()) {
    surface.moveTo(x, m.topMargin);
    surface.lineTo(x, m.frameBottom());
    if (damage != nullptr) damage->add(Rect{x, m.topMargin, x + 1, m.frameBottom()}.intersected(canvas));
  }
  // The two lines are in the damage already, each on its own.
  if (damage != nullptr) surface.takeDirtyRect();
}

void priceLabel(Surface& surface, ChartViewModel& m, PointerOverlayState& state, int x, int y) {
  if (m.selecting != 0) return;
  const double price = m.priceAtY(y);
  // Over the price panel and above it; never over the indicator panels.
  if (price < m.data.priceMin) return;
  char text[64];
  std::snprintf(text, sizeof text, "%.2lf", price);

  FreshSurface fresh(surface);
  surface.selectFont(m.labelFont);
  const TextExtent extent = surface.textExtent(text);
  m.savedLabelWidth = extent.width + 8;
  m.savedLabelHeight = extent.height + 8;
  // "%.2lf" prices fit in 128 x 128; a larger label (an absurd price) gets
  // a memory image of its own size, so that all of it comes back.
  QImage& memory = state.labelBitmap;
  // Its size in canvas (logical) pixels: on a high-density canvas the
  // memory holds that many device pixels more.
  const QSize room = memory.deviceIndependentSize().toSize();
  if (memory.isNull() || room.width() < m.savedLabelWidth || room.height() < m.savedLabelHeight)
    memory = Surface::compatibleImage(std::max(kLabelAreaSize, m.savedLabelWidth),
                                      std::max(kLabelAreaSize, m.savedLabelHeight));
  state.labelLeft = x + 9;
  state.labelTop = y + 1;
  surface.copyToImage({state.labelLeft, state.labelTop, state.labelLeft + m.savedLabelWidth,
                       state.labelTop + m.savedLabelHeight},
                      memory, {0, 0});
  state.labelShown = true;
  surface.textOut(x + 12, y + 4, text);
}

void restoreLabel(Surface& surface, const ChartViewModel& m, PointerOverlayState& state) {
  if (m.selecting != 0 || !state.labelShown) return;
  state.labelShown = false;
  // Back where the label was saved, whatever the pointer did since: after
  // a selection the last pointer position is not where the label was.
  surface.copyFromImage(state.labelBitmap, {0, 0},
                        {state.labelLeft, state.labelTop, state.labelLeft + m.savedLabelWidth,
                         state.labelTop + m.savedLabelHeight});
}

// The box's rectangle for a text of `extent`: right-aligned at the plot's
// right edge, 24 pixels wider than the text; on a row of its own as wide as
// the widest box, so that a narrower one leaves nothing of the one before.
Rect boxRect(const ChartViewModel& m, const TextExtent& extent) {
  const int right = m.plotRight();
  const int width = m.infoLineTop > 2 ? std::max(extent.width, m.infoLineWidth) : extent.width;
  return {right - width - 24, m.infoLineTop, right, m.infoLineTop + extent.height + 2};
}

void openHighLowCloseBox(Surface& surface, const ChartViewModel& m, const QuoteBar& bar) {
  const std::string text = BarInfoText(bar);
  // The axis font stays selected for the headers that follow.
  surface.selectFont(m.axisFont);
  const TextExtent extent = surface.textExtent(text);
  surface.fillRect(boxRect(m, extent), m.backgroundColour);
  surface.setBackgroundColour(m.backgroundColour);
  surface.textOut(m.plotRight() - extent.width - 8, m.infoLineTop, text);
}

void barInfo(Surface& surface, const ChartViewModel& m, int x, OverlayDamage* damage) {
  const int b = m.barAtX(x);
  if (b < m.data.newestVisible || b > m.data.oldestVisible) return;
  if (b < 0 || b >= m.data.barCount()) return;  // no such bar in the series
  const QuoteBar& bar = m.bar(b);
  const ChartSettings& s = m.settings;

  FreshSurface fresh(surface);
  DrawLegend(surface, m, b);
  collect(surface, damage);
  openHighLowCloseBox(surface, m, bar);
  collect(surface, damage);
  if (s.showVolume != 0) {
    DrawVolumeHeader(surface, m, bar.volume, bar.volumeAvg50);
    collect(surface, damage);
  }
  if (s.showRsi != 0) {
    RedrawRsiHeader(surface, m, b);
    collect(surface, damage);
  }
  if (s.showStochastics != 0) {
    RedrawStochasticsHeader(surface, m, b);
    collect(surface, damage);
  }
  if (s.showMacd != 0) {
    RedrawMacdHeader(surface, m);
    collect(surface, damage);
  }
}

void moveOverlays(Surface& surface, ChartViewModel& m, PointerOverlayState& state, int x, int y, bool loaded,
                  OverlayDamage* damage) {
  if (loaded) {
    if (m.repainted != 0) {
      // The paint has already wiped the old overlays.
      state.labelShown = false;
      m.repainted = 0;
    } else {
      crossHair(surface, m, m.lastPointerX, m.lastPointerY, damage);
      restoreLabel(surface, m, state);
      collect(surface, damage);
    }
    crossHair(surface, m, x, y, damage);
    priceLabel(surface, m, state, x, y);
    collect(surface, damage);
    // Before the pointer has been over the chart, the newest bar is the one
    // a reader wants, as with the pointer over the price column.
    barInfo(surface, m, state.pointerSeen ? x : m.plotRight(), damage);
  }
  m.lastPointerX = x;
  m.lastPointerY = y;
}

}  // namespace

void OverlayDamage::add(const Rect& r) {
  if (r.isEmpty()) return;
  if (count_ < kCapacity)
    rects_[count_++] = r;
  else
    rects_[kCapacity - 1] = rects_[kCapacity - 1].united(r);
}

Rect OverlayDamage::bounds() const {
  Rect all;
  for (const Rect& r : *this) all = all.united(r);
  return all;
}

OverlayDamage OnPointerMove(Surface& surface, ChartViewModel& model, PointerOverlayState& state, int x, int y,
                            bool loaded) {
  OverlayDamage damage;
  collect(surface, &damage);
  state.pointerSeen = true;
  moveOverlays(surface, model, state, x, y, loaded, &damage);
  return damage;
}

void DrawOverlaysAfterPaint(Surface& surface, ChartViewModel& model, PointerOverlayState& state) {
  moveOverlays(surface, model, state, model.lastPointerX, model.lastPointerY, true, nullptr);
}

void DrawCrossHair(Surface& surface, const ChartViewModel& model, int x, int y) {
  crossHair(surface, model, x, y, nullptr);
}

void DrawPriceLabel(Surface& surface, ChartViewModel& model, PointerOverlayState& state, int x, int y) {
  priceLabel(surface, model, state, x, y);
}

void RestorePriceLabel(Surface& surface, const ChartViewModel& model, PointerOverlayState& state) {
  restoreLabel(surface, model, state);
}

void DrawBarInfo(Surface& surface, const ChartViewModel& model, int x) {
  barInfo(surface, model, x, nullptr);
}

void PlaceBarInfoLine(Surface& surface, ChartViewModel& m) {
  // A bar's legend and box are shown together: they meet when, for some
  // visible bar, the legend reaches into the box's cleared area, which
  // starts 24 pixels left of its text's width.
  int widest = 0;
  bool meet = false;
  for (int i = m.oldestIndex(); i >= m.newestIndex(); --i) {
    const int width = BarInfoWidth(surface, m, m.bar(i));
    widest = std::max(widest, width);
    meet = meet || LegendRight(surface, m, i) > m.plotRight() - width - 24;
  }
  const FontSpec oldFont = surface.selectFont(m.axisFont);
  const int rowHeight = surface.textExtent("0123456789").height + 2;
  surface.selectFont(oldFont);
  m.infoLineWidth = widest;
  m.infoLineTop = meet ? 2 + rowHeight : 2;
  m.topMargin = meet ? kChartTopMargin + rowHeight : kChartTopMargin;
}

int BarInfoWidth(Surface& surface, const ChartViewModel& m, const QuoteBar& bar) {
  const FontSpec oldFont = surface.selectFont(m.axisFont);
  const int width = surface.textExtent(BarInfoText(bar)).width;
  surface.selectFont(oldFont);
  return width;
}

Rect BarInfoRect(Surface& surface, const ChartViewModel& m, const QuoteBar& bar) {
  const FontSpec oldFont = surface.selectFont(m.axisFont);
  const TextExtent extent = surface.textExtent(BarInfoText(bar));
  surface.selectFont(oldFont);
  return boxRect(m, extent);
}

std::string BarInfoText(const QuoteBar& bar) {
  char text[160];
  // The date field holds at most 10 characters; never read past it.
  std::snprintf(text, sizeof text, "Date: %.*s O: %.2lf H: %.2lf L: %.2lf C: %.2lf",
                static_cast<int>(sizeof bar.date), bar.date, bar.open, bar.high, bar.low, bar.close);
  return text;
}

}  // namespace velmora
