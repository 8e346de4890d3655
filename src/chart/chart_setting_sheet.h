#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "base/system_config.h"
#include "chart/indicator_prop_page.h"
#include "chart/overlay_prop_page.h"
#include "chart/symbol_prop_page.h"
#include "core/chart_settings.h"

class QTabWidget;

namespace velmora {

// The three pages of the chart-setting sheet. Created once, after the
// configuration has been read, and kept until exit, so every sheet opens
// with the previous choices.
class ChartSettingPages {
 public:
  explicit ChartSettingPages(const SystemConfig& config,
                             CSymbolPropPage::TodayFunction today = TodayLocalDate);
  ~ChartSettingPages();
  ChartSettingPages(const ChartSettingPages&) = delete;
  ChartSettingPages& operator=(const ChartSettingPages&) = delete;

  CSymbolPropPage& symbolPage() { return *symbol_; }
  CIndicatorPropPage& indicatorPage() { return *indicator_; }
  COverlayPropPage& overlayPage() { return *overlay_; }

  // What a new chart receives: the three pages' values, as they stand.
  ChartSettings settings() const;

 private:
  std::unique_ptr<CSymbolPropPage> symbol_;
  std::unique_ptr<CIndicatorPropPage> indicator_;
  std::unique_ptr<COverlayPropPage> overlay_;
};

// The sheet "Chart Setting": pages Symbol, Indicator and Overlay, OK and
// Cancel. A page's controls are filled when its tab is first shown; OK
// reads the controls of every page shown, refusing a blank symbol and a
// number edit that holds no integer (or, for the indicator periods, none
// from 1 up) with a message. The pages go back to their owner when the
// sheet closes.
class CChartSettingPropertySheet : public QDialog {
  Q_OBJECT
 public:
  explicit CChartSettingPropertySheet(ChartSettingPages& pages, QWidget* parent = nullptr);
  ~CChartSettingPropertySheet() override;

  QTabWidget* tabs() const { return tabs_; }

 public slots:
  void accept() override;

 private slots:
  void pageShown(int index);

 private:
  ChartSettingPages& pages_;
  QTabWidget* tabs_;
  bool opened_[3] = {false, false, false};
};

// The program's pages: null until CreateChartSettingPages.
ChartSettingPages* ProgramChartSettingPages();
// Creates them (once; later calls return the same pages).
ChartSettingPages& CreateChartSettingPages();
void DestroyChartSettingPages();

// After an accepted sheet: when the Volume, RSI, Stochastics or back-test
// switch differs from bCheckVolume, bCheckRSI, bCheckStochastics or
// bCheckBacktest, all four are stored and the configuration file is
// written. True when they changed (a failed write is not reported: the
// values stay in memory).
bool StoreIndicatorSwitches(const ChartSettings& chosen, SystemConfig& config,
                            const std::string& path = kConfigFileName);

// The chart-setting command: a given symbol becomes the Symbol page's
// symbol, the sheet runs modally, and on OK the switches are stored and the
// chosen settings returned for the new chart; nothing on Cancel.
std::optional<ChartSettings> OpenChartSettings(ChartSettingPages& pages, const std::string& symbol,
                                               QWidget* parent, SystemConfig& config);
// The same with the program's pages (created if need be).
std::optional<ChartSettings> OpenChartSettings(const std::string& symbol, QWidget* parent = nullptr);

}  // namespace velmora
