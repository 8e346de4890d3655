#include "draw/surface.h"

#include <QPainterPath>
#include <bit>
#include <climits>
#include <cmath>
#include <numbers>

#include "draw/surface_font.h"

namespace velmora {

namespace {

// Dash patterns of one-pixel pens, in pixels along the line: on, period.
struct DashPattern {
  int on = 0;
  int period = 0;  // 0: solid
};

DashPattern patternOf(PenStyle style) {
  switch (style) {
    case PenStyle::Dash:
      return {18, 24};
    case PenStyle::Dot:
      return {3, 6};
    default:
      return {};
  }
}

Qt::PenStyle qtStyleOf(PenStyle style) {
  switch (style) {
    case PenStyle::Dash:
      return Qt::DashLine;
    case PenStyle::Dot:
      return Qt::DotLine;
    case PenStyle::Null:
      return Qt::NoPen;
    default:
      return Qt::SolidLine;
  }
}

// Bounds of points taken as pixels, widened by `margin` on every side.
Rect boundsOf(std::span<const QPoint> points, int margin) {
  if (points.empty()) return {};
  int l = INT_MAX, t = INT_MAX, r = INT_MIN, b = INT_MIN;
  for (const QPoint& p : points) {
    const int x = raster::ClampCoordinate(p.x()), y = raster::ClampCoordinate(p.y());
    l = std::min(l, x), t = std::min(t, y), r = std::max(r, x), b = std::max(b, y);
  }
  return {l - margin, t - margin, r + 1 + margin, b + 1 + margin};
}

}  // namespace

Surface::Surface(QImage& canvas) : canvas_(canvas) {
  if (!canvas_.isNull() && canvas_.format() != QImage::Format_RGB32) canvas_.convertTo(QImage::Format_RGB32);
  if (!canvas_.isNull()) {
    // Taking the pointer detaches a shared canvas once, here, so that the
    // direct writes and a later QPainter meet in the same memory.
    pixels_ = {reinterpret_cast<QRgb*>(canvas_.bits()), canvas_.bytesPerLine() / 4, canvas_.width(),
               canvas_.height()};
    scale_ = std::clamp(static_cast<int>(std::lround(canvas_.devicePixelRatio())), 1, kMaximumScale);
    bounds_ = {0, 0, (pixels_.width + scale_ - 1) / scale_, (pixels_.height + scale_ - 1) / scale_};
  }
}

Surface::~Surface() { flush(); }

void Surface::flush() { painter_.reset(); }

Pen Surface::selectPen(const Pen& pen) { return std::exchange(state_.pen, pen); }
Brush Surface::selectBrush(const Brush& brush) { return std::exchange(state_.brush, brush); }
QRgb Surface::setTextColour(QRgb colour) { return std::exchange(state_.textColour, colour); }
QRgb Surface::setBackgroundColour(QRgb colour) { return std::exchange(state_.backgroundColour, colour); }
BackgroundMode Surface::setBackgroundMode(BackgroundMode mode) {
  return std::exchange(state_.backgroundMode, mode);
}
RasterMode Surface::setRasterMode(RasterMode mode) { return std::exchange(state_.rasterMode, mode); }

FontSpec Surface::selectFont(const FontSpec& font) {
  if (!(font == state_.font)) font_ = nullptr;
  return std::exchange(state_.font, font);
}

void Surface::restore(const SurfaceState& state) {
  if (!(state.font == state_.font)) font_ = nullptr;
  state_ = state;
}

Rect Surface::takeDirtyRect() { return std::exchange(dirty_, Rect{}); }

void Surface::markDirty(const Rect& r) { dirty_ = dirty_.united(r.intersected(bounds_)); }

Rect Surface::toDevice(const Rect& r) const {
  if (scale_ == 1) return r;
  // Far-off corners stay far off without overflowing.
  auto device = [this](int v) {
    return static_cast<int>(
        std::clamp<long long>(static_cast<long long>(v) * scale_, INT_MIN / 2, INT_MAX / 2));
  };
  return {device(r.left), device(r.top), device(r.right), device(r.bottom)};
}

ResolvedFont& Surface::currentFont() {
  if (font_ == nullptr) font_ = &ResolveFont(state_.font, scale_);
  return *font_;
}

QPainter& Surface::painter() {
  if (!painter_) {
    painter_ = std::make_unique<QPainter>(&canvas_);
    painter_->setRenderHint(QPainter::Antialiasing, false);
  }
  return *painter_;
}

// ---- lines -----------------------------------------------------------------

void Surface::moveTo(int x, int y) {
  position_ = {x, y};
  dashPhase_ = 0;
}

void Surface::thinLine(int x0, int y0, int x1, int y1) {
  if (scale_ > 1) {
    scaledLine(x0, y0, x1, y1);
    return;
  }
  const DashPattern dash = patternOf(state_.pen.style);
  const raster::Ink on = penInk();
  if (dash.period == 0) {
    raster::WalkLine(pixels_, x0, y0, x1, y1, [&](int x, int y, int) { on.apply(pixels_.at(x, y)); });
  } else {
    // The gaps of a styled pen take the background colour when it is opaque.
    const raster::Ink gap{state_.backgroundColour, on.xorMode};
    const bool fillGaps = state_.backgroundMode == BackgroundMode::Opaque;
    const int phase = dashPhase_;
    raster::WalkLine(pixels_, x0, y0, x1, y1, [&](int x, int y, int step) {
      if ((phase + step) % dash.period < dash.on)
        on.apply(pixels_.at(x, y));
      else if (fillGaps)
        gap.apply(pixels_.at(x, y));
    });
    const int length = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    dashPhase_ = (phase + length % dash.period) % dash.period;
  }
  const QPoint ends[] = {{x0, y0}, {x1, y1}};
  markDirty(boundsOf(ends, 0));
}

void Surface::scaledLine(int x0, int y0, int x1, int y1) {
  // Walked at device resolution from block to block, each step one block
  // thick across the line: the same blocks as the logical line where it is
  // straight, a finer staircase where it slopes. The dash pattern counts
  // logical pixels.
  x0 = raster::ClampCoordinate(x0), y0 = raster::ClampCoordinate(y0);
  x1 = raster::ClampCoordinate(x1), y1 = raster::ClampCoordinate(y1);
  const int s = scale_;
  const bool xMajor = std::abs(x1 - x0) >= std::abs(y1 - y0);
  const DashPattern dash = patternOf(state_.pen.style);
  const raster::Ink on = penInk();
  const raster::Ink gap{state_.backgroundColour, on.xorMode};
  const bool fillGaps = state_.backgroundMode == BackgroundMode::Opaque;
  const int phase = dashPhase_;
  // The walk starts on the side of the first block it enters: its last
  // device column (row) when the line runs left (up).
  const int ox = xMajor && x1 < x0 ? s - 1 : 0, oy = !xMajor && y1 < y0 ? s - 1 : 0;
  raster::WalkLine(pixels_, x0 * s + ox, y0 * s + oy, x1 * s + ox, y1 * s + oy, [&](int x, int y, int step) {
    const raster::Ink* ink = &on;
    if (dash.period != 0 && (phase + step / s) % dash.period >= dash.on) {
      if (!fillGaps) return;
      ink = &gap;
    }
    if (xMajor) {
      for (int v = y, end = std::min(y + s, pixels_.height); v < end; ++v) ink->apply(pixels_.at(x, v));
    } else {
      for (int u = x, end = std::min(x + s, pixels_.width); u < end; ++u) ink->apply(pixels_.at(u, y));
    }
  });
  if (dash.period != 0) {
    const int length = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    dashPhase_ = (phase + length % dash.period) % dash.period;
  }
  const QPoint ends[] = {{x0, y0}, {x1, y1}};
  markDirty(boundsOf(ends, 0));
}

void Surface::strokeWide(const QPainterPath& path, const Rect& bounds) {
  if (pixels_.width == 0) return;
  QPainter& p = painter();
  const Pen& pen = state_.pen;
  p.setPen(QPen(QColor::fromRgb(pen.colour), pen.width, qtStyleOf(pen.style), Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.setCompositionMode(state_.rasterMode == RasterMode::Xor ? QPainter::RasterOp_SourceXorDestination
                                                            : QPainter::CompositionMode_SourceOver);
  p.drawPath(path);
  markDirty(bounds);
}

namespace {

// A wide pen is centred on the pixel centres of its points; an even width
// puts its extra row above (or left of) the line.
QPointF wideAt(int x, int y, int width) {
  const double offset = (width % 2) * 0.5;
  return {x + offset, y + offset};
}

}  // namespace

void Surface::lineTo(int x, int y) {
  if (!state_.pen.isNull()) {
    if (widePen()) {
      QPainterPath path(wideAt(position_.x(), position_.y(), state_.pen.width));
      path.lineTo(wideAt(x, y, state_.pen.width));
      const QPoint ends[] = {position_, {x, y}};
      strokeWide(path, boundsOf(ends, state_.pen.width));
    } else {
      thinLine(position_.x(), position_.y(), x, y);
    }
  }
  position_ = {x, y};
}

void Surface::polyline(std::span<const QPoint> points) {
  if (points.empty()) return;
  moveTo(points[0].x(), points[0].y());
  if (widePen() && points.size() > 1) {
    // One path, so joints are drawn once (this matters in xor mode).
    QPainterPath path(wideAt(points[0].x(), points[0].y(), state_.pen.width));
    for (size_t i = 1; i < points.size(); ++i)
      path.lineTo(wideAt(points[i].x(), points[i].y(), state_.pen.width));
    strokeWide(path, boundsOf(points, state_.pen.width));
    position_ = points.back();
    return;
  }
  for (size_t i = 1; i < points.size(); ++i) lineTo(points[i].x(), points[i].y());
}

// ---- shapes ----------------------------------------------------------------

void Surface::rectangle(const Rect& rIn) {
  const Rect r = rIn.normalized();
  if (r.isEmpty()) return;
  if (state_.pen.isNull()) {
    if (!state_.brush.isNull()) fillDevice(r, brushInk());
    markDirty(r);
    return;
  }
  if (!state_.brush.isNull()) fillDevice({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, brushInk());
  const QPoint corners[] = {
      {r.left, r.top}, {r.right - 1, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}};
  if (widePen()) {
    const int w = state_.pen.width;
    QPainterPath path(wideAt(r.left, r.top, w));
    for (int i = 1; i < 4; ++i) path.lineTo(wideAt(corners[i].x(), corners[i].y(), w));
    path.closeSubpath();
    strokeWide(path, boundsOf(corners, w));
  } else if (r.width() <= 2 || r.height() <= 2) {
    fillDevice(r, penInk());  // all border, no inside
  } else {
    // The rectangle leaves the pen position alone.
    const QPoint savedPosition = position_;
    const int savedPhase = dashPhase_;
    dashPhase_ = 0;
    for (int i = 0; i < 4; ++i)
      thinLine(corners[i].x(), corners[i].y(), corners[(i + 1) % 4].x(), corners[(i + 1) % 4].y());
    position_ = savedPosition;
    dashPhase_ = savedPhase;
  }
  markDirty(r);
}

void Surface::fillRect(const Rect& r, QRgb colour) {
  fillDevice(r, {colour, false});
  if (!r.isEmpty()) markDirty(r);
}

void Surface::frameRect(const Rect& r, QRgb colour) {
  if (r.isEmpty()) return;
  const raster::Ink ink{colour, false};
  fillDevice({r.left, r.top, r.right, r.top + 1}, ink);
  fillDevice({r.left, r.bottom - 1, r.right, r.bottom}, ink);
  fillDevice({r.left, r.top, r.left + 1, r.bottom}, ink);
  fillDevice({r.right - 1, r.top, r.right, r.bottom}, ink);
  markDirty(r);
}

void Surface::polygon(std::span<const QPoint> pointsIn) {
  if (pointsIn.size() < 2) return;
  std::vector<QPoint> points(pointsIn.begin(), pointsIn.end());
  for (QPoint& p : points) p = {raster::ClampCoordinate(p.x()), raster::ClampCoordinate(p.y())};
  if (!state_.brush.isNull()) {
    if (scale_ == 1) {
      raster::FillPolygon(pixels_, points, brushInk());
    } else {
      // Corners on the blocks' corners: straight edges cover whole blocks.
      std::vector<QPoint> device(points);
      for (QPoint& p : device) p *= scale_;
      raster::FillPolygon(pixels_, device, brushInk());
    }
  }
  if (!state_.pen.isNull()) {
    if (widePen()) {
      const int w = state_.pen.width;
      QPainterPath path(wideAt(points[0].x(), points[0].y(), w));
      for (size_t i = 1; i < points.size(); ++i) path.lineTo(wideAt(points[i].x(), points[i].y(), w));
      path.closeSubpath();
      strokeWide(path, boundsOf(points, w));
    } else {
      const QPoint savedPosition = position_;
      const int savedPhase = dashPhase_;
      dashPhase_ = 0;
      for (size_t i = 0; i < points.size(); ++i) {
        const QPoint& a = points[i];
        const QPoint& b = points[(i + 1) % points.size()];
        thinLine(a.x(), a.y(), b.x(), b.y());
      }
      position_ = savedPosition;
      dashPhase_ = savedPhase;
    }
  }
  markDirty(boundsOf(points, 0));
}

void Surface::plotPoints(std::span<const QPoint> points, raster::Ink ink) {
  if (scale_ == 1) {
    for (const QPoint& p : points) ink.apply(pixels_.at(p.x(), p.y()));
    return;
  }
  for (const QPoint& p : points)
    raster::FillRect(pixels_, toDevice({p.x(), p.y(), p.x() + 1, p.y() + 1}), ink);
}

void Surface::ellipse(const Rect& boxIn) {
  const Rect box = boxIn.normalized();
  if (box.isEmpty()) return;
  const std::vector<QPoint> outline = raster::EllipseOutline(box, bounds_);
  if (!state_.brush.isNull()) {
    raster::FillEllipseInterior(pixels_, box, outline, brushInk(), scale_);
    if (state_.pen.isNull()) plotPoints(outline, brushInk());
  }
  if (widePen()) {
    const int w = state_.pen.width;
    const QPointF a = wideAt(box.left, box.top, w), b = wideAt(box.right - 1, box.bottom - 1, w);
    QPainterPath path;
    path.addEllipse(QRectF(a, b));
    strokeWide(path, {box.left - w, box.top - w, box.right + w, box.bottom + w});
  } else if (!state_.pen.isNull()) {
    plotPoints(outline, penInk());
  }
  markDirty(box);
}

void Surface::arc(const Rect& boxIn, QPoint start, QPoint end) {
  const Rect box = boxIn.normalized();
  if (box.isEmpty() || state_.pen.isNull()) return;
  if (widePen()) {
    const int w = state_.pen.width;
    const QRectF bounds(wideAt(box.left, box.top, w), wideAt(box.right - 1, box.bottom - 1, w));
    const QPointF c = bounds.center();
    const double a0 = std::atan2(c.y() - start.y(), start.x() - c.x()) * 180 / std::numbers::pi;
    const double a1 = std::atan2(c.y() - end.y(), end.x() - c.x()) * 180 / std::numbers::pi;
    double sweep = std::fmod(a1 - a0 + 720.0, 360.0);
    if (sweep == 0.0) sweep = 360.0;
    QPainterPath path;
    path.arcMoveTo(bounds, a0);
    path.arcTo(bounds, a0, sweep);
    strokeWide(path, {box.left - w, box.top - w, box.right + w, box.bottom + w});
    return;
  }
  const std::vector<QPoint> outline = raster::EllipseOutline(box, bounds_);
  plotPoints(raster::ArcPoints(box, outline, start, end), penInk());
  markDirty(box);
}

// ---- text ------------------------------------------------------------------

void Surface::drawText(int x, int y, ResolvedFont& font, std::string_view latin1) {
  const int width = font.textWidth(latin1);
  const Rect box{x, y, x + width, y + font.cellHeight()};
  if (state_.backgroundMode == BackgroundMode::Opaque) fillDevice(box, {state_.backgroundColour, false});
  // Glyph runs are in device pixels from the cell's corner; the pen moves
  // by logical advances, each glyph starting on its block's corner.
  const int s = scale_;
  const Rect deviceBox = toDevice(box);
  Rect touched = deviceBox;
  const QRgb ink = state_.textColour | 0xff000000u;
  const Rect canvas = pixels_.bounds();
  const int top = deviceBox.top;
  int penX = x;
  for (char ch : latin1) {
    const Glyph& g = font.glyph(static_cast<unsigned char>(ch));
    if (!g.runs.empty()) {
      const int left = s == 1 ? penX
                              : static_cast<int>(std::clamp<long long>(static_cast<long long>(penX) * s,
                                                                       INT_MIN / 2, INT_MAX / 2));
      const Rect inked{left + g.bounds.left, top + g.bounds.top, left + g.bounds.right,
                       top + g.bounds.bottom};
      if (!g.rowMasks.empty() && inked.intersected(canvas) == inked) {
        // Wholly on the canvas: each row's pixels straight from its mask.
        QRgb* line = &pixels_.at(inked.left, inked.top);
        for (uint64_t mask : g.rowMasks) {
          for (; mask != 0; mask &= mask - 1) line[std::countr_zero(mask)] = ink;
          line += pixels_.stride;
        }
      } else {
        for (const GlyphRun& run : g.runs) {
          const int row = top + run.dy;
          if (row < 0 || row >= pixels_.height) continue;
          const int from = std::max(left + run.dx, 0);
          const int to = std::min(left + run.dx + run.length, pixels_.width);
          if (from < to) std::fill_n(&pixels_.at(from, row), to - from, ink);
        }
      }
      touched = touched.united(inked);
    }
    penX += g.advance;
  }
  if (s == 1) {
    markDirty(touched);
  } else {
    // Back to logical pixels, every partly touched block included.
    auto down = [s](int v) { return static_cast<int>(raster::FloorDiv(v, s)); };
    auto up = [s](int v) { return static_cast<int>(raster::CeilDiv(v, s)); };
    markDirty({down(touched.left), down(touched.top), up(touched.right), up(touched.bottom)});
  }
}

void Surface::textOut(int x, int y, std::string_view text) { drawText(x, y, currentFont(), text); }

void Surface::textOut(int x, int y, const QString& text) {
  const QByteArray latin1 = text.toLatin1();
  drawText(x, y, currentFont(), {latin1.constData(), static_cast<size_t>(latin1.size())});
}

TextExtent Surface::textExtent(std::string_view text) {
  ResolvedFont& font = currentFont();
  return {font.textWidth(text), font.cellHeight()};
}

TextExtent Surface::textExtent(const QString& text) {
  const QByteArray latin1 = text.toLatin1();
  return textExtent(std::string_view(latin1.constData(), static_cast<size_t>(latin1.size())));
}

// ---- copies ----------------------------------------------------------------

namespace {

int ratioOf(const QImage& image) {
  return std::max(1, static_cast<int>(std::lround(image.devicePixelRatio())));
}

}  // namespace

void Surface::copyToImage(const Rect& from, QImage& memory, QPoint to) {
  if (memory.isNull() || from.isEmpty()) return;
  if (memory.format() != QImage::Format_RGB32) memory.convertTo(QImage::Format_RGB32);
  const int s = scale_;
  if (ratioOf(memory) != s) {
    // A memory image for this canvas: the same logical size at its ratio,
    // black as a new compatible bitmap.
    const int ratio = ratioOf(memory);
    memory =
        compatibleImage((memory.width() + ratio - 1) / ratio * s, (memory.height() + ratio - 1) / ratio * s);
    memory.setDevicePixelRatio(s);
  }
  const raster::PixelTarget target{reinterpret_cast<QRgb*>(memory.bits()), memory.bytesPerLine() / 4,
                                   memory.width(), memory.height()};
  const Rect source = toDevice(from);
  const Rect at = toDevice({to.x(), to.y(), to.x(), to.y()});
  raster::CopyPixels(pixels_, source.left, source.top, target, at.left, at.top, source.width(),
                     source.height());
}

void Surface::copyFromImage(const QImage& memory, QPoint from, const Rect& to) {
  if (memory.isNull() || to.isEmpty()) return;
  const int s = scale_;
  QImage source =
      memory.format() == QImage::Format_RGB32 ? memory : memory.convertToFormat(QImage::Format_RGB32);
  if (const int ratio = ratioOf(source); ratio != s) {
    // Pixel for pixel at this canvas's ratio, each one a whole block.
    source = source.scaled(source.width() / ratio * s, source.height() / ratio * s, Qt::IgnoreAspectRatio,
                           Qt::FastTransformation);
  }
  // Read only: the const pixels are never written through this target.
  const raster::PixelTarget origin{const_cast<QRgb*>(reinterpret_cast<const QRgb*>(source.constBits())),
                                   source.bytesPerLine() / 4, source.width(), source.height()};
  const Rect target = toDevice(to);
  const Rect at = toDevice({from.x(), from.y(), from.x(), from.y()});
  raster::CopyPixels(origin, at.left, at.top, pixels_, target.left, target.top, target.width(),
                     target.height());
  markDirty(to);
}

QImage Surface::compatibleImage(int width, int height) {
  QImage image(std::max(width, 0), std::max(height, 0), QImage::Format_RGB32);
  image.fill(0xff000000u);
  return image;
}

}  // namespace velmora
