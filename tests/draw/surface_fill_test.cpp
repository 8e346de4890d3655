// Fills and text boxes against a reference that sets one pixel at a time:
// a scene of plain fills, brush fills in copy and xor mode, outlined
// rectangles, frames, polygon fills and text, clipped at every edge, must
// leave every pixel as the reference does.

#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "draw/surface.h"
#include "draw/surface_font.h"

namespace velmora {
namespace {

constexpr int kWidth = 150;
constexpr int kHeight = 110;
constexpr QRgb kPadding = 0x5a3c1e0fu;  // beyond the right edge of a padded canvas

enum class Kind {
  Fill,          // fillRect
  Frame,         // frameRect
  BrushRect,     // rectangle with the null pen
  OutlinedRect,  // rectangle with a one-pixel pen and a brush
  PolygonRect,   // polygon through the four corners, null pen
  PolygonWedge,  // polygon (left, top), (left, bottom), (right, bottom), null pen
  OpaqueText,    // textOut on a box of the background colour
  TransparentText,
};

struct Op {
  Kind kind = Kind::Fill;
  Rect r;
  QRgb colour = 0;  // fill, frame, brush or text colour
  QRgb other = 0;   // pen of an outlined rectangle, background of text
  bool xorMode = false;
  std::string text;
  FontSpec font;
};

Op plain(Kind kind, Rect r, QRgb colour) { return {kind, r, colour, 0, false, "", {}}; }

Op brushed(Kind kind, Rect r, QRgb colour, bool xorMode, QRgb pen = 0) {
  return {kind, r, colour, pen, xorMode, "", {}};
}

Op text(Kind kind, int x, int y, QRgb colour, QRgb background, std::string text, FontSpec font) {
  return {kind, {x, y, x, y}, colour, background, false, std::move(text), font};
}

// The canvas drawn one pixel at a time, in the plainest terms.
struct Reference {
  std::vector<QRgb> pixels = std::vector<QRgb>(kWidth * kHeight);

  void put(int x, int y, QRgb colour, bool xorMode) {
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
    QRgb& p = pixels[y * kWidth + x];
    p = xorMode ? p ^ (colour & 0xffffffu) : colour | 0xff000000u;
  }
  void fill(const Rect& r, QRgb colour, bool xorMode) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) put(x, y, colour, xorMode);
  }
};

QRgb startPixel(int x, int y) { return rgb((x * 7) & 255, (y * 11) & 255, ((x + y) * 3) & 255); }

void drawOn(Reference& ref, const Op& op) {
  const Rect n = op.r.normalized();
  switch (op.kind) {
    case Kind::Fill:
      ref.fill(op.r, op.colour, false);
      break;
    case Kind::Frame:
      for (int y = op.r.top; y < op.r.bottom; ++y)
        for (int x = op.r.left; x < op.r.right; ++x)
          if (x == op.r.left || x == op.r.right - 1 || y == op.r.top || y == op.r.bottom - 1)
            ref.put(x, y, op.colour, false);
      break;
    case Kind::BrushRect:
    case Kind::PolygonRect:
      ref.fill(n, op.colour, op.xorMode);
      break;
    case Kind::OutlinedRect:
      for (int y = n.top; y < n.bottom; ++y)
        for (int x = n.left; x < n.right; ++x) {
          const bool border = x == n.left || x == n.right - 1 || y == n.top || y == n.bottom - 1;
          ref.put(x, y, border ? op.other : op.colour, op.xorMode);
        }
      break;
    case Kind::PolygonWedge:
      // The pixels whose centres lie left of the slanted edge, which runs
      // from (left, top) to (right, bottom); the bottom row is left out.
      for (int y = op.r.top; y < op.r.bottom; ++y)
        for (int x = op.r.left; x < op.r.right; ++x)
          if (static_cast<long long>(x - op.r.left) * op.r.height() <
              static_cast<long long>(y - op.r.top) * op.r.width())
            ref.put(x, y, op.colour, op.xorMode);
      break;
    case Kind::OpaqueText:
    case Kind::TransparentText: {
      ResolvedFont& font = ResolveFont(op.font);
      if (op.kind == Kind::OpaqueText)
        ref.fill({op.r.left, op.r.top, op.r.left + font.textWidth(op.text), op.r.top + font.cellHeight()},
                 op.other, false);
      int penX = op.r.left;
      for (char ch : op.text) {
        const Glyph& g = font.glyph(static_cast<unsigned char>(ch));
        for (const GlyphRun& run : g.runs)
          for (int i = 0; i < run.length; ++i)
            ref.put(penX + run.dx + i, op.r.top + run.dy, op.colour, false);
        penX += g.advance;
      }
      break;
    }
  }
}

void drawOn(Surface& s, const Op& op) {
  s.setRasterMode(op.xorMode ? RasterMode::Xor : RasterMode::Copy);
  s.selectPen(Pen::none());
  s.selectBrush(Brush::solid(op.colour));
  const Rect& r = op.r;
  switch (op.kind) {
    case Kind::Fill:
      s.fillRect(r, op.colour);
      break;
    case Kind::Frame:
      s.frameRect(r, op.colour);
      break;
    case Kind::BrushRect:
      s.rectangle(r);
      break;
    case Kind::OutlinedRect:
      s.selectPen(Pen::solid(op.other));
      s.rectangle(r);
      break;
    case Kind::PolygonRect: {
      const QPoint corners[] = {{r.left, r.top}, {r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}};
      s.polygon(corners);
      break;
    }
    case Kind::PolygonWedge: {
      const QPoint corners[] = {{r.left, r.top}, {r.left, r.bottom}, {r.right, r.bottom}};
      s.polygon(corners);
      break;
    }
    case Kind::OpaqueText:
    case Kind::TransparentText:
      s.selectFont(op.font);
      s.setTextColour(op.colour);
      s.setBackgroundColour(op.other);
      s.setBackgroundMode(op.kind == Kind::OpaqueText ? BackgroundMode::Opaque : BackgroundMode::Transparent);
      s.textOut(r.left, r.top, op.text);
      break;
  }
}

std::vector<Op> scene() {
  constexpr FontSpec kList{15, 500, FontPitch::Fixed};
  constexpr FontSpec kLarge{-90, 700, FontPitch::Variable};  // glyphs wider than 64 pixels
  const int w = kWidth, h = kHeight;
  std::vector<Op> ops = {
      plain(Kind::Fill, {0, 0, w, h}, rgb(214, 214, 214)),
      brushed(Kind::BrushRect, {-100, -100, w + 100, h + 100}, rgb(0, 255, 255), true),
      // Clipped at each edge, past every edge, and wholly off the canvas.
      plain(Kind::Fill, {-5, 3, 10, 9}, rgb(255, 0, 0)),
      plain(Kind::Fill, {w - 10, 3, w + 70, 9}, rgb(255, 0, 0)),
      plain(Kind::Fill, {3, -4, 9, 5}, rgb(255, 0, 0)),
      plain(Kind::Fill, {3, h - 2, 19, h + 50}, rgb(255, 0, 0)),
      brushed(Kind::BrushRect, {-3, 20, 30, 40}, rgb(0, 144, 0), true),
      brushed(Kind::BrushRect, {w - 30, 20, w + 1, 40}, rgb(0, 144, 0), false),
      brushed(Kind::BrushRect, {20, -9, 40, 3}, rgb(0, 144, 0), true),
      brushed(Kind::BrushRect, {20, h - 3, 40, h + 9}, rgb(0, 144, 0), false),
      plain(Kind::Fill, {-10, -10, -1, -1}, rgb(1, 2, 3)),
      plain(Kind::Fill, {w, 0, w + 9, h}, rgb(1, 2, 3)),
      brushed(Kind::BrushRect, {0, h, w, h + 4}, rgb(1, 2, 3), true),
      // Empty and inverted: plain fills and frames draw nothing, rectangles
      // and polygons take the corners in either order.
      plain(Kind::Fill, {10, 10, 10, 20}, rgb(0, 0, 255)),
      plain(Kind::Fill, {10, 10, 20, 10}, rgb(0, 0, 255)),
      plain(Kind::Fill, {40, 40, 30, 30}, rgb(0, 0, 255)),
      plain(Kind::Frame, {40, 40, 30, 30}, rgb(0, 0, 255)),
      brushed(Kind::BrushRect, {60, 60, 50, 50}, rgb(0, 0, 255), true),
      brushed(Kind::BrushRect, {60, 60, 60, 70}, rgb(0, 0, 255), true),
      brushed(Kind::PolygonRect, {80, 70, 66, 52}, rgb(9, 99, 199), true),
      // Single pixels, one-pixel rows and columns along the edges.
      plain(Kind::Fill, {7, 7, 8, 8}, rgb(255, 255, 0)),
      brushed(Kind::BrushRect, {8, 7, 9, 8}, rgb(255, 255, 0), true),
      brushed(Kind::OutlinedRect, {9, 7, 10, 8}, rgb(0, 0, 0), true, rgb(255, 0, 255)),
      plain(Kind::Fill, {0, 0, 1, h}, rgb(0, 0, 128)),
      brushed(Kind::BrushRect, {w - 1, 0, w, h}, rgb(0, 0, 128), false),
      plain(Kind::Fill, {0, h - 1, w, h}, rgb(0, 0, 128)),
      brushed(Kind::BrushRect, {0, 0, w, 1}, rgb(0, 0, 128), true),
      plain(Kind::Frame, {100, 5, 101, 30}, rgb(128, 0, 0)),
      plain(Kind::Frame, {-1, -1, w + 1, h + 1}, rgb(128, 0, 0)),
      plain(Kind::Frame, {1, 50, w - 1, 65}, rgb(255, 0, 0)),
      brushed(Kind::OutlinedRect, {70, 80, 72, 95}, rgb(0, 0, 0), true, rgb(255, 0, 255)),
      brushed(Kind::OutlinedRect, {-4, 80, 30, 100}, rgb(40, 50, 60), true, rgb(255, 0, 255)),
      brushed(Kind::PolygonWedge, {w - 20, h - 25, w + 30, h + 10}, rgb(77, 0, 77), true),
      brushed(Kind::PolygonWedge, {-30, -8, 25, 30}, rgb(77, 0, 77), false),
      // Text boxes inside the canvas and cut by every edge.
      text(Kind::OpaqueText, 4, 19, rgb(0, 144, 0), rgb(214, 214, 214), "1234.56 -0.25%", kList),
      text(Kind::OpaqueText, -13, 40, rgb(255, 0, 0), rgb(214, 214, 214), "^GSPC 3:59pm", kList),
      text(Kind::OpaqueText, w - 50, 60, rgb(0, 0, 0), rgb(255, 255, 255), "Volume 50DAvg", kList),
      text(Kind::OpaqueText, 30, -7, rgb(0, 0, 0), rgb(200, 200, 0), "Symbol", kSystemFont),
      text(Kind::OpaqueText, 30, h - 6, rgb(0, 0, 0), rgb(200, 200, 0), "Time", kSystemFont),
      text(Kind::TransparentText, 50, 70, rgb(0, 0, 255), 0, "Above50D Y", kList),
      text(Kind::TransparentText, -3, 30, rgb(0, 0, 255), 0, "gjpqy", FontSpec{14, 0, FontPitch::Variable}),
      text(Kind::OpaqueText, 2, 2, rgb(0, 0, 0), rgb(230, 230, 230), "WM", kLarge),
      text(Kind::OpaqueText, w - 60, 5, rgb(0, 0, 0), rgb(230, 230, 230), "WM", kLarge),
  };
  // Every width from 1 to 20 at every start modulo 8, in both modes.
  for (int i = 0; i < 40; ++i) {
    const int left = 30 + i % 8, top = 2 + i;
    ops.push_back(plain(Kind::Fill, {left, top, left + 1 + i % 20, top + 1}, rgb(i * 6, 0, 0)));
    ops.push_back(
        brushed(Kind::BrushRect, {left + 40, top, left + 41 + i % 20, top + 2}, rgb(0, i * 6, 0), true));
  }
  std::mt19937 random(20240613);
  std::uniform_int_distribution<int> x(-20, w + 20), y(-20, h + 20), kind(0, 5), coin(0, 1);
  std::uniform_int_distribution<uint32_t> colour(0, 0xffffffu);
  for (int i = 0; i < 400; ++i) {
    const Kind k = static_cast<Kind>(kind(random));
    Rect r{x(random), y(random), x(random), y(random)};
    if (k == Kind::PolygonWedge) r = r.normalized();  // the reference's wedge runs left to right, top down
    const QRgb fill = colour(random), pen = colour(random);
    ops.push_back(brushed(k, r, fill, coin(random) == 1, pen));
  }
  return ops;
}

// The first pixel where the canvas memory and the reference differ, or "".
std::string firstDifference(const std::vector<QRgb>& memory, int stride, const Reference& ref) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const QRgb drawn = memory[y * stride + x], expected = ref.pixels[y * kWidth + x];
      if (drawn != expected)
        return "(" + std::to_string(x) + ", " + std::to_string(y) + "): " + std::to_string(drawn) +
               " instead of " + std::to_string(expected);
    }
  return "";
}

TEST(SurfaceFills, MixedSceneMatchesAPixelByPixelReference) {
  // Once on a canvas whose rows follow each other, once on one whose rows
  // are padded, where whole-row fills must stop at the right edge.
  for (const int stride : {kWidth, kWidth + 10}) {
    SCOPED_TRACE(stride);
    std::vector<QRgb> memory(static_cast<size_t>(stride) * kHeight, kPadding);
    Reference ref;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) memory[y * stride + x] = ref.pixels[y * kWidth + x] = startPixel(x, y);
    QImage canvas(reinterpret_cast<uchar*>(memory.data()), kWidth, kHeight, stride * 4, QImage::Format_RGB32);
    const std::vector<Op> ops = scene();
    {
      Surface s(canvas);
      ASSERT_EQ(s.canvas().constBits(), reinterpret_cast<const uchar*>(memory.data()));
      for (size_t i = 0; i < ops.size(); ++i) {
        drawOn(s, ops[i]);
        drawOn(ref, ops[i]);
        const std::string difference = firstDifference(memory, stride, ref);
        ASSERT_EQ(difference, "") << "after step " << i;
      }
    }
    for (int y = 0; y < kHeight; ++y)
      for (int x = kWidth; x < stride; ++x) ASSERT_EQ(memory[y * stride + x], kPadding) << x << "," << y;
  }
}

}  // namespace
}  // namespace velmora
