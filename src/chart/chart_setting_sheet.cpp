#include "chart/chart_setting_sheet.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "chart/number_text.h"

namespace velmora {

ChartSettingPages::ChartSettingPages(const SystemConfig& config, CSymbolPropPage::TodayFunction today)
    : symbol_(std::make_unique<CSymbolPropPage>(std::move(today))),
      indicator_(std::make_unique<CIndicatorPropPage>(config)),
      overlay_(std::make_unique<COverlayPropPage>(config)) {}

ChartSettingPages::~ChartSettingPages() = default;

ChartSettings ChartSettingPages::settings() const {
  const CSymbolPropPage::Values& s = symbol_->values();
  const CIndicatorPropPage::Values& i = indicator_->values();
  const COverlayPropPage::Values& o = overlay_->values();
  ChartSettings c;
  c.symbol = s.symbol;
  c.source = s.source;
  c.filePath = s.filePath;
  c.style = s.style;
  c.duration = s.duration;
  c.startDate = s.startDate;
  c.endDate = s.endDate;
  c.period = s.period;
  c.showVolume = i.showVolume;
  c.showRsi = i.showRsi;
  c.rsiPeriod = i.rsiPeriod;
  c.showMacd = i.showMacd;
  c.showStochastics = i.showStochastics;
  c.stochFirst = i.stochFirst;
  c.stochSecond = i.stochSecond;
  c.stochThird = i.stochThird;
  c.showEma = o.showEma;
  std::copy(std::begin(o.emaPeriods), std::end(o.emaPeriods), std::begin(c.emaPeriods));
  c.showBacktest = o.showBacktest;
  return c;
}

CChartSettingPropertySheet::CChartSettingPropertySheet(ChartSettingPages& pages, QWidget* parent)
    : QDialog(parent), pages_(pages) {
  setWindowTitle(QStringLiteral("Chart Setting"));
  tabs_ = new QTabWidget(this);
  tabs_->addTab(&pages_.symbolPage(), QStringLiteral("Symbol"));
  tabs_->addTab(&pages_.indicatorPage(), QStringLiteral("Indicator"));
  tabs_->addTab(&pages_.overlayPage(), QStringLiteral("Overlay"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CChartSettingPropertySheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
  tabs_->setCurrentIndex(0);
  pageShown(0);
  connect(tabs_, &QTabWidget::currentChanged, this, &CChartSettingPropertySheet::pageShown);
}

CChartSettingPropertySheet::~CChartSettingPropertySheet() {
  // The pages belong to their owner and outlive the sheet.
  QWidget* pages[] = {&pages_.symbolPage(), &pages_.indicatorPage(), &pages_.overlayPage()};
  for (QWidget* page : pages) {
    tabs_->removeTab(tabs_->indexOf(page));
    page->hide();
    page->setParent(nullptr);
  }
}

void CChartSettingPropertySheet::pageShown(int index) {
  if (index < 0 || index > 2 || opened_[index]) return;
  opened_[index] = true;
  if (index == 0) pages_.symbolPage().openPage();
  if (index == 1) pages_.indicatorPage().openPage();
  if (index == 2) pages_.overlayPage().openPage();
}

void CChartSettingPropertySheet::accept() {
  // The pages are read in order; the first refusal keeps the sheet open on
  // its page with the focus in the refused box.
  QString message;
  QWidget* refused = nullptr;
  int page = 0;
  if (opened_[0]) refused = pages_.symbolPage().readControls(message);
  if (refused == nullptr && opened_[1]) {
    page = 1;
    refused = pages_.indicatorPage().readControls(message);
  }
  if (refused == nullptr && opened_[2]) {
    page = 2;
    refused = pages_.overlayPage().readControls(message);
  }
  if (refused != nullptr) {
    tabs_->setCurrentIndex(page);
    ShowRefusal(this, refused, message);
    return;
  }
  QDialog::accept();
}

namespace {
std::unique_ptr<ChartSettingPages> programPages;
}  // namespace

ChartSettingPages* ProgramChartSettingPages() { return programPages.get(); }

ChartSettingPages& CreateChartSettingPages() {
  if (!programPages) programPages = std::make_unique<ChartSettingPages>(systemConfig());
  return *programPages;
}

void DestroyChartSettingPages() { programPages.reset(); }

bool StoreIndicatorSwitches(const ChartSettings& chosen, SystemConfig& config, const std::string& path) {
  if (chosen.showVolume == config.bCheckVolume && chosen.showRsi == config.bCheckRSI &&
      chosen.showStochastics == config.bCheckStochastics && chosen.showBacktest == config.bCheckBacktest)
    return false;
  config.bCheckVolume = chosen.showVolume;
  config.bCheckRSI = chosen.showRsi;
  config.bCheckStochastics = chosen.showStochastics;
  config.bCheckBacktest = chosen.showBacktest;
  // A failed write is not reported; the values stay in memory.
  (void)WriteConfig(config, path);
  return true;
}

std::optional<ChartSettings> OpenChartSettings(ChartSettingPages& pages, const std::string& symbol,
                                               QWidget* parent, SystemConfig& config) {
  if (!symbol.empty()) pages.symbolPage().SetSymbol(symbol);
  CChartSettingPropertySheet sheet(pages, parent);
  if (sheet.exec() != QDialog::Accepted) return std::nullopt;
  // The chart shows what the sheet ended with, even when the user replaced
  // the symbol the command came with.
  ChartSettings chosen = pages.settings();
  StoreIndicatorSwitches(chosen, config);
  return chosen;
}

std::optional<ChartSettings> OpenChartSettings(const std::string& symbol, QWidget* parent) {
  return OpenChartSettings(CreateChartSettingPages(), symbol, parent, systemConfig());
}

}  // namespace velmora
