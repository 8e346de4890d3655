#include "app/ui/window_state.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSettings>
#include <algorithm>
#include <iterator>

#include "app/ui/main_frame.h"
#include "app/ui/velmora_view.h"
#include "monitor/security_store.h"

namespace velmora {

namespace {

// More charts than anyone keeps open: a damaged file can not open thousands.
constexpr int kMaxRememberedCharts = 64;
// The smallest main window worth restoring.
constexpr int kMinWindowSide = 100;

bool readInt(const QSettings& s, const char* key, int& out) {
  const QVariant v = s.value(QLatin1String(key));
  if (!v.isValid()) return false;
  bool ok = false;
  const int value = v.toString().trimmed().toInt(&ok);
  if (ok) out = value;
  return ok;
}

// A chart key that is missing or unreadable keeps the setting's default.
void readChartInt(const QSettings& s, const char* key, int& out) { (void)readInt(s, key, out); }

void readChartText(const QSettings& s, const char* key, std::string& out) {
  const QVariant v = s.value(QLatin1String(key));
  if (v.isValid()) out = v.toString().toStdString();
}

bool readChart(const QSettings& s, ChartSettings& c) {
  readChartText(s, "Symbol", c.symbol);
  if (c.symbol.empty()) return false;
  readChartInt(s, "Source", c.source);
  readChartText(s, "FilePath", c.filePath);
  readChartText(s, "Style", c.style);
  readChartText(s, "Duration", c.duration);
  readChartText(s, "StartDate", c.startDate);
  readChartText(s, "EndDate", c.endDate);
  readChartText(s, "Period", c.period);
  if (c.period != "Daily" && c.period != "Weekly" && c.period != "Monthly") return false;
  if (c.source != 0 && c.source != 1) return false;
  readChartInt(s, "ShowVolume", c.showVolume);
  readChartInt(s, "ShowRsi", c.showRsi);
  readChartInt(s, "RsiPeriod", c.rsiPeriod);
  readChartInt(s, "ShowMacd", c.showMacd);
  readChartInt(s, "ShowStochastics", c.showStochastics);
  readChartInt(s, "StochFirst", c.stochFirst);
  readChartInt(s, "StochSecond", c.stochSecond);
  readChartInt(s, "StochThird", c.stochThird);
  readChartInt(s, "ShowEma", c.showEma);
  for (int i = 0; i < static_cast<int>(std::size(c.emaPeriods)); ++i) {
    const std::string key = "Ema" + std::to_string(i + 1);
    readChartInt(s, key.c_str(), c.emaPeriods[i]);
  }
  readChartInt(s, "ShowBacktest", c.showBacktest);
  return true;
}

void writeChart(QSettings& s, const ChartSettings& c) {
  auto text = [](const std::string& t) { return QString::fromStdString(t); };
  s.setValue("Symbol", text(c.symbol));
  s.setValue("Source", c.source);
  s.setValue("FilePath", text(c.filePath));
  s.setValue("Style", text(c.style));
  s.setValue("Duration", text(c.duration));
  s.setValue("StartDate", text(c.startDate));
  s.setValue("EndDate", text(c.endDate));
  s.setValue("Period", text(c.period));
  s.setValue("ShowVolume", c.showVolume);
  s.setValue("ShowRsi", c.showRsi);
  s.setValue("RsiPeriod", c.rsiPeriod);
  s.setValue("ShowMacd", c.showMacd);
  s.setValue("ShowStochastics", c.showStochastics);
  s.setValue("StochFirst", c.stochFirst);
  s.setValue("StochSecond", c.stochSecond);
  s.setValue("StochThird", c.stochThird);
  s.setValue("ShowEma", c.showEma);
  for (int i = 0; i < static_cast<int>(std::size(c.emaPeriods)); ++i)
    s.setValue(QString::fromLatin1("Ema%1").arg(i + 1), c.emaPeriods[i]);
  s.setValue("ShowBacktest", c.showBacktest);
}

// True when some part of `r` lies on a screen the desktop has now.
bool onSomeScreen(const QRect& r) {
  for (const QScreen* screen : QGuiApplication::screens())
    if (screen->availableGeometry().intersects(r)) return true;
  return false;
}

}  // namespace

bool ReadWindowState(const QString& path, WindowState& state) {
  if (!QFileInfo(path).isFile()) return false;
  QSettings s(path, QSettings::IniFormat);
  if (s.status() != QSettings::NoError) return false;
  WindowState read;
  int x = 0, y = 0, width = 0, height = 0, maximized = 0;
  if (!readInt(s, "MainWindow/X", x) || !readInt(s, "MainWindow/Y", y) ||
      !readInt(s, "MainWindow/Width", width) || !readInt(s, "MainWindow/Height", height) ||
      !readInt(s, "MainWindow/Maximized", maximized))
    return false;
  if (width < kMinWindowSide || height < kMinWindowSide) return false;
  read.geometry = QRect(x, y, width, height);
  read.maximized = maximized != 0;
  if (!readInt(s, "Monitor/TopRow", read.topRow) || read.topRow < 0) read.topRow = 0;
  const int charts = std::min(s.beginReadArray("Charts"), kMaxRememberedCharts);
  for (int i = 0; i < charts; ++i) {
    s.setArrayIndex(i);
    ChartSettings chart;
    if (readChart(s, chart)) read.charts.push_back(std::move(chart));
  }
  s.endArray();
  state = std::move(read);
  return true;
}

bool WriteWindowState(const QString& path, const WindowState& state) {
  QSettings s(path, QSettings::IniFormat);
  s.clear();
  s.setValue("MainWindow/X", state.geometry.x());
  s.setValue("MainWindow/Y", state.geometry.y());
  s.setValue("MainWindow/Width", state.geometry.width());
  s.setValue("MainWindow/Height", state.geometry.height());
  s.setValue("MainWindow/Maximized", state.maximized ? 1 : 0);
  s.setValue("Monitor/TopRow", state.topRow);
  s.beginWriteArray("Charts", static_cast<int>(state.charts.size()));
  for (int i = 0; i < static_cast<int>(state.charts.size()); ++i) {
    s.setArrayIndex(i);
    writeChart(s, state.charts[static_cast<size_t>(i)]);
  }
  s.endArray();
  s.sync();
  return s.status() == QSettings::NoError;
}

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
  if (onSomeScreen(state.geometry)) frame.setGeometry(state.geometry);
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
