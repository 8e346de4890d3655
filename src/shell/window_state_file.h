#pragma once

// The file "Velmora.state" beside Config.ini, which keeps its own layout:
// the main window's place and size (or that it was maximised), the
// monitor's first shown row and the chart windows that were open. Reading
// it needs no windows, so a damaged file can be tried without them.

#include <QList>
#include <QRect>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/chart_settings.h"

namespace velmora {

inline constexpr char kWindowStateFileName[] = "Velmora.state";
// A state file is a few kilobytes; anything past this is not one.
inline constexpr std::int64_t kMaxWindowStateBytes = 1024 * 1024;

struct WindowState {
  QRect geometry;  // the main window's normal (not maximised) place and size
  bool maximized = false;
  int topRow = 0;                     // the monitor's first shown row
  std::vector<ChartSettings> charts;  // open chart windows, oldest first
};

// False for a missing, unreadable or malformed file, or one whose window
// size makes no sense; `state` is then left as it was.
[[nodiscard]] bool ReadWindowState(const QString& path, WindowState& state);
// Writes the whole file again; false when it could not be written.
[[nodiscard]] bool WriteWindowState(const QString& path, const WindowState& state);

// `geometry` shrunk to the screen (of `screens`, their available areas)
// that holds most of it, and moved onto it when too little of it would be
// left there to take hold of; none when it lies on no screen.
std::optional<QRect> FitToScreens(const QRect& geometry, const QList<QRect>& screens);

}  // namespace velmora
