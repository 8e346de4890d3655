// The view on a high-density screen (device pixel ratio 2, set through the
// view's ratio override as a running program cannot change its scale
// factor): a canvas at the device's resolution, the same layout and
// pointer positions as at ratio 1, and a new canvas when the ratio changes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QTest>
#include <memory>

#include "base/system_config.h"
#include "hidpi_view_support.h"
#include "monitor/security_store.h"
#include "monitor_view/monitor_list_painter.h"
#include "shell/velmora_view.h"
#include "support/monitor_test_data.h"
#include "support/qt/qt_test_environment.h"

namespace velmora {
namespace {

constexpr QRgb kBlack = rgb(0, 0, 0);
constexpr QRgb kHairOnBackground = rgb(214, 41, 41);  // cyan xor-ed into the grey

std::unique_ptr<CVelmoraView> chartView(qreal ratio, int width = 900, int height = 640) {
  auto view = std::make_unique<CVelmoraView>();
  view->viewMode = CVelmoraView::kChartMode;
  view->loaded = 1;
  test::FillLoadedChart(view->chart, 200);
  view->overrideDevicePixelRatio(ratio);
  view->resize(width, height);
  view->show();
  QApplication::processEvents();
  view->renderIfNeeded();
  return view;
}

// The pointer moved to `at` over the view (a logical position).
void moveTo(CVelmoraView& view, QPoint at) {
  QMouseEvent move(QEvent::MouseMove, QPointF(at), view.mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&view, &move);
  QApplication::processEvents();
}

// Whether the logical pixel (x, y) of `dense` (at `ratio`) is all `colour`.
bool blockIs(const QImage& dense, int ratio, int x, int y, QRgb colour) {
  for (int dy = 0; dy < ratio; ++dy)
    for (int dx = 0; dx < ratio; ++dx)
      if (dense.pixel(x * ratio + dx, y * ratio + dy) != colour) return false;
  return true;
}

TEST(HighDensityView, ChartCanvasIsAtTheDeviceResolutionWithTheSameLayout) {
  auto one = chartView(1);
  auto two = chartView(2);
  EXPECT_EQ(two->canvasRatio(), 2);
  EXPECT_EQ(two->canvas().size(), QSize(1800, 1280));
  EXPECT_EQ(two->canvas().devicePixelRatio(), 2.0);
  EXPECT_EQ(two->clientWidth, 900);
  EXPECT_EQ(two->chart.clientHeight, 640);
  EXPECT_EQ(two->chart.axisWidth, one->chart.axisWidth);
  EXPECT_EQ(two->chart.priceBottom, one->chart.priceBottom);
  EXPECT_DOUBLE_EQ(two->chart.barSpacing, one->chart.barSpacing);
  // The frame's corner and edges, the panels' separators: whole blocks.
  const ChartViewModel& m = one->chart;
  for (const QPoint& p : {QPoint(m.plotRight(), m.topMargin), QPoint(m.plotRight() / 2, m.frameBottom() - 1),
                          QPoint(m.plotRight() / 3, m.volumeTop), QPoint(m.plotRight() / 3, m.stochTop)}) {
    const QRgb c = one->canvas().pixel(p);
    EXPECT_TRUE(blockIs(two->canvas(), 2, p.x(), p.y(), c)) << p.x() << "," << p.y();
  }
  EXPECT_TRUE(blockIs(two->canvas(), 2, m.plotRight(), m.topMargin, kBlack));
}

TEST(HighDensityView, PointerPositionsStayLogical) {
  auto one = chartView(1);
  auto two = chartView(2);
  const ChartViewModel& m = one->chart;
  const QPoint at(m.plotRight() / 2 + 3, (m.topMargin + m.priceBottom) / 2);
  moveTo(*one, at);
  moveTo(*two, at);
  EXPECT_EQ(two->chart.lastPointerX, at.x());
  EXPECT_EQ(two->chart.lastPointerY, at.y());
  // The vertical hair, low in the RSI panel's background, is the same
  // column of blocks at both ratios.
  const int y = m.rsiTop + 3;
  ASSERT_EQ(one->canvas().pixel(at.x(), y), kHairOnBackground);
  EXPECT_TRUE(blockIs(two->canvas(), 2, at.x(), y, kHairOnBackground));
  EXPECT_FALSE(blockIs(two->canvas(), 2, at.x() + 1, y, kHairOnBackground));
  // Moving on takes it away again and draws it anew, block for block as
  // at ratio 1.
  moveTo(*one, at + QPoint(40, 0));
  moveTo(*two, at + QPoint(40, 0));
  for (int x : {at.x(), at.x() + 40})
    EXPECT_TRUE(blockIs(two->canvas(), 2, x, y, one->canvas().pixel(x, y))) << x;
  EXPECT_NE(one->canvas().pixel(at.x(), y), kHairOnBackground);
}

TEST(HighDensityView, ARatioChangeMakesANewCanvasAndRepaints) {
  auto view = chartView(1);
  ASSERT_EQ(view->canvas().size(), QSize(900, 640));
  int paints = view->fullPaints();
  view->overrideDevicePixelRatio(2);  // as when moved to a denser screen
  view->renderIfNeeded();
  EXPECT_EQ(view->canvas().size(), QSize(1800, 1280));
  EXPECT_GT(view->fullPaints(), paints);
  EXPECT_EQ(view->clientWidth, 900);
  EXPECT_TRUE(blockIs(view->canvas(), 2, view->chart.plotRight(), view->chart.topMargin, kBlack));
  // A fraction draws at the next whole ratio; the blit scales it down.
  paints = view->fullPaints();
  view->overrideDevicePixelRatio(1.5);
  view->renderIfNeeded();
  EXPECT_EQ(view->canvasRatio(), 2);
  EXPECT_EQ(view->fullPaints(), paints) << "same canvas ratio: nothing to redo";
  view->overrideDevicePixelRatio(1);
  view->renderIfNeeded();
  EXPECT_EQ(view->canvas().size(), QSize(900, 640));
  EXPECT_EQ(view->canvas().devicePixelRatio(), 1.0);
  // The widget still shows its canvas at every ratio.
  view->overrideDevicePixelRatio(2);
  view->renderIfNeeded();
  const QImage shown = view->grab().toImage();
  EXPECT_EQ(shown.pixel(shown.width() * view->chart.plotRight() / 900 - 1, 200), kBlack)
      << "the frame's edge";
}

TEST(HighDensityView, MonitorRowsAndTheRowFrameAreWholeBlocks) {
  SecurityStore store;
  SystemConfig config;
  test::fillStore(store, test::numberedSymbols(12));
  ViewContext context;
  context.store = &store;
  context.config = &config;
  CVelmoraView one(context), two(context);
  one.overrideDevicePixelRatio(1);  // whatever the screen
  two.overrideDevicePixelRatio(2);
  for (CVelmoraView* v : {&one, &two}) {
    v->resize(1600, 8 + 11 * 15);
    v->show();
    QApplication::processEvents();
    v->renderIfNeeded();
  }
  EXPECT_EQ(two.rowCount, one.rowCount);
  EXPECT_EQ(two.lineHeight, one.lineHeight);
  EXPECT_EQ(two.canvas().size(), QSize(3200, 2 * (8 + 11 * 15)));
  // The selected row's red frame, pixel by pixel.
  const Rect frame = ListRowFrame(one.lineHeight, one.selectedRow, one.clientWidth);
  int framePixels = 0;
  for (int y = frame.top; y < frame.bottom; ++y)
    for (int x = frame.left; x < frame.right; ++x)
      if (one.canvas().pixel(x, y) == test::kRed &&
          (y == frame.top || y == frame.bottom - 1 || x == frame.left || x == frame.right - 1)) {
        ++framePixels;
        ASSERT_TRUE(blockIs(two.canvas(), 2, x, y, test::kRed)) << x << "," << y;
      }
  EXPECT_GT(framePixels, 1000);
}

// With QT_SCALE_FACTOR=2 the screen's own ratio is 2: this test runs itself
// again in a program started that way, where the view draws at ratio 2
// without any override, and the snapshot keeps the device's pixels.
TEST(HighDensityView, AProgramStartedWithScaleFactorTwoDrawsAtTwice) {
  if (qgetenv("QT_SCALE_FACTOR") == "2") {
    auto view = chartView(0, 500, 560);
    EXPECT_EQ(view->devicePixelRatioF(), 2.0);
    EXPECT_EQ(view->canvasRatio(), 2);
    EXPECT_EQ(view->canvas().size(), QSize(1000, 1120));
    EXPECT_EQ(view->chart.clientWidth, 500);
    EXPECT_TRUE(blockIs(view->canvas(), 2, view->chart.plotRight(), view->chart.topMargin, kBlack));
    const QImage shown = view->grab().toImage();
    EXPECT_EQ(shown.size(), QSize(1000, 1120)) << "shown at the device's resolution";
    return;
  }
  QProcess child;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_SCALE_FACTOR", "2");
  child.setProcessEnvironment(environment);
  child.setProcessChannelMode(QProcess::MergedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {"--gtest_filter=HighDensityView.AProgramStartedWithScaleFactorTwoDrawsAtTwice"});
  ASSERT_TRUE(child.waitForFinished(60000));
  const QByteArray output = child.readAll();
  EXPECT_EQ(child.exitCode(), 0) << output.constData();
  EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
}

}  // namespace
}  // namespace velmora
