// Velmora.state as a damaged or hostile file may hold it: read, its window
// fitted to two screens, and every value the windows would take in bounds.

#include <QRect>
#include <QString>
#include <cstdio>
#include <string>

#include "core/quote_bar.h"
#include "fuzz_support.h"
#include "shell/window_state_file.h"

using namespace velmora;

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::WorkDir();
  // A name of its own each time: Qt's settings reader keeps what it read of
  // a file for as long as the file looks unchanged to it.
  static unsigned long long serial = 0;
  const std::string path = "Velmora-" + std::to_string(++serial) + ".state";
  fuzz::WriteInput(path.c_str(), data, size);
  WindowState state;
  const bool read = ReadWindowState(QString::fromStdString(path), state);
  std::remove(path.c_str());
  if (!read) return 0;
  check(state.geometry.width() >= 100 && state.geometry.width() <= 100000);
  check(state.geometry.height() >= 100 && state.geometry.height() <= 100000);
  check(state.topRow >= 0);
  check(state.charts.size() <= 64);
  for (const ChartSettings& c : state.charts) {
    check(!c.symbol.empty());
    check(c.source == 0 || c.source == 1);
    check(c.period == "Daily" || c.period == "Weekly" || c.period == "Monthly");
    for (const int period : {c.rsiPeriod, c.stochFirst, c.stochSecond, c.stochThird})
      check(period >= 1 && period <= kHistoryCapacity);
  }
  const QList<QRect> screens = {QRect(0, 0, 1920, 1080), QRect(1920, -200, 1280, 1024)};
  if (const std::optional<QRect> fitted = FitToScreens(state.geometry, screens)) {
    // No larger than a screen, and enough of it on one to take hold of.
    bool held = false;
    for (const QRect& screen : screens) {
      const QRect common = screen.intersected(*fitted);
      held = held || (fitted->width() <= screen.width() && fitted->height() <= screen.height() &&
                      common.width() >= 100 && common.height() >= 100);
    }
    check(held);
  }
  return 0;
}
