#include "shell/window_state_file.h"

#include <QFileInfo>
#include <QSettings>
#include <algorithm>
#include <iterator>

#include "core/quote_bar.h"

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

// The largest place and size taken from a file: beyond any desktop, so a
// larger number is damage (and would overflow a rectangle's arithmetic).
constexpr int kMaxWindowSide = 100000;
constexpr int kMaxWindowOffset = 1000000;

// A chart key that is missing or unreadable keeps the setting's default.
void readChartInt(const QSettings& s, const char* key, int& out) { (void)readInt(s, key, out); }

// An indicator period outside what the chart sheet takes keeps its default.
void readChartPeriod(const QSettings& s, const char* key, int& out) {
  int value = 0;
  if (readInt(s, key, value) && value >= 1 && value <= kHistoryCapacity) out = value;
}

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
  readChartPeriod(s, "RsiPeriod", c.rsiPeriod);
  readChartInt(s, "ShowMacd", c.showMacd);
  readChartInt(s, "ShowStochastics", c.showStochastics);
  readChartPeriod(s, "StochFirst", c.stochFirst);
  readChartPeriod(s, "StochSecond", c.stochSecond);
  readChartPeriod(s, "StochThird", c.stochThird);
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

}  // namespace

bool ReadWindowState(const QString& path, WindowState& state) {
  // A damaged or hostile file is read only when it is a regular file of a
  // size such a file has: a FIFO would block start-up, a huge file cost its
  // size.
  const QFileInfo info(path);
  if (!info.isFile() || info.size() > kMaxWindowStateBytes) return false;
  QSettings s(path, QSettings::IniFormat);
  if (s.status() != QSettings::NoError) return false;
  WindowState read;
  int x = 0, y = 0, width = 0, height = 0, maximized = 0;
  if (!readInt(s, "MainWindow/X", x) || !readInt(s, "MainWindow/Y", y) ||
      !readInt(s, "MainWindow/Width", width) || !readInt(s, "MainWindow/Height", height) ||
      !readInt(s, "MainWindow/Maximized", maximized))
    return false;
  if (width < kMinWindowSide || height < kMinWindowSide || width > kMaxWindowSide ||
      height > kMaxWindowSide || x < -kMaxWindowOffset || x > kMaxWindowOffset || y < -kMaxWindowOffset ||
      y > kMaxWindowOffset)
    return false;
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

std::optional<QRect> FitToScreens(const QRect& geometry, const QList<QRect>& screens) {
  // The screen that holds most of the window; none: the window is on no
  // screen the desktop has now.
  const QRect* best = nullptr;
  long long bestArea = 0;
  for (const QRect& screen : screens) {
    const QRect common = screen.intersected(geometry);
    const long long area = common.isEmpty() ? 0 : static_cast<long long>(common.width()) * common.height();
    if (area > bestArea) {
      bestArea = area;
      best = &screen;
    }
  }
  if (best == nullptr || best->isEmpty()) return std::nullopt;
  // No larger than that screen. Where it was stays while enough of it is on
  // the screen to take hold of; otherwise it comes wholly onto the screen.
  const int width = std::min(geometry.width(), best->width());
  const int height = std::min(geometry.height(), best->height());
  const QRect shrunk(geometry.x(), geometry.y(), width, height);
  const QRect held = best->intersected(shrunk);
  if (held.width() >= kMinWindowSide && held.height() >= kMinWindowSide) return shrunk;
  const int x = std::clamp(geometry.x(), best->left(), best->left() + best->width() - width);
  const int y = std::clamp(geometry.y(), best->top(), best->top() + best->height() - height);
  return QRect(x, y, width, height);
}

}  // namespace velmora
