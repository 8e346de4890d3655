#pragma once

#include <memory>

#include "chart/chart_model.h"

namespace velmora::bench {

// Fonts need a GUI application: one is made on first use (offscreen unless
// a platform is chosen) and shared by every benchmark of the program.
void EnsureGuiApplication();

// A three-year daily chart: 1095 weekday bars with swings, computed by the
// engine, bars 1 to 1094 visible, every panel shown, laid out for a
// width x height client area (not yet painted).
std::unique_ptr<ChartViewModel> ThreeYearChart(int width, int height);

}  // namespace velmora::bench
