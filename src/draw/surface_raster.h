#pragma once

// Pixel-exact rasterisation for the drawing surface, straight into the
// canvas memory: one-pixel lines, spans, polygon fills and ellipse outlines,
// following the conventions of the classic immediate-mode API (pixel centres
// on integer coordinates, a line's last pixel left out, fills that leave out
// the right and bottom edge).

#include <QPoint>
#include <QRgb>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "draw/surface_types.h"

namespace velmora::raster {

// The canvas memory, Format_RGB32.
struct PixelTarget {
  QRgb* bits = nullptr;
  std::ptrdiff_t stride = 0;  // in pixels
  int width = 0;
  int height = 0;

  bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  QRgb& at(int x, int y) const { return bits[y * stride + x]; }
  Rect bounds() const { return {0, 0, width, height}; }
};

// How a colour meets the canvas: replaced, or its RGB bits xor-ed in
// (QPainter::RasterOp_SourceXorDestination; the alpha byte stays opaque).
struct Ink {
  QRgb colour = 0;
  bool xorMode = false;

  void apply(QRgb& pixel) const {
    if (xorMode)
      pixel ^= colour & 0x00ffffffu;
    else
      pixel = colour | 0xff000000u;
  }
};

// Coordinates beyond this are clamped, as the classic API limits them to
// 27 bits; it keeps the line arithmetic inside 64 bits.
inline constexpr int kCoordinateLimit = (1 << 27) - 1;
inline int ClampCoordinate(int v) { return std::clamp(v, -kCoordinateLimit, kCoordinateLimit); }

inline long long FloorDiv(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
inline long long CeilDiv(long long a, long long b) { return -FloorDiv(-a, b); }

// Calls plot(x, y, step) for each pixel of the line from (x0, y0) to (x1, y1)
// that lies in the target, step being its index along the line. The last
// pixel is left out, so a zero-length line draws nothing and a polyline
// draws each joint once. The minor coordinate of step i is the start's plus
// floor((2 i d + n) / 2n) (n major, d minor distance): it is computed
// directly at the first visible step, so clipping is exact and cheap.
template <class Plot>
void WalkLine(const PixelTarget& t, int x0, int y0, int x1, int y1, Plot&& plot) {
  x0 = ClampCoordinate(x0), y0 = ClampCoordinate(y0), x1 = ClampCoordinate(x1), y1 = ClampCoordinate(y1);
  const long long dx = static_cast<long long>(x1) - x0, dy = static_cast<long long>(y1) - y0;
  const long long adx = std::llabs(dx), ady = std::llabs(dy);
  const long long n = std::max(adx, ady);
  if (n == 0 || t.width <= 0 || t.height <= 0) return;
  const bool xMajor = adx >= ady;
  const long long d = xMajor ? ady : adx;
  const int majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
  const int minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const long long major0 = xMajor ? x0 : y0, minor0 = xMajor ? y0 : x0;
  const long long majorSize = xMajor ? t.width : t.height, minorSize = xMajor ? t.height : t.width;

  long long lo = 0, hi = n - 1;
  if (!t.contains(x0, y0) || !t.contains(x1, y1)) {
    if (majorStep > 0) {
      lo = std::max(lo, -major0), hi = std::min(hi, majorSize - 1 - major0);
    } else {
      lo = std::max(lo, major0 - (majorSize - 1)), hi = std::min(hi, major0);
    }
    long long kLo = minorStep > 0 ? -minor0 : minor0 - (minorSize - 1);
    long long kHi = minorStep > 0 ? minorSize - 1 - minor0 : minor0;
    kLo = std::max(kLo, 0LL), kHi = std::min(kHi, d);
    if (kLo > kHi) return;
    if (d > 0) {
      lo = std::max(lo, CeilDiv(2 * n * kLo - n, 2 * d));
      hi = std::min(hi, FloorDiv(2 * n * (kHi + 1) - n - 1, 2 * d));
    }
  }
  if (lo > hi) return;

  // Every step from lo to hi is inside the target now.
  const long long twoN = 2 * n, twoD = 2 * d;
  long long k = 0, rem = n;
  if (lo > 0) k = (lo * twoD + n) / twoN, rem = (lo * twoD + n) % twoN;
  for (long long i = lo; i <= hi; ++i) {
    const long long major = major0 + majorStep * i, minor = minor0 + minorStep * k;
    plot(static_cast<int>(xMajor ? major : minor), static_cast<int>(xMajor ? minor : major),
         static_cast<int>(i));
    rem += twoD;
    if (rem >= twoN) rem -= twoN, ++k;
  }
}

// Applies the ink to `count` pixels from `first` on (nothing when count <= 0),
// several pixels per store.
void FillSpan(QRgb* first, std::ptrdiff_t count, Ink ink);

// Fills the rectangle (right and bottom excluded; nothing when right <= left
// or bottom <= top), clipped to the target, a whole row at a time.
void FillRect(const PixelTarget& t, const Rect& r, Ink ink);

// Fills the inside of a closed polygon by the even-odd rule: a pixel is
// filled when its centre is inside, or on a left or top edge.
void FillPolygon(const PixelTarget& t, std::span<const QPoint> points, Ink ink);

// The outline pixels inside `clip` of the ellipse inscribed in `box` (right
// and bottom excluded), each once, sorted by row then column.
std::vector<QPoint> EllipseOutline(const Rect& box, const Rect& clip);

// Fills the pixels whose centres lie inside that ellipse and that are not on
// `outline` (as EllipseOutline returned it). With `scale` > 1 the box and the
// outline are logical and each inside pixel fills its scale x scale block.
void FillEllipseInterior(const PixelTarget& t, const Rect& box, std::span<const QPoint> outline, Ink ink,
                         int scale = 1);

// Keeps the points of `outline` that lie on the arc drawn counterclockwise
// (as seen on the screen) from the ray through `start` to the ray through
// `end`, both from the ellipse's centre; the same ray gives the whole ellipse.
std::vector<QPoint> ArcPoints(const Rect& box, std::span<const QPoint> outline, QPoint start, QPoint end);

// Copies a w x h block of pixels between two RGB32 memories, clipped to both.
void CopyPixels(const PixelTarget& from, int fromX, int fromY, const PixelTarget& to, int toX, int toY, int w,
                int h);

}  // namespace velmora::raster
