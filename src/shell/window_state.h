#pragma once

// The desktop program's own state between runs, taken from its windows and
// put back into them (the file itself: window_state_file.h).

#include <functional>

#include "shell/window_state_file.h"

namespace velmora {

class CMainFrame;
class CVelmoraView;

// What the windows show now: the frame's place, the monitor's top row and
// the settings of every chart window, in the order they were opened.
WindowState CaptureWindowState(const CMainFrame& frame, const CVelmoraView* monitor);
// Puts the frame where `state` says when that place is on a screen, moved
// and shrunk to lie wholly on it (a screen since unplugged leaves the
// settings' place), scrolls the monitor to
// its top row (within the list) and opens each chart through `openChart`.
// Call before the frame is shown; `ShowRestoredFrame` shows it.
void ApplyWindowPlacement(CMainFrame& frame, const WindowState& state);
void ShowRestoredFrame(CMainFrame& frame, const WindowState& state);
void RestoreMonitorScroll(CVelmoraView& monitor, const WindowState& state);
void ReopenCharts(const WindowState& state, const std::function<void(const ChartSettings&)>& openChart);

}  // namespace velmora
