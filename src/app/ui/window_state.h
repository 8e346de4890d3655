#pragma once

// The desktop program's own state between runs: the main window's place and
// size (or that it was maximised), the monitor's first shown row and the
// chart windows that were open. It lives in "Velmora.state" beside
// Config.ini, which keeps its own layout.

#include <QRect>
#include <QString>
#include <functional>
#include <vector>

#include "core/chart_settings.h"

namespace velmora {

class CMainFrame;
class CVelmoraView;

inline constexpr char kWindowStateFileName[] = "Velmora.state";

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

// What the windows show now: the frame's place, the monitor's top row and
// the settings of every chart window, in the order they were opened.
WindowState CaptureWindowState(const CMainFrame& frame, const CVelmoraView* monitor);
// Puts the frame where `state` says when that place is on a screen (a
// screen since unplugged leaves the settings' place), scrolls the monitor to
// its top row (within the list) and opens each chart through `openChart`.
// Call before the frame is shown; `ShowRestoredFrame` shows it.
void ApplyWindowPlacement(CMainFrame& frame, const WindowState& state);
void ShowRestoredFrame(CMainFrame& frame, const WindowState& state);
void RestoreMonitorScroll(CVelmoraView& monitor, const WindowState& state);
void ReopenCharts(const WindowState& state, const std::function<void(const ChartSettings&)>& openChart);

}  // namespace velmora
