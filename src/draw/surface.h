#pragma once

// The drawing surface: the immediate-mode 2D drawing of the classic desktop
// API over a QImage that is a view's persistent canvas (Format_RGB32, device
// pixels, integer coordinates, y downwards).
//
// A surface keeps a current pen, brush, font, text colour, text background
// colour and mode, raster mode (copy or xor) and pen position. Selecting
// returns what was selected before, so a painter can put it back:
//
//   const Pen oldPen = surface.selectPen(Pen::solid(rgb(255, 0, 0)));
//   surface.moveTo(10, 5);
//   surface.lineTo(20, 5);  // x = 10..19
//   surface.selectPen(oldPen);
//
// or SurfaceRestorer puts everything back at the end of a scope.
//
// Geometry follows that API: a line leaves out its last pixel; rectangles
// and fills leave out their right and bottom edge; polygons are filled by
// the even-odd rule and outlined through every vertex; one-pixel pens draw
// exact pixels (nothing is antialiased). Text is drawn with its cell's
// top-left corner at (x, y), on a box of the background colour when the
// background mode is opaque; the raster mode applies to pens and brushes,
// not to text, FillRect, FrameRect or copies.
//
// A surface is one batch of drawing (a paint pass, a pointer move, a row
// update) on one thread. Fresh surfaces start from the defaults of a newly
// obtained window surface (black one-pixel pen, white brush, the bold system
// font, black text on opaque white, copy mode) whatever an earlier surface
// selected. Most drawing goes straight into the canvas memory; only pens
// wider than one pixel use a QPainter, opened on first need and kept open
// until flush() or the end of the surface. While a surface lives, the owner
// must not resize or replace the canvas, and a shallow QImage copy of it
// shares the pixels being drawn (take snapshots with QImage::copy()).
// dirtyRect() tells the owner what to show.
//
// A canvas whose devicePixelRatio() is 2 (or 3) is drawn at that resolution:
// every coordinate, width() and height(), textExtent() and dirtyRect() stay
// logical, and each logical pixel is a 2 x 2 (3 x 3) block of device pixels.
// Fills, rectangles and copies cover whole blocks; one-pixel lines are one
// block thick and walked at device resolution, so slopes are smooth; wide
// pens are as many blocks wide as their width; text is rendered at the
// larger pixel size, on the same advances, so every layout is unchanged. A
// ratio of 1 draws exactly as on a plain canvas; a fractional ratio is taken
// as the nearest whole one (the owner keeps canvases at whole ratios).

#include <QImage>
#include <QPainter>
#include <memory>
#include <span>
#include <string_view>

#include "draw/surface_raster.h"
#include "draw/surface_types.h"

class QPainterPath;

namespace velmora {

class ResolvedFont;

class Surface {
 public:
  // A canvas in another format is converted to Format_RGB32 in place.
  explicit Surface(QImage& canvas);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  // The canvas in logical pixels.
  int width() const { return bounds_.right; }
  int height() const { return bounds_.bottom; }
  // Device pixels per logical pixel (1, 2, 3 ... up to kMaximumScale).
  int scale() const { return scale_; }
  static constexpr int kMaximumScale = 8;
  QImage& canvas() { return canvas_; }

  // Current objects; each setter returns the previous value.
  Pen selectPen(const Pen& pen);
  Brush selectBrush(const Brush& brush);
  FontSpec selectFont(const FontSpec& font);
  QRgb setTextColour(QRgb colour);
  QRgb setBackgroundColour(QRgb colour);
  BackgroundMode setBackgroundMode(BackgroundMode mode);
  RasterMode setRasterMode(RasterMode mode);

  const Pen& pen() const { return state_.pen; }
  const Brush& brush() const { return state_.brush; }
  const FontSpec& font() const { return state_.font; }
  QRgb textColour() const { return state_.textColour; }
  QRgb backgroundColour() const { return state_.backgroundColour; }
  BackgroundMode backgroundMode() const { return state_.backgroundMode; }
  RasterMode rasterMode() const { return state_.rasterMode; }

  // All selections and colours at once (not the pen position).
  const SurfaceState& state() const { return state_; }
  void restore(const SurfaceState& state);

  // Lines with the current pen. moveTo restarts the dash pattern; lineTo
  // draws from the pen position, without the end pixel, and moves there.
  void moveTo(int x, int y);
  void lineTo(int x, int y);
  QPoint position() const { return position_; }
  // moveTo(first), then lineTo each following point.
  void polyline(std::span<const QPoint> points);

  // Outline with the pen on the border pixels (x = left and right - 1,
  // y = top and bottom - 1), the inside filled with the brush. With the null
  // pen the brush fills the whole rectangle.
  void rectangle(const Rect& r);
  // Plain colour, ignoring pen, brush and raster mode.
  void fillRect(const Rect& r, QRgb colour);
  // A one-pixel border just inside the rectangle, in plain colour.
  void frameRect(const Rect& r, QRgb colour);
  // Filled with the brush (even-odd), then outlined with the pen, closed.
  void polygon(std::span<const QPoint> points);
  // Outlines with the pen of the ellipse inscribed in `box`; ellipse() also
  // fills its inside with the brush. arc() runs counterclockwise from the
  // ray through `start` to the ray through `end`; one ray gives the whole
  // ellipse. Styled pens draw curves solid.
  void ellipse(const Rect& box);
  void arc(const Rect& box, QPoint start, QPoint end);

  // Text (Latin-1 bytes) in the current font and text colour.
  void textOut(int x, int y, std::string_view text);
  void textOut(int x, int y, const char* text) { textOut(x, y, std::string_view(text)); }
  void textOut(int x, int y, const QString& text);
  // Width (sum of the characters' advances) and height (the font's cell)
  // of a text in the current font.
  TextExtent textExtent(std::string_view text);
  TextExtent textExtent(const char* text) { return textExtent(std::string_view(text)); }
  TextExtent textExtent(const QString& text);

  // Copies `from` (canvas pixels) into `memory` at `to`; copies the block of
  // `memory` at `from` into the canvas rectangle `to`. Both clip to both
  // images; pixels off the canvas are left as they were. `memory` is made
  // Format_RGB32 if it is not. On a scaled canvas `memory` holds device
  // pixels too (copyToImage gives it the canvas's ratio, same logical size,
  // if it has another), and its coordinates are logical.
  void copyToImage(const Rect& from, QImage& memory, QPoint to);
  void copyFromImage(const QImage& memory, QPoint from, const Rect& to);
  // A memory image for copies, as a compatible bitmap starts: black.
  static QImage compatibleImage(int width, int height);

  // The part of the canvas changed since the surface began (or since the
  // last takeDirtyRect), clipped to the canvas; empty if nothing changed.
  Rect dirtyRect() const { return dirty_; }
  Rect takeDirtyRect();

  // Finishes pending QPainter work; the surface stays usable.
  void flush();

 private:
  raster::Ink penInk() const { return {state_.pen.colour, state_.rasterMode == RasterMode::Xor}; }
  raster::Ink brushInk() const { return {state_.brush.colour, state_.rasterMode == RasterMode::Xor}; }
  bool widePen() const { return state_.pen.width > 1 && !state_.pen.isNull(); }
  void markDirty(const Rect& r);
  // A logical rectangle in device pixels.
  Rect toDevice(const Rect& r) const;
  void fillDevice(const Rect& r, raster::Ink ink) { raster::FillRect(pixels_, toDevice(r), ink); }
  void thinLine(int x0, int y0, int x1, int y1);
  void scaledLine(int x0, int y0, int x1, int y1);
  void plotPoints(std::span<const QPoint> points, raster::Ink ink);
  void drawText(int x, int y, ResolvedFont& font, std::string_view latin1);
  ResolvedFont& currentFont();
  QPainter& painter();
  void strokeWide(const QPainterPath& path, const Rect& bounds);

  QImage& canvas_;
  raster::PixelTarget pixels_;  // device pixels
  int scale_ = 1;
  Rect bounds_;  // the canvas in logical pixels
  SurfaceState state_;
  QPoint position_;
  int dashPhase_ = 0;  // pixels of the current dash pattern already drawn
  ResolvedFont* font_ = nullptr;
  std::unique_ptr<QPainter> painter_;
  Rect dirty_;
};

// Puts back every selection and colour of a surface at the end of a scope.
class SurfaceRestorer {
 public:
  explicit SurfaceRestorer(Surface& surface) : surface_(surface), saved_(surface.state()) {}
  ~SurfaceRestorer() { surface_.restore(saved_); }
  SurfaceRestorer(const SurfaceRestorer&) = delete;
  SurfaceRestorer& operator=(const SurfaceRestorer&) = delete;

 private:
  Surface& surface_;
  SurfaceState saved_;
};

}  // namespace velmora
