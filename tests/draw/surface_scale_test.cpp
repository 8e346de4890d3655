// The surface on a canvas of device pixel ratio 2 (and 3): logical
// coordinates, whole blocks of device pixels, sharp text on logical metrics.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "draw/surface.h"

namespace velmora {
namespace {

constexpr QRgb kGrey = rgb(214, 214, 214);
constexpr QRgb kBlack = rgb(0, 0, 0);
constexpr QRgb kRed = rgb(255, 0, 0);
constexpr QRgb kCyan = rgb(0, 255, 255);
constexpr QRgb kYellow = rgb(255, 255, 0);

// A canvas of w x h logical pixels at `ratio`.
QImage canvasOf(int w, int h, int ratio) {
  QImage image(w * ratio, h * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(kGrey);
  return image;
}

int countOf(const QImage& image, QRgb colour) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour ? 1 : 0;
  return n;
}

// Every pixel of the ratio-1 picture is the whole block at `ratio`.
void expectBlocks(const QImage& logical, const QImage& scaled, int ratio) {
  ASSERT_EQ(scaled.width(), logical.width() * ratio);
  ASSERT_EQ(scaled.height(), logical.height() * ratio);
  int wrong = 0;
  for (int y = 0; y < logical.height(); ++y)
    for (int x = 0; x < logical.width(); ++x)
      for (int dy = 0; dy < ratio; ++dy)
        for (int dx = 0; dx < ratio; ++dx)
          if (scaled.pixel(x * ratio + dx, y * ratio + dy) != logical.pixel(x, y) && ++wrong <= 5)
            ADD_FAILURE() << "block of (" << x << ", " << y << ") differs at +" << dx << ", +" << dy;
  EXPECT_EQ(wrong, 0);
}

// The same drawing at ratio 1 and at `ratio`.
void expectSameBlocks(int w, int h, int ratio, const std::function<void(Surface&)>& draw) {
  QImage logical = canvasOf(w, h, 1);
  QImage scaled = canvasOf(w, h, ratio);
  {
    Surface s(logical);
    draw(s);
  }
  {
    Surface s(scaled);
    EXPECT_EQ(s.scale(), ratio);
    EXPECT_EQ(s.width(), w);
    EXPECT_EQ(s.height(), h);
    draw(s);
  }
  expectBlocks(logical, scaled, ratio);
}

TEST(SurfaceScale, FillsRectanglesAndStraightLinesCoverWholeBlocks) {
  const auto scene = [](Surface& s) {
    s.fillRect({2, 3, 12, 9}, kRed);
    s.frameRect({14, 2, 30, 12}, kBlack);
    s.selectBrush(Brush::solid(kYellow));
    s.rectangle({3, 14, 20, 25});  // outline and inside
    s.selectPen(Pen::none());
    s.rectangle({22, 14, 28, 20});  // brush over the whole rectangle
    s.selectPen(Pen::solid(kCyan));
    s.rectangle({30, 14, 32, 30});  // two wide: all border
    s.moveTo(1, 28);
    s.lineTo(29, 28);  // horizontal, last pixel left out
    s.lineTo(29, 35);  // vertical
    s.selectPen(Pen::dashed(kBlack));
    s.moveTo(0, 37);
    s.lineTo(40, 37);  // dashes and opaque gaps in logical pixels
    s.selectPen(Pen::dotted(kRed));
    s.setBackgroundMode(BackgroundMode::Transparent);
    s.moveTo(36, 0);
    s.lineTo(36, 30);
    const QPoint box[] = {{4, 30}, {14, 30}, {14, 36}, {4, 36}};
    s.selectBrush(Brush::solid(kRed));
    s.selectPen(Pen::solid(kBlack));
    s.polygon(box);
    s.ellipse({16, 29, 26, 36});  // outline and inside drawn block by block
    s.arc({26, 29, 34, 36}, {34, 29}, {26, 36});
  };
  expectSameBlocks(40, 40, 2, scene);
  expectSameBlocks(40, 40, 3, scene);
}

TEST(SurfaceScale, OnePixelLinesAreOneBlockThickAndWalkedAtDeviceResolution) {
  QImage canvas = canvasOf(30, 30, 2);
  {
    Surface s(canvas);
    s.moveTo(2, 2);
    s.lineTo(12, 7);  // x-major slope: one column of two pixels per device step
  }
  // 10 logical steps are 20 device columns, each 2 pixels tall.
  EXPECT_EQ(countOf(canvas, kBlack), 40);
  for (int x = 4; x < 24; ++x) {
    int inColumn = 0;
    for (int y = 0; y < canvas.height(); ++y) inColumn += canvas.pixel(x, y) == kBlack ? 1 : 0;
    EXPECT_EQ(inColumn, 2) << x;
  }
  EXPECT_EQ(canvas.pixel(4, 4), kBlack);   // starts on the first block's corner
  EXPECT_EQ(canvas.pixel(24, 14), kGrey);  // the last logical pixel is left out
  // The staircase is finer than the logical one: a device step inside a
  // block moves half a logical row.
  EXPECT_EQ(canvas.pixel(5, 4), kGrey);
  EXPECT_EQ(canvas.pixel(5, 5), kBlack);
  EXPECT_EQ(canvas.pixel(5, 6), kBlack);
}

TEST(SurfaceScale, WidePensAreAsManyBlocksWideAsTheirWidth) {
  QImage canvas = canvasOf(30, 30, 2);
  {
    Surface s(canvas);
    s.selectPen(Pen::solid(kRed, 2));
    s.moveTo(5, 10);
    s.lineTo(25, 10);
  }
  // A 2-pixel pen on a ratio-2 canvas is 4 device rows tall mid-line.
  int rows = 0;
  for (int y = 0; y < canvas.height(); ++y) rows += canvas.pixel(30, y) == kRed ? 1 : 0;
  EXPECT_EQ(rows, 4);
}

TEST(SurfaceScale, TextKeepsItsLogicalExtentAndIsDrawnAtTwiceTheSize) {
  const FontSpec font{14, 0, FontPitch::Variable};
  QImage logical = canvasOf(120, 30, 1);
  QImage scaled = canvasOf(120, 30, 2);
  TextExtent extent1, extent2;
  Rect dirty2;
  {
    Surface s(logical);
    s.selectFont(font);
    s.setBackgroundColour(kYellow);
    extent1 = s.textExtent("Volume 1,234");
    s.textOut(5, 4, "Volume 1,234");
  }
  {
    Surface s(scaled);
    s.selectFont(font);
    s.setBackgroundColour(kYellow);
    extent2 = s.textExtent("Volume 1,234");
    s.textOut(5, 4, "Volume 1,234");
    dirty2 = s.dirtyRect();
  }
  EXPECT_EQ(extent2, extent1);
  EXPECT_TRUE(dirty2.intersected({5, 4, 5 + extent1.width, 4 + extent1.height}) ==
              (Rect{5, 4, 5 + extent1.width, 4 + extent1.height}));
  EXPECT_EQ(dirty2.right, 5 + extent1.width) << "dirty rectangle in logical pixels";
  // The opaque box is the logical box in whole blocks.
  EXPECT_EQ(countOf(scaled, kYellow) + countOf(scaled, kBlack), extent1.width * extent1.height * 4);
  EXPECT_EQ(scaled.pixel(9, 8), kGrey);
  EXPECT_EQ(scaled.pixel((5 + extent1.width) * 2, 8), kGrey);
  // Glyphs at twice the pixel size: about four times the ink, in thin
  // strokes of device pixels (not blocks of the small glyphs).
  const int ink1 = countOf(logical, kBlack), ink2 = countOf(scaled, kBlack);
  EXPECT_GT(ink1, 50);
  EXPECT_GT(ink2, ink1 * 2);
  EXPECT_LT(ink2, ink1 * 4 + ink1 / 2);
  bool oddEdge = false;  // an ink pixel whose block is not all ink
  for (int y = 0; y < scaled.height() && !oddEdge; y += 2)
    for (int x = 0; x < scaled.width() && !oddEdge; x += 2) {
      const int n = (scaled.pixel(x, y) == kBlack) + (scaled.pixel(x + 1, y) == kBlack) +
                    (scaled.pixel(x, y + 1) == kBlack) + (scaled.pixel(x + 1, y + 1) == kBlack);
      oddEdge = n > 0 && n < 4;
    }
  EXPECT_TRUE(oddEdge) << "text looks like enlarged small glyphs";
}

TEST(SurfaceScale, XorTwiceRestoresTheCanvas) {
  for (int ratio : {2, 3}) {
    QImage canvas = canvasOf(50, 40, ratio);
    {
      Surface s(canvas);
      s.fillRect({5, 5, 30, 30}, kRed);
      s.textOut(2, 2, "Ab");
    }
    const QImage before = canvas.copy();
    for (int pass = 0; pass < 2; ++pass) {
      Surface s(canvas);
      s.setRasterMode(RasterMode::Xor);
      s.selectPen(Pen::solid(kCyan));
      s.moveTo(0, 17);
      s.lineTo(50, 17);
      s.moveTo(20, 0);
      s.lineTo(20, 40);
      s.moveTo(3, 3);
      s.lineTo(45, 31);  // a slope
      s.selectBrush(Brush::solid(kYellow));
      s.rectangle({10, 12, 40, 35});
      const QPoint triangle[] = {{25, 2}, {35, 14}, {15, 14}};
      s.polygon(triangle);
      s.ellipse({30, 20, 44, 34});
      s.selectPen(Pen::solid(kCyan, 2));
      s.moveTo(2, 38);
      s.lineTo(48, 36);
    }
    EXPECT_TRUE(canvas == before) << "ratio " << ratio;
  }
}

TEST(SurfaceScale, SavedRectanglesComeBackWhole) {
  QImage canvas = canvasOf(60, 40, 2);
  QImage memory = Surface::compatibleImage(16, 16);  // made for a ratio-1 canvas
  {
    Surface s(canvas);
    s.fillRect({10, 10, 20, 20}, kRed);
    s.textOut(12, 12, "7");
  }
  const QImage before = canvas.copy();
  {
    Surface s(canvas);
    s.copyToImage({8, 8, 24, 24}, memory, {0, 0});
    EXPECT_EQ(memory.width(), 32) << "the memory takes the canvas's ratio";
    EXPECT_EQ(memory.devicePixelRatio(), 2.0);
    s.fillRect({0, 0, 60, 40}, kCyan);
    s.takeDirtyRect();
    s.copyFromImage(memory, {0, 0}, {8, 8, 24, 24});
    EXPECT_EQ(s.dirtyRect(), (Rect{8, 8, 24, 24}));
  }
  for (int y = 16; y < 48; ++y)
    for (int x = 16; x < 48; ++x) ASSERT_EQ(canvas.pixel(x, y), before.pixel(x, y)) << x << "," << y;
  EXPECT_EQ(canvas.pixel(15, 16), kCyan);
  EXPECT_EQ(canvas.pixel(48, 47), kCyan);
}

TEST(SurfaceScale, DrawingOffTheCanvasIsClippedToIt) {
  QImage canvas = canvasOf(20, 10, 2);
  Surface s(canvas);
  s.fillRect({-1000000000, -5, 1000000000, 3}, kRed);
  s.moveTo(-50, -50);
  s.lineTo(70, 60);
  s.selectPen(Pen::solid(kBlack, 3));
  s.moveTo(19, 9);
  s.lineTo(400, 400);
  s.textOut(15, 7, "Wide text past the edge");
  s.selectBrush(Brush::none());
  s.ellipse({-30, -30, 50, 50});
  EXPECT_EQ(s.dirtyRect(), (Rect{0, 0, 20, 10}));
  EXPECT_EQ(canvas.pixel(0, 5), kRed);
  EXPECT_EQ(canvas.pixel(0, 6), kGrey);
}

}  // namespace
}  // namespace velmora
