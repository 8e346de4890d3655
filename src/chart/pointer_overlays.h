#pragma once

// What a chart shows under the pointer without repainting: a cyan XOR
// cross-hair through the pointer, a label with the price at the pointer's
// height drawn over a saved copy of the canvas, and the information lines
// (moving-average legend, the open-high-low-close box and the shown panels'
// headers) rewritten for the bar under the pointer. XOR and the saved copy
// let the next move take the overlays away exactly.
//
// The view calls OnPointerMove from its mouse-move handler and
// DrawOverlaysAfterPaint from the overlay hook of PaintChart:
//
//   OverlayDamage damage = OnPointerMove(surface, chart, overlays, x, y, loaded);
//   for (const Rect& r : damage) update(r.toQRect());
//   ... then, while chart.selecting, the selection band.
//
//   PaintChart(surface, chart, [&](Surface& s, ChartViewModel& m) {
//     DrawOverlaysAfterPaint(s, m, overlays);
//   });
//
// Every piece works as on a freshly obtained window surface (black
// one-pixel pen, black text on opaque white, copy mode, the system font)
// whatever the caller selected, and puts the caller's selections back.

#include <QImage>
#include <array>
#include <string>

#include "chart/chart_model.h"
#include "draw/surface.h"

namespace velmora {

// Side of the square memory image the label's background is saved into.
inline constexpr int kLabelAreaSize = 128;

// The overlay state that is not one of the model's fields: the saved canvas
// area under the price label, and where that label sits. The view keeps
// one per chart, next to its ChartViewModel.
struct PointerOverlayState {
  // 128 x 128, made on first use; grows when a label does not fit in it.
  QImage labelBitmap;
  // A label is on the canvas and labelBitmap holds what lies under it.
  bool labelShown = false;
  int labelLeft = 0;
  int labelTop = 0;
  // The pointer has moved over the chart's view at least once; until then
  // the information lines show the newest visible bar.
  bool pointerSeen = false;
};

// The canvas rectangles a pointer move changed: the view shows these.
class OverlayDamage {
 public:
  static constexpr int kCapacity = 16;
  // Empty rectangles are ignored; beyond the capacity the last one grows.
  void add(const Rect& r);
  const Rect* begin() const { return rects_.data(); }
  const Rect* end() const { return rects_.data() + count_; }
  int size() const { return count_; }
  // The smallest rectangle holding them all.
  Rect bounds() const;

 private:
  std::array<Rect, kCapacity> rects_{};
  int count_ = 0;
};

// A pointer move to (x, y). On a loaded chart: takes away the overlays of
// the last position (unless a paint has wiped them since: `repainted`),
// then draws the cross-hair, the price label and the information lines
// for (x, y). Records (x, y) as the last position in any case. The
// selection band is the caller's, drawn after this.
// What the surface had marked changed before the call moves into the
// returned damage too, so show the damage, not the surface's dirtyRect().
OverlayDamage OnPointerMove(Surface& surface, ChartViewModel& model, PointerOverlayState& state, int x, int y,
                            bool loaded);

// The end of a full paint of a loaded chart: the overlays for the last
// pointer position ((-1, -1) before the pointer has moved, with the
// information lines of the newest visible bar then), as a move there.
// Leaves the surface's dirty rectangle alone.
void DrawOverlaysAfterPaint(Surface& surface, ChartViewModel& model, PointerOverlayState& state);

// The two hairs in XOR with a one-pixel cyan pen: the horizontal one across
// the plot when y is within the frame, the vertical one from the top to the
// bottom of the frame when x is within the plot. Drawing it twice puts the
// canvas back.
void DrawCrossHair(Surface& surface, const ChartViewModel& model, int x, int y);

// "%.2lf" of the price at y in the label font, black on white, at
// (x + 12, y + 4), after saving the area from (x + 9, y + 1) that the
// label's box and a 4-pixel margin cover. Nothing while selecting or below
// the lowest visible price (over the indicator panels).
void DrawPriceLabel(Surface& surface, ChartViewModel& model, PointerOverlayState& state, int x, int y);

// Puts the saved area back under the label last drawn, once. Nothing while
// selecting or when no label is shown (a pointer move after a full paint
// knows the paint has wiped it).
void RestorePriceLabel(Surface& surface, const ChartViewModel& model, PointerOverlayState& state);

// The information lines for the bar under x: the legend, the
// open-high-low-close box at the right end of the top row, and the
// headers of the shown volume, RSI, Stochastics and MACD panels.
void DrawBarInfo(Surface& surface, const ChartViewModel& model, int x);

// "Date: 6-Dec-05 O: 12.00 H: 12.50 L: 11.75 C: 12.25"
std::string BarInfoText(const QuoteBar& bar);

// Where this paint puts the open-high-low-close box, before anything is
// drawn: at the right end of the legend's row, or, when for some visible
// bar its box would run into its legend, on a row of its own under the
// legend, with the chart frame (topMargin) one row lower so that the box
// never covers the chart. The decision holds for the whole paint, so the
// box does not jump between rows as the pointer moves. Sets infoLineTop,
// infoLineWidth and topMargin; leaves the surface's selections as they were.
void PlaceBarInfoLine(Surface& surface, ChartViewModel& model);

// The width of the box's text for `bar`, and the rectangle the box is
// cleared to, as DrawBarInfo draws it.
int BarInfoWidth(Surface& surface, const ChartViewModel& model, const QuoteBar& bar);
Rect BarInfoRect(Surface& surface, const ChartViewModel& model, const QuoteBar& bar);

}  // namespace velmora
