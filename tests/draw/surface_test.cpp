#include "draw/surface.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <array>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "draw/surface_font.h"

namespace velmora {
namespace {

constexpr QRgb kGrey = rgb(214, 214, 214);
constexpr QRgb kRed = rgb(255, 0, 0);
constexpr QRgb kBlue = rgb(0, 0, 255);
constexpr QRgb kGreen = rgb(0, 144, 0);
constexpr QRgb kCyan = rgb(0, 255, 255);

QImage canvasOf(int w, int h, QRgb colour = kGrey) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(colour);
  return image;
}

QRgb at(const QImage& image, int x, int y) { return image.pixel(x, y); }

// Pixels of `image` that differ from `background`.
std::vector<QPoint> changed(const QImage& image, QRgb background = kGrey) {
  std::vector<QPoint> out;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != background) out.emplace_back(x, y);
  return out;
}

TEST(SurfaceLines, LeaveOutTheirLastPixelInEveryDirection) {
  QImage canvas = canvasOf(40, 40);
  {
    Surface s(canvas);
    s.moveTo(10, 5);
    s.lineTo(20, 5);
    s.moveTo(20, 8);  // right to left
    s.lineTo(10, 8);
    s.moveTo(3, 10);  // diagonal
    s.lineTo(8, 15);
    EXPECT_EQ(s.position(), QPoint(8, 15));
  }
  for (int x = 10; x < 20; ++x) EXPECT_EQ(at(canvas, x, 5), rgb(0, 0, 0)) << x;
  EXPECT_EQ(at(canvas, 20, 5), kGrey);
  EXPECT_EQ(at(canvas, 9, 5), kGrey);
  for (int x = 11; x <= 20; ++x) EXPECT_EQ(at(canvas, x, 8), rgb(0, 0, 0)) << x;
  EXPECT_EQ(at(canvas, 10, 8), kGrey);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(at(canvas, 3 + i, 10 + i), rgb(0, 0, 0));
  EXPECT_EQ(at(canvas, 8, 15), kGrey);
  EXPECT_EQ(changed(canvas).size(), 25u);
}

TEST(SurfaceLines, ClippingKeepsThePixelsOfTheWholeLine) {
  // The same steep and shallow lines on a small canvas and, shifted, on a
  // large one must agree wherever the small canvas reaches.
  std::vector<std::array<QPoint, 2>> lines = {
      {{{-30, -7}, {70, 41}}}, {{{35, -50}, {2, 90}}}, {{{-1000000, 3}, {1000000, 20}}}};
  std::mt19937 random(7);
  std::uniform_int_distribution<int> coordinate(-90, 130);
  for (int i = 0; i < 300; ++i)
    lines.push_back({{{coordinate(random), coordinate(random)}, {coordinate(random), coordinate(random)}}});
  QImage small = canvasOf(40, 30);
  QImage large = canvasOf(400, 400);
  {
    Surface a(small), b(large);
    a.setRasterMode(RasterMode::Xor);  // xor: every pixel must be hit as often in both
    b.setRasterMode(RasterMode::Xor);
    for (const auto& l : lines) {
      a.selectPen(Pen::solid(rgb(l[0].x() & 255, l[0].y() & 255, l[1].x() & 255)));
      b.selectPen(a.pen());
      a.moveTo(l[0].x(), l[0].y());
      a.lineTo(l[1].x(), l[1].y());
      b.moveTo(l[0].x() + 150, l[0].y() + 150);
      b.lineTo(l[1].x() + 150, l[1].y() + 150);
    }
    a.setRasterMode(RasterMode::Copy);
    a.moveTo(INT_MIN, INT_MIN);  // absurd coordinates are harmless
    a.lineTo(INT_MAX, INT_MAX);
  }
  int drawn = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      if (x == y) continue;  // the absurd diagonal
      EXPECT_EQ(at(small, x, y), at(large, x + 150, y + 150)) << x << "," << y;
      drawn += at(small, x, y) != kGrey;
    }
  EXPECT_GT(drawn, 60);
}

TEST(SurfaceLines, StyledAndWidePens) {
  QImage canvas = canvasOf(40, 40, rgb(1, 2, 3));
  {
    Surface s(canvas);
    s.setBackgroundColour(kGrey);
    s.selectPen(Pen::dotted(kRed));
    s.moveTo(0, 0);
    s.lineTo(4, 0);
    s.lineTo(13, 0);  // the pattern runs on across the joint
    s.setBackgroundMode(BackgroundMode::Transparent);
    s.moveTo(0, 2);
    s.lineTo(13, 2);
    s.selectPen(Pen::none());
    s.moveTo(0, 4);
    s.lineTo(12, 4);
    s.selectPen(Pen::solid(kBlue, 2));
    s.moveTo(5, 20);
    s.lineTo(30, 20);
  }
  const std::string dots = "xxx...xxx...x";
  for (int x = 0; x < 13; ++x) {
    EXPECT_EQ(at(canvas, x, 0), dots[x] == 'x' ? kRed : kGrey) << x;
    EXPECT_EQ(at(canvas, x, 2), dots[x] == 'x' ? kRed : rgb(1, 2, 3)) << x;
    EXPECT_EQ(at(canvas, x, 4), rgb(1, 2, 3));
  }
  // A two-pixel pen covers exactly two rows along its length.
  for (int y = 17; y <= 23; ++y) EXPECT_EQ(at(canvas, 15, y) == kBlue, y == 19 || y == 20) << y;
}

TEST(SurfaceXor, CyanOnBackgroundAndTwiceRestores) {
  QImage canvas = canvasOf(60, 60);
  {
    Surface s(canvas);
    s.selectPen(Pen::solid(kRed));
    s.selectBrush(Brush::solid(kBlue));
    s.rectangle({30, 30, 50, 50});
    s.textOut(2, 40, "Hg");
  }
  const QImage before = canvas.copy();
  {
    Surface s(canvas);
    s.setRasterMode(RasterMode::Xor);
    s.selectPen(Pen::solid(kCyan));
    s.moveTo(0, 10);
    s.lineTo(60, 10);
    s.moveTo(20, 0);
    s.lineTo(20, 60);
    EXPECT_EQ(at(canvas, 5, 10), rgb(214, 41, 41));
    EXPECT_EQ(at(canvas, 20, 10), kGrey);  // the crossing is xor-ed twice
    s.moveTo(20, 0);
    s.lineTo(20, 60);
    s.moveTo(0, 10);
    s.lineTo(60, 10);
    for (int pass = 0; pass < 2; ++pass) {
      const QPoint triangle[] = {{10, 30}, {3, 42}, {17, 42}};
      s.selectBrush(Brush::solid(kGreen));
      s.polygon(triangle);
      s.rectangle({25, 25, 55, 45});
      s.arc({8, 8, 32, 32}, {20, 0}, {20, 0});
      s.selectPen(Pen::solid(kCyan, 2));
      s.moveTo(0, 50);
      s.lineTo(59, 55);
      s.selectPen(Pen::solid(kCyan));
    }
  }
  EXPECT_EQ(canvas, before);
  for (QPoint p : changed(canvas)) ASSERT_EQ(qAlpha(at(canvas, p.x(), p.y())), 255);
}

TEST(SurfaceXor, LeavesTextAndPlainFillsAlone) {
  QImage canvas = canvasOf(60, 30);
  {
    Surface s(canvas);
    s.setRasterMode(RasterMode::Xor);
    s.setTextColour(kGreen);
    s.textOut(0, 0, "88");
    s.fillRect({40, 0, 50, 10}, kRed);
    s.frameRect({40, 15, 50, 25}, kBlue);
  }
  EXPECT_FALSE(changed(canvas).empty());
  for (QPoint p : changed(canvas)) {
    const QRgb c = at(canvas, p.x(), p.y());
    EXPECT_TRUE(c == kGreen || c == rgb(255, 255, 255) || c == kRed || c == kBlue) << p.x() << "," << p.y();
  }
}

TEST(SurfaceShapes, RectanglesAndFillsLeaveOutRightAndBottom) {
  QImage canvas = canvasOf(60, 60);
  {
    Surface s(canvas);
    s.selectPen(Pen::solid(kRed));
    s.selectBrush(Brush::solid(kBlue));
    s.rectangle({10, 10, 20, 20});
    s.fillRect({30, 5, 35, 8}, kGreen);
    s.fillRect({40, 8, 38, 4}, kGreen);  // inverted: nothing
    s.frameRect({30, 30, 36, 35}, kRed);
    s.selectPen(Pen::none());
    s.rectangle({45, 45, 48, 47});
  }
  for (int i = 10; i < 20; ++i) {
    for (QPoint p : {QPoint(10, i), QPoint(19, i), QPoint(i, 10), QPoint(i, 19)})
      EXPECT_EQ(at(canvas, p.x(), p.y()), kRed) << p.x() << "," << p.y();
    EXPECT_EQ(at(canvas, 20, i), kGrey);
    EXPECT_EQ(at(canvas, i, 20), kGrey);
  }
  for (int y = 11; y < 19; ++y)
    for (int x = 11; x < 19; ++x) ASSERT_EQ(at(canvas, x, y), kBlue);
  int green = 0, frame = 0, nullPen = 0;
  for (QPoint p : changed(canvas)) {
    green += at(canvas, p.x(), p.y()) == kGreen;
    frame += p.x() >= 30 && p.y() >= 30 && p.y() < 40;
    nullPen += p.x() >= 45;
  }
  EXPECT_EQ(green, 5 * 3);
  EXPECT_EQ(at(canvas, 34, 7), kGreen);
  EXPECT_EQ(frame, 2 * 6 + 2 * 3);  // border only, x = 30..35, y = 30..34
  EXPECT_EQ(at(canvas, 35, 34), kRed);
  EXPECT_EQ(nullPen, 3 * 2);  // the brush fills it all
}

TEST(SurfaceShapes, PolygonFillStaysInsideItsOutline) {
  QImage canvas = canvasOf(60, 60);
  {
    Surface s(canvas);
    s.selectPen(Pen::solid(kRed));
    s.selectBrush(Brush::solid(kBlue));
    const QPoint triangle[] = {{30, 4}, {23, 16}, {37, 16}};
    s.polygon(triangle);
  }
  for (QPoint v : {QPoint(30, 4), QPoint(23, 16), QPoint(37, 16)}) EXPECT_EQ(at(canvas, v.x(), v.y()), kRed);
  int blue = 0;
  for (int y = 0; y < 60; ++y) {
    int first = -1, last = -1;
    for (int x = 0; x < 60; ++x)
      if (at(canvas, x, y) == kRed) last = x, first = first < 0 ? x : first;
    for (int x = 0; x < 60; ++x)
      if (at(canvas, x, y) == kBlue) {
        ++blue;
        EXPECT_TRUE(x > first && x < last) << x << "," << y;
      }
  }
  EXPECT_GT(blue, 50);
}

TEST(SurfaceShapes, CirclesAndArcs) {
  QImage canvas = canvasOf(80, 40);
  const int c = 20, y = 20;
  {
    Surface s(canvas);
    s.selectPen(Pen::solid(kGreen));
    s.arc({c - 12, y - 12, c + 12, y + 12}, {c, y - 12}, {c, y - 12});
    // A quarter from three o'clock counterclockwise to twelve o'clock.
    s.arc({48, 8, 72, 32}, {80, 20}, {60, 0});
  }
  std::vector<QPoint> circle, quarter;
  for (QPoint p : changed(canvas)) (p.x() < 40 ? circle : quarter).push_back(p);
  int left = 99, right = -1, top = 99, bottom = -1;
  for (QPoint p : circle) {
    left = std::min(left, p.x()), right = std::max(right, p.x());
    top = std::min(top, p.y()), bottom = std::max(bottom, p.y());
    EXPECT_EQ(at(canvas, 2 * c - 1 - p.x(), p.y()), kGreen);  // symmetric about x = c - 0.5
    int neighbours = 0;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx)
        neighbours += (dx || dy) && at(canvas, p.x() + dx, p.y() + dy) == kGreen;
    EXPECT_GE(neighbours, 2) << p.x() << "," << p.y();  // closed, no gaps
  }
  EXPECT_EQ(left, c - 12);
  EXPECT_EQ(right, c + 11);
  EXPECT_EQ(top, y - 12);
  EXPECT_EQ(bottom, y + 11);
  EXPECT_EQ(at(canvas, c, y), kGrey);  // not filled
  ASSERT_FALSE(quarter.empty());
  for (QPoint p : quarter) EXPECT_TRUE(p.x() >= 59 && p.y() <= 20) << p.x() << "," << p.y();
}

TEST(SurfaceText, OpaqueBoxIsExactlyTheMeasuredExtent) {
  QImage canvas = canvasOf(200, 40, rgb(1, 2, 3));
  TextExtent extent;
  {
    Surface s(canvas);
    s.selectFont({15, 500, FontPitch::Fixed});
    s.setBackgroundColour(kGrey);
    s.setTextColour(kGreen);
    extent = s.textExtent("Volume 50DAvg");
    s.textOut(5, 7, "Volume 50DAvg");
    s.setBackgroundMode(BackgroundMode::Transparent);
    s.textOut(150, 7, "8");
  }
  ASSERT_EQ(extent.height, 15);
  ASSERT_EQ(extent.width % 13, 0);  // fixed pitch
  int ink = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 140; ++x) {
      const bool inBox = x >= 5 && x < 5 + extent.width && y >= 7 && y < 7 + extent.height;
      const QRgb c = at(canvas, x, y);
      if (inBox) {
        ASSERT_TRUE(c == kGrey || c == kGreen) << x << "," << y;
        ink += c == kGreen;
      } else {
        ASSERT_EQ(c, rgb(1, 2, 3)) << x << "," << y;
      }
    }
  EXPECT_GT(ink, 50);
  for (QPoint p : changed(canvas, rgb(1, 2, 3))) {
    if (p.x() >= 150) {
      EXPECT_EQ(at(canvas, p.x(), p.y()), kGreen);
    }
  }
}

TEST(SurfaceText, GlyphsAndWidthsAgreeWithQtText) {
  // Text drawn glyph by glyph must look as Qt draws the whole string in the
  // same font, and its measure must add up.
  const std::string text = "Symbol Volume 123,456.78 -0.25% EMA(20) Jan";
  for (FontSpec fontSpec : {FontSpec{15, 500, FontPitch::Fixed}, FontSpec{14, 0, FontPitch::Variable},
                            FontSpec{14, 200, FontPitch::Fixed}, kSystemFont}) {
    ResolvedFont& font = ResolveFont(fontSpec);
    QImage ours = canvasOf(520, 30), qts = canvasOf(520, 30);
    int width = 0;
    {
      Surface s(ours);
      s.selectFont(fontSpec);
      s.setBackgroundMode(BackgroundMode::Transparent);
      s.textOut(3, 4, text);
      width = s.textExtent(text).width;
      EXPECT_EQ(width, s.textExtent(text.substr(0, 10)).width + s.textExtent(text.substr(10)).width);
      EXPECT_EQ(s.textExtent(text).height, fontSpec.cellHeight);
    }
    QPainter p(&qts);
    p.setFont(font.qfont());
    p.setPen(QColor(0, 0, 0));
    p.drawText(QPoint(3, 4 + font.baseline()), QString::fromStdString(text));
    EXPECT_EQ(width, p.fontMetrics().horizontalAdvance(QString::fromStdString(text))) << fontSpec.cellHeight;
    p.end();
    EXPECT_EQ(ours, qts) << fontSpec.cellHeight << " " << fontSpec.weight;
  }
}

TEST(SurfaceState, FreshDefaultsSelectAndRestore) {
  QImage canvas = canvasOf(10, 10);
  Surface s(canvas);
  const SurfaceState fresh;
  EXPECT_EQ(s.state(), fresh);
  EXPECT_EQ(s.pen(), Pen::solid(rgb(0, 0, 0)));
  EXPECT_EQ(s.brush(), Brush::solid(rgb(255, 255, 255)));
  EXPECT_EQ(s.font(), kSystemFont);
  EXPECT_EQ(s.backgroundColour(), rgb(255, 255, 255));
  {
    SurfaceRestorer restorer(s);
    EXPECT_EQ(s.selectPen(Pen::dotted(kRed)), Pen::solid(rgb(0, 0, 0)));
    EXPECT_EQ(s.selectPen(Pen::solid(kBlue, 2)), Pen::dotted(kRed));
    EXPECT_EQ(s.selectFont({14, 0, FontPitch::Variable}), kSystemFont);
    EXPECT_EQ(s.textExtent("0").height, 14);
    s.selectBrush(Brush::none());
    s.setTextColour(kGreen);
    s.setBackgroundColour(kGrey);
    s.setBackgroundMode(BackgroundMode::Transparent);
    EXPECT_EQ(s.setRasterMode(RasterMode::Xor), RasterMode::Copy);
  }
  EXPECT_EQ(s.state(), fresh);
  EXPECT_EQ(s.textExtent("0").height, 16);  // the restored font is the one measured
}

TEST(SurfaceCopy, SaveUnderRoundTripsAndClips) {
  QImage canvas = canvasOf(100, 60);
  {
    Surface s(canvas);
    s.selectPen(Pen::solid(kRed));
    for (int x = 0; x < 100; x += 7) s.moveTo(x, 0), s.lineTo(99 - x, 59);
  }
  const QImage before = canvas.copy();
  QImage memory = Surface::compatibleImage(128, 128);
  EXPECT_EQ(memory.pixel(5, 5), rgb(0, 0, 0));
  {
    Surface s(canvas);
    // A label near the right edge: part of its rectangle is off the canvas.
    const Rect saved{80, 40, 80 + 40, 40 + 30};
    s.copyToImage(saved, memory, {0, 0});
    EXPECT_EQ(memory.pixel(0, 0), canvas.pixel(80, 40));
    s.selectFont({14, 200, FontPitch::Fixed});
    s.textOut(83, 43, "123.45");
    s.selectPen(Pen::solid(kBlue, 3));
    s.moveTo(83, 45);
    s.lineTo(97, 57);
    EXPECT_NE(canvas, before);
    s.copyFromImage(memory, {0, 0}, saved);
  }
  EXPECT_EQ(canvas, before);
}

TEST(SurfaceCopy, DirtyRectangleAndSharedCanvas) {
  QImage canvas = canvasOf(100, 60);
  const QImage shallow = canvas;  // shared before drawing: must not change
  Surface s(canvas);
  EXPECT_TRUE(s.dirtyRect().isEmpty());
  s.fillRect({10, 10, 20, 15}, kRed);
  s.moveTo(50, 50);
  s.lineTo(150, 50);  // clipped to the canvas
  EXPECT_EQ(s.dirtyRect(), (Rect{10, 10, 100, 51}));
  EXPECT_EQ(s.takeDirtyRect(), (Rect{10, 10, 100, 51}));
  EXPECT_TRUE(s.dirtyRect().isEmpty());
  s.selectPen(Pen::solid(kBlue, 2));  // a QPainter and direct writes in one batch
  s.moveTo(0, 30);
  s.lineTo(40, 30);
  s.textOut(0, 0, "x");
  s.flush();
  EXPECT_EQ(at(canvas, 20, 30), kBlue);
  EXPECT_EQ(at(canvas, 12, 12), kRed);
  EXPECT_EQ(changed(shallow).size(), 0u);
}

}  // namespace
}  // namespace velmora
