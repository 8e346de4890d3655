#pragma once

// Opening chart windows: the chart-setting command and the direct chart of
// a listed security, and the texts a chart window shows while it loads.

#include <string>

#include "chart_data/chart_load_failure.h"
#include "core/chart_data.h"
#include "core/chart_settings.h"
#include "shell/velmora_view.h"

class QWidget;

namespace velmora {

class CMainFrame;
class ChartSettingPages;

// A new child window of `frame` whose view is in chart mode with
// `settings`; it loads its data on its first paint. `securityIndex` is the
// monitored security it was opened for (-1 for none). A symbol that is a
// listed security's query symbol or shown name (DJIA), in any letter case,
// charts that security under its shown name. Null when the window could not
// be made.
CVelmoraView* OpenChartWindow(CMainFrame& frame, const ViewContext& context, int securityIndex,
                              const ChartSettings& settings);

// A chart of the pages' current choices without showing the sheet; a given
// symbol becomes the Symbol page's symbol first.
CVelmoraView* OpenChart(CMainFrame& frame, const ViewContext& context, ChartSettingPages& pages,
                        int securityIndex, const std::string& symbol);

// The "Chart Setting" sheet (a given symbol preset), and on OK a chart of
// what it ends with; null when cancelled.
CVelmoraView* OpenChartSettings(CMainFrame& frame, const ViewContext& context, ChartSettingPages& pages,
                                int securityIndex, const std::string& symbol, QWidget* sheetParent);

// The security's name as the monitor shows it: DJIA for ^DJI.
std::string ChartShownName(const ChartSettings& settings);
// "MSFT - 1 year daily chart": name, duration, period in lower case. A
// chart of chosen dates shows them ("MSFT - 07/24/2026-08/21/2026 daily
// chart"); a chart of a local file says so and, once `data` is loaded,
// shows the period the file holds ("MSFT - local file 01/02/2024-12/04/2026
// daily chart").
std::string ChartWindowTitle(const ChartSettings& settings, const ChartData* data = nullptr);
// "Loading quote for MSFT, please wait ......"
std::string ChartLoadingText(const std::string& symbol);
// The message of a chart whose data could not be loaded. A symbol the
// service does not know (and a file or an answer that could not be read)
// asks the user to check the symbol; a failure of the service names its
// host and what went wrong, and asks to check the network or the service.
std::string ChartLoadFailureText(const std::string& symbol, const ChartLoadFailure& failure = {});

}  // namespace velmora
