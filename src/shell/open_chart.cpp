#include "shell/open_chart.h"

#include <strings.h>

#include <cctype>
#include <cstdio>
#include <memory>

#include "chart/chart_setting_sheet.h"
#include "core/chart_dates.h"
#include "monitor/security_store.h"
#include "shell/child_frame.h"
#include "shell/main_frame.h"

namespace velmora {

namespace {

// The listed security a chart's symbol names, in any letter case: the one
// asked for by that symbol, else the one shown by that name (DJIA for ^DJI).
const SecurityEntry* listedSecurity(const SecurityStore& store, const std::string& symbol) {
  for (int i = 0; i < store.count(); ++i)
    if (strcasecmp(store.entry(i).querySymbol(), symbol.c_str()) == 0) return &store.entry(i);
  for (int i = 0; i < store.count(); ++i)
    if (strcasecmp(store.entry(i).displaySymbol(), symbol.c_str()) == 0) return &store.entry(i);
  return nullptr;
}

// A chart of a monitored security, whichever way it was opened and by
// either of its names, asks for that security and takes its name and index
// flag.
void nameAfterMonitoredSecurity(const SecurityStore& store, ChartSettings& settings) {
  const SecurityEntry* entry = listedSecurity(store, settings.symbol);
  if (entry == nullptr) return;
  if (strcasecmp(entry->querySymbol(), settings.symbol.c_str()) != 0) settings.symbol = entry->querySymbol();
  settings.displayName = entry->displaySymbol();
  settings.isIndex = entry->isIndex() ? 1 : 0;
}

}  // namespace

CVelmoraView* OpenChartWindow(CMainFrame& frame, const ViewContext& context, int securityIndex,
                              const ChartSettings& settings) {
  auto view = std::make_unique<CVelmoraView>(context);
  view->viewMode = CVelmoraView::kChartMode;
  view->selectedRow = securityIndex;
  view->loaded = 0;
  view->chart.settings = settings;
  view->chart.settings.displayName.clear();
  view->chart.settings.isIndex = -1;
  // Dates typed backwards are charted (and titled) the right way round.
  (void)OrderSettingsDates(view->chart.settings.startDate, view->chart.settings.endDate);
  nameAfterMonitoredSecurity(context.store != nullptr ? *context.store : securityStore(),
                             view->chart.settings);
  if (frame.openChild(view.get()) == nullptr) return nullptr;
  // The child frame owns the view now.
  return view.release();
}

CVelmoraView* OpenChart(CMainFrame& frame, const ViewContext& context, ChartSettingPages& pages,
                        int securityIndex, const std::string& symbol) {
  if (!symbol.empty()) pages.symbolPage().SetSymbol(symbol);
  return OpenChartWindow(frame, context, securityIndex, pages.settings());
}

CVelmoraView* OpenChartSettings(CMainFrame& frame, const ViewContext& context, ChartSettingPages& pages,
                                int securityIndex, const std::string& symbol, QWidget* sheetParent) {
  SystemConfig& config = context.config != nullptr ? *context.config : systemConfig();
  const std::optional<ChartSettings> chosen = OpenChartSettings(pages, symbol, sheetParent, config);
  if (!chosen) return nullptr;
  return OpenChartWindow(frame, context, securityIndex, *chosen);
}

namespace {

constexpr int kLocalFileSource = 1;

// "mm/dd/yyyy" of a bar's date; empty when it has none.
std::string titleDate(const QuoteBar& bar) {
  const int key = bar.DateKey();
  if (key <= 0) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", key / 100 % 100, key % 100, key / 10000);
  return text;
}

// What the title says of the chart's span of time.
std::string titleSpan(const ChartSettings& settings, const ChartData* data) {
  if (settings.source == kLocalFileSource) {
    if (data == nullptr || data->barCount() == 0) return "local file";
    const std::string oldest = titleDate(data->bars[data->barCount() - 1]);
    const std::string newest = titleDate(data->bars[0]);
    if (oldest.empty() || newest.empty()) return "local file";
    return "local file " + oldest + "-" + newest;
  }
  if (settings.duration == kCustomizeDuration && !settings.startDate.empty() && !settings.endDate.empty())
    return settings.startDate + "-" + settings.endDate;
  return settings.duration;
}

}  // namespace

std::string ChartWindowTitle(const ChartSettings& settings, const ChartData* data) {
  std::string period = settings.period;
  for (char& c : period) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ChartShownName(settings) + " - " + titleSpan(settings, data) + " " + period + " chart";
}

std::string ChartShownName(const ChartSettings& settings) {
  return settings.displayName.empty() ? settings.symbol : settings.displayName;
}

std::string ChartLoadingText(const std::string& symbol) {
  return "Loading quote for " + symbol + ", please wait ......";
}

std::string ChartLoadFailureText(const std::string& symbol, const ChartLoadFailure& failure) {
  if (!IsServiceFailure(failure))
    return "Can not load history quote for '" + symbol +
           "'.\n\nCheck whether it is a valid symbol or reload it.";
  const std::string service =
      failure.service.empty() ? std::string("the quote service") : "the quote service at " + failure.service;
  std::string what;
  switch (failure.kind) {
    case ChartFailureKind::kCannotConnect:
      what = service + " could not be reached" + (failure.detail.empty() ? "" : " (" + failure.detail + ")");
      break;
    case ChartFailureKind::kTimedOut:
      what = service + " did not answer in time";
      break;
    case ChartFailureKind::kCutShort:
      what = "the transfer from " + service + " was cut short";
      break;
    default:
      what = service + " answered with server error " + std::to_string(failure.status);
      break;
  }
  return "Can not load history quote for '" + symbol + "': " + what +
         ".\n\nCheck the network or the quote service and reload the chart.";
}

}  // namespace velmora
