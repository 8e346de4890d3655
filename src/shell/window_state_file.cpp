#include "shell/window_state_file.h"

#include <QFileInfo>
#include <QSettings>
#include <algorithm>
#include <climits>
#include <iterator>
#include <type_traits>

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

// One key of a remembered chart. A key that is missing or unreadable keeps
// the setting's default; a number outside [min, max] does too.
struct ChartKey {
  const char* key;
  std::string ChartSettings::*text;  // a text, or
  int ChartSettings::*number;        // a number, or
  int ema;                           // emaPeriods[ema] when 0 or more
  int min;
  int max;
};

constexpr int kAny = INT_MAX;

constexpr ChartKey textKey(const char* key, std::string ChartSettings::*member) {
  return {key, member, nullptr, -1, 0, 0};
}
constexpr ChartKey intKey(const char* key, int ChartSettings::*member) {
  return {key, nullptr, member, -1, -kAny, kAny};
}
// An indicator period: what the chart sheet takes.
constexpr ChartKey periodKey(const char* key, int ChartSettings::*member) {
  return {key, nullptr, member, -1, 1, kHistoryCapacity};
}
constexpr ChartKey emaKey(const char* key, int index) { return {key, nullptr, nullptr, index, -kAny, kAny}; }

// The keys of each chart in Velmora.state, in the order they are written.
constexpr ChartKey kChartKeys[] = {
    textKey("Symbol", &ChartSettings::symbol),
    intKey("Source", &ChartSettings::source),
    textKey("FilePath", &ChartSettings::filePath),
    textKey("Style", &ChartSettings::style),
    textKey("Duration", &ChartSettings::duration),
    textKey("StartDate", &ChartSettings::startDate),
    textKey("EndDate", &ChartSettings::endDate),
    textKey("Period", &ChartSettings::period),
    intKey("ShowVolume", &ChartSettings::showVolume),
    intKey("ShowRsi", &ChartSettings::showRsi),
    periodKey("RsiPeriod", &ChartSettings::rsiPeriod),
    intKey("ShowMacd", &ChartSettings::showMacd),
    intKey("ShowStochastics", &ChartSettings::showStochastics),
    periodKey("StochFirst", &ChartSettings::stochFirst),
    periodKey("StochSecond", &ChartSettings::stochSecond),
    periodKey("StochThird", &ChartSettings::stochThird),
    intKey("ShowEma", &ChartSettings::showEma),
    emaKey("Ema1", 0),
    emaKey("Ema2", 1),
    emaKey("Ema3", 2),
    emaKey("Ema4", 3),
    emaKey("Ema5", 4),
    intKey("ShowBacktest", &ChartSettings::showBacktest),
};
static_assert(std::extent_v<decltype(ChartSettings::emaPeriods)> == 5, "one Ema key per average");

int& numberOf(const ChartKey& k, ChartSettings& c) {
  return k.number != nullptr ? c.*k.number : c.emaPeriods[k.ema];
}
int numberOf(const ChartKey& k, const ChartSettings& c) {
  return k.number != nullptr ? c.*k.number : c.emaPeriods[k.ema];
}

// False when the chart can not be shown: no symbol, or a period or source
// the chart does not know.
bool readChart(const QSettings& s, ChartSettings& c) {
  for (const ChartKey& k : kChartKeys) {
    if (k.text != nullptr) {
      const QVariant v = s.value(QLatin1String(k.key));
      if (v.isValid()) c.*k.text = v.toString().toStdString();
      continue;
    }
    int value = 0;
    if (readInt(s, k.key, value) && value >= k.min && value <= k.max) numberOf(k, c) = value;
  }
  if (c.symbol.empty()) return false;
  if (c.period != "Daily" && c.period != "Weekly" && c.period != "Monthly") return false;
  return c.source == 0 || c.source == 1;
}

void writeChart(QSettings& s, const ChartSettings& c) {
  for (const ChartKey& k : kChartKeys) {
    if (k.text != nullptr)
      s.setValue(QLatin1String(k.key), QString::fromStdString(c.*k.text));
    else
      s.setValue(QLatin1String(k.key), numberOf(k, c));
  }
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
