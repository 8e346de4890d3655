// Drawing surface: the primitives the monitor and the charts use most.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "draw/surface.h"

namespace velmora {
namespace {

// A canvas of w x h logical pixels at `ratio` device pixels each way.
QImage makeCanvas(int w, int h, int ratio = 1) {
  QImage canvas(w * ratio, h * ratio, QImage::Format_RGB32);
  canvas.setDevicePixelRatio(ratio);
  canvas.fill(rgb(214, 214, 214));
  return canvas;
}

// The ...Ratio2 variants draw the same on a canvas of device pixel ratio 2.
void shortLines(benchmark::State& state, int ratio) {
  QImage canvas = makeCanvas(1600, 1000, ratio);
  constexpr int kLines = 10000;
  for (auto _ : state) {
    Surface s(canvas);
    s.selectPen(Pen::solid(rgb(0, 0, 255)));
    for (int i = 0; i < kLines; ++i) {
      const int x = (i * 37) % 1580, y = (i * 53) % 980;
      s.moveTo(x, y);
      s.lineTo(x + 3 + i % 17, y + (i % 21) - 10);
    }
    benchmark::DoNotOptimize(canvas.constBits());
  }
  state.SetItemsProcessed(state.iterations() * kLines);
}
void BM_SurfaceShortLines(benchmark::State& state) { shortLines(state, 1); }
void BM_SurfaceShortLinesRatio2(benchmark::State& state) { shortLines(state, 2); }
BENCHMARK(BM_SurfaceShortLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SurfaceShortLinesRatio2)->Unit(benchmark::kMicrosecond);

void textOut(benchmark::State& state, int ratio) {
  bench::EnsureGuiApplication();
  QImage canvas = makeCanvas(1600, 1000, ratio);
  constexpr int kTexts = 1000;
  std::vector<std::string> texts;
  for (int i = 0; i < kTexts; ++i) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%*.2lf", 9, 1234.56 + i * 7.31);
    texts.emplace_back(buffer);
  }
  for (auto _ : state) {
    Surface s(canvas);
    s.selectFont({15, 500, FontPitch::Fixed});
    s.setBackgroundColour(rgb(214, 214, 214));
    s.setTextColour(rgb(0, 144, 0));
    for (int i = 0; i < kTexts; ++i) s.textOut(4 + (i % 16) * 96, 4 + (i / 16) * 15, texts[i]);
    benchmark::DoNotOptimize(canvas.constBits());
  }
  state.SetItemsProcessed(state.iterations() * kTexts);
}
void BM_SurfaceTextOut(benchmark::State& state) { textOut(state, 1); }
void BM_SurfaceTextOutRatio2(benchmark::State& state) { textOut(state, 2); }
BENCHMARK(BM_SurfaceTextOut)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SurfaceTextOutRatio2)->Unit(benchmark::kMicrosecond);

void BM_SurfaceFill1080p(benchmark::State& state) {
  QImage canvas = makeCanvas(1920, 1080);
  for (auto _ : state) {
    Surface s(canvas);
    s.fillRect({0, 0, 1920, 1080}, rgb(214, 214, 214));
    benchmark::DoNotOptimize(canvas.constBits());
  }
  state.SetBytesProcessed(state.iterations() * 1920LL * 1080 * 4);
}
BENCHMARK(BM_SurfaceFill1080p)->Unit(benchmark::kMicrosecond);

// Boxes the size of a monitor field (nine characters of the list font),
// filled plainly (the text boxes) or with the brush in xor mode.
void BM_SurfaceFieldBoxes(benchmark::State& state) {
  const bool xorMode = state.range(0) == 1;
  QImage canvas = makeCanvas(1600, 1000);
  constexpr int kBoxes = 1000;
  for (auto _ : state) {
    Surface s(canvas);
    s.setRasterMode(xorMode ? RasterMode::Xor : RasterMode::Copy);
    s.selectPen(Pen::none());
    s.selectBrush(Brush::solid(rgb(0, 255, 255)));
    for (int i = 0; i < kBoxes; ++i) {
      const Rect box{4 + (i % 21) * 72, 4 + (i / 21) * 15, 4 + (i % 21) * 72 + 72, 4 + (i / 21) * 15 + 15};
      if (xorMode)
        s.rectangle(box);
      else
        s.fillRect(box, rgb(214, 214, 214));
    }
    benchmark::DoNotOptimize(canvas.constBits());
  }
  state.SetItemsProcessed(state.iterations() * kBoxes);
}
BENCHMARK(BM_SurfaceFieldBoxes)->ArgName("xor")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// A pointer move over a chart: take the old cross-hair and price label away,
// draw the new ones.
void BM_SurfacePointerMove(benchmark::State& state) {
  bench::EnsureGuiApplication();
  QImage canvas = makeCanvas(1600, 1000);
  QImage memory = Surface::compatibleImage(128, 128);
  int x = 300, y = 400;
  auto crossHair = [&](Surface& s, int px, int py) {
    s.setRasterMode(RasterMode::Xor);
    const Pen old = s.selectPen(Pen::solid(rgb(0, 255, 255)));
    s.moveTo(0, py);
    s.lineTo(1500, py);
    s.moveTo(px, 20);
    s.lineTo(px, 980);
    s.selectPen(old);
    s.setRasterMode(RasterMode::Copy);
  };
  {
    Surface s(canvas);
    crossHair(s, x, y);
    s.copyToImage({x + 9, y + 1, x + 9 + 60, y + 1 + 22}, memory, {0, 0});
  }
  for (auto _ : state) {
    Surface s(canvas);
    crossHair(s, x, y);
    s.copyFromImage(memory, {0, 0}, {x + 9, y + 1, x + 9 + 60, y + 1 + 22});
    x = 300 + (x + 7) % 900, y = 100 + (y + 5) % 700;
    crossHair(s, x, y);
    s.copyToImage({x + 9, y + 1, x + 9 + 60, y + 1 + 22}, memory, {0, 0});
    s.selectFont({14, 200, FontPitch::Fixed});
    s.textOut(x + 12, y + 4, "1234.56");
    benchmark::DoNotOptimize(s.takeDirtyRect());
  }
}
BENCHMARK(BM_SurfacePointerMove)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora
