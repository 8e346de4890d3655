// Windows a user cannot shrink below what their panels need: the monitor
// keeps its header and one row, a chart its margins, its shown indicator
// panels and a usable price panel, the main window room for the monitor;
// and a chart view at any size, down to one pixel, paints without failing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QStyle>
#include <QTest>
#include <memory>

#include "base/system_config.h"
#include "chart/chart_model.h"
#include "hidpi_view_support.h"
#include "monitor/security_store.h"
#include "shell/child_frame.h"
#include "shell/main_frame.h"
#include "shell/velmora_view.h"
#include "support/monitor_test_data.h"
#include "support/qt/qt_test_environment.h"

namespace velmora {
namespace {

class MinimumSizes : public ::testing::Test {
 protected:
  void SetUp() override {
    test::fillStore(store_, test::numberedSymbols(8));
    context_.store = &store_;
    context_.config = &config_;
    frame_.resize(1000, 800);
    frame_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame_));
  }

  CVelmoraView* openMonitor() {
    auto* view = new CVelmoraView(context_);
    monitorWindow_ = frame_.openChild(view);
    return view;
  }

  CVelmoraView* openChart(bool allPanels) {
    auto* view = new CVelmoraView(context_);
    view->viewMode = CVelmoraView::kChartMode;
    view->loaded = 1;
    test::FillLoadedChart(view->chart, 150);
    if (!allPanels) view->chart.settings.showMacd = view->chart.settings.showStochastics = 0;
    chartWindow_ = frame_.openChild(view);
    QApplication::processEvents();
    view->renderIfNeeded();
    return view;
  }

  SecurityStore store_;
  SystemConfig config_;
  ViewContext context_;
  CMainFrame frame_;
  QMdiSubWindow* monitorWindow_ = nullptr;
  QMdiSubWindow* chartWindow_ = nullptr;
};

TEST_F(MinimumSizes, TheMonitorKeepsItsHeaderAndOneRow) {
  CVelmoraView* view = openMonitor();
  const int bar = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view);
  const QSize least = view->minimumSizeHint();
  EXPECT_EQ(least.height(), 8 + 2 * view->lineHeight + bar);
  EXPECT_GT(least.width(), 20 * view->digitWidth);
  // At that height a row is drawn, with the scroll bar a narrow list shows.
  view->resize(least);
  QApplication::processEvents();
  view->renderIfNeeded();
  EXPECT_EQ(view->rowCount, 1);
  // The window around it and the main window's client area hold it.
  EXPECT_GE(monitorWindow_->minimumSizeHint().width(), least.width());
  EXPECT_GE(monitorWindow_->minimumSizeHint().height(), least.height());
  EXPECT_GE(frame_.mdiArea()->minimumWidth(), monitorWindow_->minimumSizeHint().width());
  // The main window cannot be made smaller than that.
  frame_.resize(50, 50);
  QApplication::processEvents();
  EXPECT_GE(frame_.mdiArea()->width(), monitorWindow_->minimumSizeHint().width());
  EXPECT_GE(frame_.mdiArea()->height(), monitorWindow_->minimumSizeHint().height());
}

TEST_F(MinimumSizes, AChartWindowKeepsEveryShownPanelDrawable) {
  CVelmoraView* all = openChart(true);
  const ChartViewModel& m = all->chart;
  const QSize least = all->minimumSizeHint();
  EXPECT_GE(least.height(), m.topMargin + m.bottomMargin + 4 * kPanelHeight + m.priceTopInset +
                                m.priceBottomInset + 2 * m.axisTextHeight);
  EXPECT_GE(least.width(), m.axisWidth + 100);
  EXPECT_GE(chartWindow_->minimumSizeHint().height(), least.height());

  CVelmoraView* two = openChart(false);
  EXPECT_EQ(least.height() - two->minimumSizeHint().height(), 2 * kPanelHeight);

  // Opened into a small main window, a chart still gets its least size.
  frame_.resize(300, 260);
  QApplication::processEvents();
  CVelmoraView* small = openChart(true);
  EXPECT_GE(small->width(), least.width());
  EXPECT_GE(small->height(), least.height());
  EXPECT_GT(small->chart.priceScale, 0);

  // Maximised in a main window made as small as it goes, it keeps its size.
  chartWindow_->showMaximized();
  frame_.resize(50, 50);
  QApplication::processEvents();
  small->renderIfNeeded();
  EXPECT_GE(small->height(), least.height());
  EXPECT_GE(small->width(), least.width());
  EXPECT_GT(small->chart.priceScale, 0);
  // Closing the charts gives the main window back its monitor-sized least.
  const int withCharts = frame_.mdiArea()->minimumHeight();
  for (QMdiSubWindow* w : frame_.mdiArea()->subWindowList()) w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  EXPECT_LT(frame_.mdiArea()->minimumHeight(), withCharts);
}

TEST_F(MinimumSizes, DraggingAChartWindowsCornerStopsAtItsLeastSize) {
  openChart(true);
  QMdiSubWindow* w = chartWindow_;
  w->setGeometry(10, 10, 700, 600);
  QApplication::processEvents();
  const QSize least = w->minimumSizeHint();
  // The bottom-right corner: the pointer rests on it, then drags it far
  // up and left.
  auto send = [w](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
  };
  const QPoint corner(w->width() - 2, w->height() - 2);
  send(QEvent::MouseMove, corner, Qt::NoButton, Qt::NoButton);
  send(QEvent::MouseButtonPress, corner, Qt::LeftButton, Qt::LeftButton);
  for (int step = 1; step <= 10; ++step)
    send(QEvent::MouseMove, corner - QPoint(65 * step, 58 * step), Qt::NoButton, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, corner - QPoint(650, 580), Qt::LeftButton, Qt::NoButton);
  QApplication::processEvents();
  EXPECT_LT(w->width(), 700) << "the drag resized the window";
  EXPECT_GE(w->width(), least.width());
  EXPECT_GE(w->height(), least.height());
}

TEST(TinyChartView, EverySizeFromOnePixelPaintsAtBothRatios) {
  for (qreal ratio : {1.0, 2.0}) {
    CVelmoraView view;
    view.viewMode = CVelmoraView::kChartMode;
    view.loaded = 1;
    test::FillLoadedChart(view.chart, 120);
    view.overrideDevicePixelRatio(ratio);
    view.show();
    for (int w = 1; w <= 400; w += 37)
      for (int h = 1; h <= 520; h += 43) {
        view.resize(w, h);
        QApplication::processEvents();
        view.renderIfNeeded();
        ASSERT_EQ(view.canvas().size(), QSize(w, h) * static_cast<int>(ratio));
        ASSERT_EQ(view.chart.clientWidth, w);
        for (const QPoint at : {QPoint(w / 2, h / 2), QPoint(w - 1, h - 1), QPoint(0, 0)}) {
          QMouseEvent move(QEvent::MouseMove, QPointF(at), view.mapToGlobal(QPointF(at)), Qt::NoButton,
                           Qt::NoButton, Qt::NoModifier);
          QApplication::sendEvent(&view, &move);
        }
        ASSERT_EQ(view.chart.lastPointerX, 0);
      }
  }
}

}  // namespace
}  // namespace velmora
