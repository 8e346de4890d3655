#pragma once

// Value types of the drawing surface: rectangles with the right and bottom
// edge excluded, pens, brushes, font descriptions and the surface's state.
// They are plain values: "creating" a pen is constructing one, and nothing
// has to be released.

#include <QPoint>
#include <QRect>
#include <QRgb>
#include <algorithm>

namespace velmora {

// An RGB colour with an opaque alpha, as stored in a Format_RGB32 canvas.
constexpr QRgb rgb(int r, int g, int b) { return qRgb(r, g, b); }

// A rectangle in device pixels; right and bottom are one past the last
// pixel, so (10, 10, 20, 20) covers x = 10..19 and y = 10..19.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  constexpr int width() const { return right - left; }
  constexpr int height() const { return bottom - top; }
  constexpr bool isEmpty() const { return right <= left || bottom <= top; }
  constexpr bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
  // Corners swapped where needed, as the classic calls accept either order.
  constexpr Rect normalized() const {
    return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  }
  constexpr Rect intersected(const Rect& o) const {
    return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
            std::min(bottom, o.bottom)};
  }
  // The smallest rectangle holding both; an empty side is ignored.
  constexpr Rect united(const Rect& o) const {
    if (o.isEmpty()) return *this;
    if (isEmpty()) return o;
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right),
            std::max(bottom, o.bottom)};
  }
  QRect toQRect() const { return isEmpty() ? QRect() : QRect(left, top, width(), height()); }
  static Rect fromQRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
  }
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

enum class PenStyle {
  Solid,
  Dash,  // 18 pixels on, 6 off
  Dot,   // 3 pixels on, 3 off
  Null,  // draws nothing
};

// A pen of `width` pixels. Width 1 (or less) is the exact one-pixel line of
// the classic API; wider pens are round-capped and centred on the line.
struct Pen {
  QRgb colour = rgb(0, 0, 0);
  int width = 1;
  PenStyle style = PenStyle::Solid;

  static constexpr Pen solid(QRgb colour, int width = 1) { return {colour, width, PenStyle::Solid}; }
  static constexpr Pen dotted(QRgb colour) { return {colour, 1, PenStyle::Dot}; }
  static constexpr Pen dashed(QRgb colour) { return {colour, 1, PenStyle::Dash}; }
  static constexpr Pen none() { return {rgb(0, 0, 0), 1, PenStyle::Null}; }
  constexpr bool isNull() const { return style == PenStyle::Null; }
  friend constexpr bool operator==(const Pen&, const Pen&) = default;
};

// A solid brush, or the null brush that fills nothing.
struct Brush {
  QRgb colour = rgb(255, 255, 255);
  bool null = false;

  static constexpr Brush solid(QRgb colour) { return {colour, false}; }
  static constexpr Brush none() { return {rgb(255, 255, 255), true}; }
  constexpr bool isNull() const { return null; }
  friend constexpr bool operator==(const Brush&, const Brush&) = default;
};

enum class FontPitch {
  Variable,  // DejaVu Sans
  Fixed,     // DejaVu Sans Mono
};

// A font by character cell height in pixels (ascent + descent, as text
// measurement reports it), weight 100..900 (0 = normal) and pitch.
struct FontSpec {
  int cellHeight = 16;
  int weight = 0;
  FontPitch pitch = FontPitch::Variable;
  friend constexpr bool operator==(const FontSpec&, const FontSpec&) = default;
};

// A fresh surface's font: bold, variable pitch, 16-pixel cell, in the manner
// of the old system font that text fell back to when no font was selected.
inline constexpr FontSpec kSystemFont{16, 700, FontPitch::Variable};

enum class RasterMode {
  Copy,
  Xor,  // pen and brush colours are xor-ed into the canvas; twice restores it
};

enum class BackgroundMode {
  Opaque,       // text gets a box of the background colour; pen gaps too
  Transparent,  // only the glyphs (and the pen's dashes) are drawn
};

struct TextExtent {
  int width = 0;
  int height = 0;
  friend constexpr bool operator==(const TextExtent&, const TextExtent&) = default;
};

// Everything a painter may select or set; see Surface::state()/restore().
struct SurfaceState {
  Pen pen;
  Brush brush;
  FontSpec font = kSystemFont;
  QRgb textColour = rgb(0, 0, 0);
  QRgb backgroundColour = rgb(255, 255, 255);
  BackgroundMode backgroundMode = BackgroundMode::Opaque;
  RasterMode rasterMode = RasterMode::Copy;
  friend bool operator==(const SurfaceState&, const SurfaceState&) = default;
};

}  // namespace velmora
