#include "draw/surface_raster.h"

#include <cmath>
#include <cstring>
#include <numbers>

namespace velmora::raster {

namespace {

// Pixels written per step of a span: a fixed count of plain stores that the
// compiler turns into a few vector stores.
constexpr std::ptrdiff_t kBlock = 8;

}  // namespace

void FillSpan(QRgb* first, std::ptrdiff_t count, Ink ink) {
  QRgb* p = first;
  QRgb* const end = first + std::max<std::ptrdiff_t>(count, 0);
  if (ink.xorMode) {
    const QRgb bits = ink.colour & 0x00ffffffu;
    for (; end - p >= kBlock; p += kBlock)
      for (std::ptrdiff_t i = 0; i < kBlock; ++i) p[i] ^= bits;
    for (; p < end; ++p) *p ^= bits;
  } else {
    const QRgb pixel = ink.colour | 0xff000000u;
    for (; end - p >= kBlock; p += kBlock)
      for (std::ptrdiff_t i = 0; i < kBlock; ++i) p[i] = pixel;
    for (; p < end; ++p) *p = pixel;
  }
}

void FillRect(const PixelTarget& t, const Rect& r, Ink ink) {
  const Rect c = r.intersected(t.bounds());
  if (c.isEmpty()) return;
  const std::ptrdiff_t width = c.width();
  // Rows that span the whole memory follow each other: one run for all.
  if (width == t.stride) {
    FillSpan(&t.at(0, c.top), width * c.height(), ink);
    return;
  }
  for (int y = c.top; y < c.bottom; ++y) FillSpan(&t.at(c.left, y), width, ink);
}

void FillPolygon(const PixelTarget& t, std::span<const QPoint> points, Ink ink) {
  if (points.size() < 3) return;
  int top = points[0].y(), bottom = points[0].y();
  for (const QPoint& p : points) top = std::min(top, p.y()), bottom = std::max(bottom, p.y());
  top = std::max(top, 0);
  bottom = std::min(bottom, t.height);  // the bottom row is left out

  std::vector<long long> crossings;
  for (int y = top; y < bottom; ++y) {
    crossings.clear();
    for (size_t i = 0; i < points.size(); ++i) {
      QPoint a = points[i], b = points[(i + 1) % points.size()];
      if (a.y() == b.y()) continue;
      if (a.y() > b.y()) std::swap(a, b);
      if (y < a.y() || y >= b.y()) continue;  // half-open: each vertex counted once
      // Column of the first pixel centre at or right of the crossing, exactly.
      const long long den = b.y() - a.y();
      const long long num =
          static_cast<long long>(a.x()) * den + static_cast<long long>(y - a.y()) * (b.x() - a.x());
      crossings.push_back(CeilDiv(num, den));
    }
    std::sort(crossings.begin(), crossings.end());
    for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
      const long long from = std::max<long long>(crossings[i], 0);
      const long long to = std::min<long long>(crossings[i + 1], t.width);
      if (from < to) FillSpan(&t.at(static_cast<int>(from), y), to - from, ink);
    }
  }
}

namespace {

struct EllipseGeometry {
  double cx, cy, a, b;
};

EllipseGeometry geometryOf(const Rect& box) {
  // Pixel centres of the first and last column and row lie on the ellipse.
  return {(box.left + box.right - 1) / 2.0, (box.top + box.bottom - 1) / 2.0, (box.width() - 1) / 2.0,
          (box.height() - 1) / 2.0};
}

// Half the chord across the ellipse at `offset` from its centre along one
// axis, whose semi-axis is `along`; `across` is the other semi-axis.
double halfChord(double offset, double along, double across) {
  const double u = along > 0 ? offset / along : 0.0;
  return across * std::sqrt(std::max(0.0, 1.0 - u * u));
}

// Both ends of a chord, each rounded outwards at an exact half.
std::pair<int, int> chordEnds(double centre, double half) {
  return {static_cast<int>(std::ceil(centre - half - 0.5)),
          static_cast<int>(std::floor(centre + half + 0.5))};
}

}  // namespace

std::vector<QPoint> EllipseOutline(const Rect& boxIn, const Rect& clip) {
  const Rect box = boxIn.normalized();
  std::vector<QPoint> points;
  const Rect visible = box.intersected(clip);
  if (visible.isEmpty()) return points;
  const EllipseGeometry g = geometryOf(box);
  // Sampling every column and every row leaves no gaps at any slope; an
  // outline pixel inside `clip` comes from a column or a row inside it.
  for (int x = visible.left; x < visible.right; ++x) {
    const auto [y1, y2] = chordEnds(g.cy, halfChord(x - g.cx, g.a, g.b));
    points.emplace_back(x, y1);
    points.emplace_back(x, y2);
  }
  for (int y = visible.top; y < visible.bottom; ++y) {
    const auto [x1, x2] = chordEnds(g.cx, halfChord(y - g.cy, g.b, g.a));
    points.emplace_back(x1, y);
    points.emplace_back(x2, y);
  }
  auto byRow = [](const QPoint& p, const QPoint& q) {
    return p.y() != q.y() ? p.y() < q.y() : p.x() < q.x();
  };
  std::erase_if(points, [&](const QPoint& p) { return !clip.contains(p.x(), p.y()); });
  std::sort(points.begin(), points.end(), byRow);
  points.erase(std::unique(points.begin(), points.end()), points.end());
  return points;
}

void FillEllipseInterior(const PixelTarget& t, const Rect& boxIn, std::span<const QPoint> outline, Ink ink,
                         int scale) {
  const Rect box = boxIn.normalized();
  if (box.width() < 3 || box.height() < 3) return;
  scale = std::max(scale, 1);
  const int width = (t.width + scale - 1) / scale, height = (t.height + scale - 1) / scale;
  const EllipseGeometry g = geometryOf(box);
  size_t next = 0;  // outline is sorted by row, then column
  for (int y = std::max(box.top, 0); y < std::min(box.bottom, height); ++y) {
    const double v = (y - g.cy) / g.b;
    if (v * v >= 1.0) continue;
    const double half = g.a * std::sqrt(1.0 - v * v);
    while (next < outline.size() && outline[next].y() < y) ++next;
    size_t onRow = next;
    for (int x = std::max(box.left, 0); x < std::min(box.right, width); ++x) {
      if (std::abs(x - g.cx) >= half) continue;
      while (onRow < outline.size() && outline[onRow].y() == y && outline[onRow].x() < x) ++onRow;
      if (onRow < outline.size() && outline[onRow] == QPoint(x, y)) continue;
      if (scale == 1)
        ink.apply(t.at(x, y));
      else
        FillRect(t, {x * scale, y * scale, (x + 1) * scale, (y + 1) * scale}, ink);
    }
  }
}

std::vector<QPoint> ArcPoints(const Rect& boxIn, std::span<const QPoint> outline, QPoint start, QPoint end) {
  const EllipseGeometry g = geometryOf(boxIn.normalized());
  // Angles counterclockwise on the screen, where y grows downwards.
  auto angleOf = [&](double x, double y) { return std::atan2(g.cy - y, x - g.cx); };
  constexpr double kTurn = 2 * std::numbers::pi;
  auto sweepFrom = [&](double from, double to) {
    const double s = std::fmod(to - from, kTurn);
    return s < 0 ? s + kTurn : s;
  };
  const double a0 = angleOf(start.x(), start.y());
  double sweep = sweepFrom(a0, angleOf(end.x(), end.y()));
  if (sweep == 0.0) sweep = kTurn;
  std::vector<QPoint> kept;
  for (const QPoint& p : outline)
    if (sweepFrom(a0, angleOf(p.x(), p.y())) <= sweep) kept.push_back(p);
  return kept;
}

void CopyPixels(const PixelTarget& from, int fromX, int fromY, const PixelTarget& to, int toX, int toY, int w,
                int h) {
  // Clip the block against both memories, moving both corners together.
  auto clip = [&](int& src, int& dst, int& size, int srcLimit, int dstLimit) {
    const int skip = std::max({0, -src, -dst});
    src += skip, dst += skip, size -= skip;
    size = std::min({size, srcLimit - src, dstLimit - dst});
  };
  clip(fromX, toX, w, from.width, to.width);
  clip(fromY, toY, h, from.height, to.height);
  if (w <= 0 || h <= 0) return;
  // Within one memory, a block moving down is copied from its last row up.
  const bool upwards = from.bits == to.bits && toY > fromY;
  for (int i = 0; i < h; ++i) {
    const int y = upwards ? h - 1 - i : i;
    std::memmove(&to.at(toX, toY + y), &from.at(fromX, fromY + y), static_cast<size_t>(w) * sizeof(QRgb));
  }
}

}  // namespace velmora::raster
