// The real-time monitor: a full paint of a 1600x1000 canvas with every
// column shown (with the list's own widths, and with columns widened to
// indices above 10,000), and one row update, drawn as the view draws them.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "bench_support.h"
#include "draw/surface.h"
#include "monitor/security_store.h"
#include "monitor_view/monitor_list_painter.h"

namespace velmora {
namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1000;

// A full list of securities with every field in use.
std::unique_ptr<SecurityStore> makeStore() {
  auto store = std::make_unique<SecurityStore>();
  for (int i = 0; i < 80; ++i) {
    auto d = std::make_unique<SecurityData>();
    char symbol[16];
    std::snprintf(symbol, sizeof symbol, i % 5 == 0 ? "^IDX%02d" : "SYM%02d", i);
    (void)InitSecurityEntry(*d, symbol, 0);  // fixed, well-formed test symbols
    for (int b = 0; b < 32; ++b) {
      QuoteBar& bar = d->bars[b];
      const double base = 20.0 + i * 37.5 + b * 0.25;
      bar.SetTime("3:59pm");
      bar.open = base;
      bar.high = base + 1.5;
      bar.low = base - 1.25;
      bar.close = base + (i % 3 - 1) * 0.5;
      bar.volume = i % 4 == 0 ? 123456789 : 2345678 + i * 1000;
      bar.volumeAvg50 = 2000000 + i * 3000;
      bar.change = (i % 3 - 1) * 0.5;
      bar.changePercent = bar.change / base * 100;
      bar.toEma10Percent = 1.25 - i * 0.05;
      bar.ema5 = base * 0.99;
      bar.ema10 = base * 0.98;
      bar.ema20 = base * 1.01;
      bar.ema50 = base * 0.95;
      bar.aboveEma5 = 'Y';
      bar.aboveEma10 = 'Y';
      bar.aboveEma20 = 'N';
      bar.aboveEma50 = 'Y';
      bar.rsi = 40 + i % 30;
      bar.stochK = 20 + i % 60;
      bar.stochD = 25 + i % 50;
      bar.SetMark(b % 7 == 1 ? "B" : (b % 11 == 3 ? "S" : ""));
    }
    d->bars.count = 32;
    (void)store->Append(*d);  // fixed, well-formed test symbols
  }
  return store;
}

// What the view's paint entry does in monitor mode.
void fullPaint(QImage& canvas, const SecurityStore& store, const ListMetrics& metrics, int rowCount) {
  Surface s(canvas);
  s.fillRect({0, 0, kWidth, kHeight}, kListBackground);
  s.setBackgroundColour(kListBackground);
  s.setTextColour(kListText);
  s.selectFont(kListFont);
  const MonitorSwitches every;
  PaintMonitorHeader(s, metrics, every);
  PaintMonitorRows(s, metrics, every, store, 0, rowCount);
  s.frameRect(ListRowFrame(metrics.lineHeight, 0, kWidth), kRowFrameColour);
}

void BM_MonitorFullPaint(benchmark::State& state) {
  bench::EnsureGuiApplication();
  const auto store = makeStore();
  QImage canvas(kWidth, kHeight, QImage::Format_RGB32);
  Surface probe(canvas);
  const ListMetrics metrics = MeasureListMetrics(probe);
  const int rowCount = ListRowCount(kHeight, metrics.lineHeight);
  for (auto _ : state) {
    fullPaint(canvas, *store, metrics, rowCount);
    benchmark::DoNotOptimize(canvas.constBits());
  }
  state.counters["rows"] = rowCount;
}
BENCHMARK(BM_MonitorFullPaint)->Unit(benchmark::kMicrosecond);

// The view's full paint with fitted columns: every visible row is read and
// measured first, then the header and rows are drawn in the widened
// columns. Every fifth security is an index in the tens of thousands.
void BM_MonitorFullPaintFitted(benchmark::State& state) {
  bench::EnsureGuiApplication();
  const auto store = makeStore();
  for (int i = 0; i < store->count(); i += 5) {
    auto d = std::make_unique<SecurityData>();
    (void)store->Read(i, *d);  // every index of the bench's store exists
    for (int b = 0; b < 32; ++b) {
      QuoteBar& bar = d->bars[b];
      bar.open = bar.high = bar.low = bar.close = 25885.88 + i;
      bar.ema5 = bar.ema10 = bar.ema20 = bar.ema50 = 125885.88 + i;
      bar.changePercent = -12.5;
    }
    store->entry(i).PublishHistory(*d);
  }
  QImage canvas(kWidth, kHeight, QImage::Format_RGB32);
  Surface probe(canvas);
  const ListMetrics metrics = MeasureListMetrics(probe);
  const int rowCount = ListRowCount(kHeight, metrics.lineHeight);
  const MonitorSwitches every;
  std::vector<int> order;  // the list's own order
  for (auto _ : state) {
    MonitorColumns columns;
    auto copy = std::make_unique<SecurityData>();
    for (int r = 0; r < rowCount && r < store->count(); ++r)
      if (store->Read(r, *copy)) FitMonitorRow(columns, *copy);
    Surface s(canvas);
    s.fillRect({0, 0, kWidth, kHeight}, kListBackground);
    s.setBackgroundColour(kListBackground);
    s.setTextColour(kListText);
    s.selectFont(kListFont);
    PaintMonitorHeader(s, metrics, every, columns);
    PaintMonitorRows(s, metrics, every, *store, 0, rowCount, kListText, columns, &order);
    s.frameRect(ListRowFrame(metrics.lineHeight, 0, kWidth), kRowFrameColour);
    benchmark::DoNotOptimize(canvas.constBits());
    state.counters["line_chars"] = columns.lineWidth(every);
  }
  state.counters["rows"] = rowCount;
}
BENCHMARK(BM_MonitorFullPaintFitted)->Unit(benchmark::kMicrosecond);

// What the view does for a loader's notice about a visible row: a
// consistent copy of the entry, the row's band cleared, the row drawn.
void BM_MonitorRowUpdate(benchmark::State& state) {
  bench::EnsureGuiApplication();
  const auto store = makeStore();
  QImage canvas(kWidth, kHeight, QImage::Format_RGB32);
  Surface probe(canvas);
  const ListMetrics metrics = MeasureListMetrics(probe);
  fullPaint(canvas, *store, metrics, ListRowCount(kHeight, metrics.lineHeight));
  int index = 0;
  for (auto _ : state) {
    const int row = 1 + index % 40;
    auto copy = std::make_unique<SecurityData>();
    (void)store->Read(row, *copy);  // every row of the bench's store exists
    Surface s(canvas);
    s.setBackgroundColour(kListBackground);
    s.setTextColour(kListText);
    s.selectFont(kListFont);
    s.fillRect({0, ListTextTop(metrics.lineHeight, row), kWidth, ListTextTop(metrics.lineHeight, row + 1)},
               kListBackground);
    PaintMonitorRow(s, metrics, {}, row, *copy);
    benchmark::DoNotOptimize(s.dirtyRect());
    ++index;
  }
}
BENCHMARK(BM_MonitorRowUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace velmora
