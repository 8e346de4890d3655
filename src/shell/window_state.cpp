#include "shell/window_state.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <algorithm>

#include "monitor/security_store.h"
#include "shell/main_frame.h"
#include "shell/velmora_view.h"

namespace velmora {

namespace {

// The available areas of the screens the desktop has now.
QList<QRect> screenAreas() {
  QList<QRect> areas;
  for (const QScreen* screen : QGuiApplication::screens()) areas << screen->availableGeometry();
  return areas;
}

}  // namespace

WindowState CaptureWindowState(const CMainFrame& frame, const CVelmoraView* monitor) {
  WindowState state;
  state.geometry = frame.normalGeometry();
  state.maximized = frame.isMaximized();
  if (monitor != nullptr) state.topRow = monitor->topRow;
  for (QMdiSubWindow* w : frame.mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
    const auto* view = qobject_cast<const CVelmoraView*>(w->widget());
    if (view != nullptr && view->viewMode == CVelmoraView::kChartMode)
      state.charts.push_back(view->chart.settings);
  }
  return state;
}

void ApplyWindowPlacement(CMainFrame& frame, const WindowState& state) {
  if (const std::optional<QRect> fitted = FitToScreens(state.geometry, screenAreas()))
    frame.setGeometry(*fitted);
}

void ShowRestoredFrame(CMainFrame& frame, const WindowState& state) {
  if (state.maximized)
    frame.showMaximized();
  else
    frame.show();
}

void RestoreMonitorScroll(CVelmoraView& monitor, const WindowState& state) {
  const SecurityStore& store =
      monitor.context().store != nullptr ? *monitor.context().store : securityStore();
  // A list that has shrunk since keeps its last row in view.
  monitor.topRow = std::clamp(state.topRow, 0, std::max(store.count() - 1, 0));
  monitor.invalidate();
}

void ReopenCharts(const WindowState& state, const std::function<void(const ChartSettings&)>& openChart) {
  for (const ChartSettings& chart : state.charts) openChart(chart);
}

}  // namespace velmora
