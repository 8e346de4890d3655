// The "Chart Setting" sheet and its three kept pages, offscreen.
#include "chart/chart_setting_sheet.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "support/qt/qt_test_environment.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::AnsweredBox;
using test::AnswerNextMessageBox;
using test::FileExists;
using test::ReadFile;
using test::ScopedCurrentDir;
using test::TempFolder;

constexpr CalendarDate kToday{2026, 12, 7};

void choose(QComboBox* list, const char* text) {
  const int index = list->findText(QString::fromLatin1(text));
  ASSERT_GE(index, 0) << text;
  list->setCurrentIndex(index);
  emit list->activated(index);
}

void type(QLineEdit* box, const char* text) {
  box->selectAll();
  QTest::keyClicks(box, QString::fromLatin1(text));
}

int daysBetween(const std::string& start, const std::string& end) {
  return DaysFromCivil(ParseSettingsDate(end)) - DaysFromCivil(ParseSettingsDate(start));
}

void pressOk(CChartSettingPropertySheet& sheet) {
  sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
}

// Runs `act` on the modal sheet once it shows.
void whenSheetShown(std::function<void(CChartSettingPropertySheet&)> act, int triesLeft = 500) {
  QTimer::singleShot(10, [act, triesLeft] {
    if (auto* sheet = qobject_cast<CChartSettingPropertySheet*>(QApplication::activeModalWidget()))
      act(*sheet);
    else if (triesLeft > 0)
      whenSheetShown(act, triesLeft - 1);
  });
}

class ChartSettingSheet : public ::testing::Test {
 protected:
  void SetUp() override { SetConfigDefaults(config); }
  TempFolder folder;
  ScopedCurrentDir inFolder{folder.path()};
  SystemConfig config;
  ChartSettingPages pages{config, [] { return kToday; }};
  CSymbolPropPage& symbol = pages.symbolPage();
  CIndicatorPropPage& indicator = pages.indicatorPage();
  COverlayPropPage& overlay = pages.overlayPage();
};

TEST_F(ChartSettingSheet, FirstSheetShowsTheDefaults) {
  CChartSettingPropertySheet sheet(pages);
  sheet.show();
  QApplication::setActiveWindow(&sheet);
  EXPECT_EQ(sheet.windowTitle(), "Chart Setting");
  ASSERT_EQ(sheet.tabs()->count(), 3);
  EXPECT_EQ(sheet.tabs()->tabText(0), "Symbol");
  EXPECT_EQ(sheet.tabs()->tabText(1), "Indicator");
  EXPECT_EQ(sheet.tabs()->tabText(2), "Overlay");
  EXPECT_EQ(sheet.findChild<QDialogButtonBox*>()->buttons().size(), 2) << "OK and Cancel, no Apply";

  EXPECT_EQ(symbol.symbolBox()->currentText(), "MSFT");
  EXPECT_EQ(symbol.symbolBox()->count(), 4);
  EXPECT_EQ(symbol.symbolBox()->itemText(1), "S&P 500 Index");
  EXPECT_TRUE(symbol.onlineButton()->isChecked());
  EXPECT_TRUE(symbol.filePathBox()->isHidden());
  EXPECT_TRUE(symbol.browseButton()->isHidden());
  EXPECT_EQ(symbol.styleList()->currentText(), "Candle");
  EXPECT_EQ(symbol.durationList()->currentText(), "6 months");
  EXPECT_EQ(symbol.durationList()->count(), 9);
  EXPECT_EQ(symbol.periodList()->currentText(), "Daily");
  EXPECT_EQ(symbol.startDateBox()->text(), "06/04/2026");
  EXPECT_EQ(symbol.endDateBox()->text(), "12/07/2026");
  EXPECT_TRUE(symbol.startDateBox()->isReadOnly());
  EXPECT_TRUE(symbol.endDateBox()->isReadOnly());
  EXPECT_FALSE(symbol.toLabel()->isEnabled());
  QWidget* focus = QApplication::focusWidget();
  EXPECT_TRUE(focus == symbol.symbolBox() || focus == symbol.symbolBox()->lineEdit());

  const ChartSettings s = pages.settings();
  EXPECT_EQ(s.symbol, "MSFT");
  EXPECT_EQ(s.source, 0);
  EXPECT_EQ(s.style, "Candle");
  EXPECT_EQ(s.rsiPeriod, 14);
  EXPECT_EQ(s.stochFirst * 100 + s.stochSecond * 10 + s.stochThird, 1433);
  EXPECT_EQ(s.emaPeriods[4], 200);
}

TEST(ChartSettingPagesClock, DefaultDatesAreTodayAnd186DaysBefore) {
  SystemConfig config;
  SetConfigDefaults(config);
  ChartSettingPages pages(config);
  const ChartSettings s = pages.settings();
  EXPECT_EQ(s.endDate, FormatSettingsDate(TodayLocalDate()));
  EXPECT_EQ(daysBetween(s.startDate, s.endDate), 186);
  EXPECT_EQ(s.startDate.size(), 10u);
}

TEST_F(ChartSettingSheet, DurationSetsTheDatesAndThePeriod) {
  CChartSettingPropertySheet sheet(pages);
  sheet.show();
  choose(symbol.durationList(), "2 years");
  EXPECT_EQ(
      daysBetween(symbol.startDateBox()->text().toStdString(), symbol.endDateBox()->text().toStdString()),
      730);
  EXPECT_EQ(symbol.periodList()->currentText(), "Weekly");
  EXPECT_EQ(symbol.values().period, "Weekly");

  choose(symbol.durationList(), "1 year");
  EXPECT_EQ(symbol.values().startDate, "12/07/2025");
  EXPECT_EQ(symbol.periodList()->currentText(), "Weekly");

  choose(symbol.durationList(), "Customize");
  EXPECT_FALSE(symbol.startDateBox()->isReadOnly());
  EXPECT_TRUE(symbol.toLabel()->isEnabled());
  EXPECT_EQ(symbol.startDateBox()->text(), "12/07/2025") << "the dates stay for editing";
  type(symbol.startDateBox(), "01/02/2026");
  choose(symbol.periodList(), "Monthly");
  pressOk(sheet);
  const ChartSettings s = pages.settings();
  EXPECT_EQ(s.duration, "Customize");
  EXPECT_EQ(s.startDate, "01/02/2026");
  EXPECT_EQ(s.period, "Monthly");

  // A custom range set from outside survives the next sheet.
  symbol.setDurationAndDates("Customize", "03/04/2026", "05/06/2026");
  CChartSettingPropertySheet next(pages);
  EXPECT_EQ(symbol.startDateBox()->text(), "03/04/2026");
  EXPECT_EQ(symbol.durationList()->currentText(), "Customize");
  choose(symbol.durationList(), "3 months");
  EXPECT_EQ(symbol.values().period, "Daily");
}

TEST_F(ChartSettingSheet, IndexNameGivesItsSymbolAndIsShownAgainNextTime) {
  {
    CChartSettingPropertySheet sheet(pages);
    sheet.show();
    choose(symbol.symbolBox(), "NASDAQ 100 Index");
    EXPECT_EQ(symbol.values().symbol, "^NDX");
    EXPECT_EQ(symbol.values().filePath, "^NDX.csv");
    pressOk(sheet);
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
  }
  EXPECT_EQ(pages.settings().symbol, "^NDX");
  CChartSettingPropertySheet again(pages);
  again.show();
  EXPECT_EQ(symbol.symbolBox()->currentIndex(), 3);
  EXPECT_EQ(symbol.symbolBox()->currentText(), "NASDAQ 100 Index");
}

TEST_F(ChartSettingSheet, TypedSymbolNamesTheFileAndFileShowsItSelected) {
  CChartSettingPropertySheet sheet(pages);
  sheet.show();
  QApplication::setActiveWindow(&sheet);
  type(symbol.symbolBox()->lineEdit(), "IBM");
  EXPECT_EQ(symbol.values().symbol, "IBM");
  EXPECT_EQ(symbol.values().filePath, "IBM.csv");
  symbol.fileButton()->click();
  EXPECT_FALSE(symbol.filePathBox()->isHidden());
  EXPECT_FALSE(symbol.browseButton()->isHidden());
  EXPECT_EQ(symbol.filePathBox()->text(), "IBM.csv");
  EXPECT_EQ(symbol.filePathBox()->selectedText(), "IBM.csv");
  EXPECT_EQ(QApplication::focusWidget(), symbol.filePathBox());

  // Browse takes the chosen file and leaves the current folder as it was.
  const QString here = QDir::currentPath();
  symbol.setFileChooser([](QWidget*, const QString& start) {
    EXPECT_EQ(start, QDir::currentPath());
    QDir::setCurrent(QStringLiteral("/"));
    return QStringLiteral("/data/ibm.txt");
  });
  symbol.browseButton()->click();
  EXPECT_EQ(QDir::currentPath(), here);
  EXPECT_EQ(symbol.filePathBox()->text(), "/data/ibm.txt");
  pressOk(sheet);
  EXPECT_EQ(pages.settings().source, 1);
  EXPECT_EQ(pages.settings().filePath, "/data/ibm.txt");

  // An index name typed in full stands for its symbol.
  CChartSettingPropertySheet next(pages);
  type(symbol.symbolBox()->lineEdit(), "NYSE Composite Index");
  EXPECT_EQ(symbol.values().symbol, "^IXIC");
}

TEST_F(ChartSettingSheet, IndicatorPresetsAndSwitches) {
  CChartSettingPropertySheet sheet(pages);
  sheet.show();
  sheet.tabs()->setCurrentIndex(1);
  for (QCheckBox* off : {indicator.williamsCheck(), indicator.macdCheck(), indicator.moneyFlowCheck(),
                         indicator.onBalanceVolumeCheck(), indicator.priceLabelsCheck()})
    EXPECT_FALSE(off->isEnabled()) << off->text().toStdString();
  EXPECT_EQ(indicator.priceLabelsCheck()->text(), "Price Lables");
  EXPECT_TRUE(indicator.rsiCheck()->isChecked());
  EXPECT_EQ(indicator.rsiList()->currentText(), "14");
  EXPECT_EQ(indicator.stochasticList()->currentText(), "14-3-3");
  EXPECT_TRUE(indicator.stochasticBox(0)->isReadOnly());

  choose(indicator.stochasticList(), "5-3-3");
  EXPECT_EQ(indicator.values().stochFirst, 5);
  EXPECT_EQ(indicator.values().stochSecond, 3);
  EXPECT_EQ(indicator.values().stochThird, 3);
  EXPECT_EQ(indicator.stochasticBox(0)->text(), "5");
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(indicator.stochasticBox(i)->isReadOnly());
  choose(indicator.stochasticList(), "Other");
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(indicator.stochasticBox(i)->isReadOnly());
  EXPECT_EQ(indicator.stochasticBox(0)->text(), "5") << "Other keeps the numbers";
  type(indicator.stochasticBox(0), "9");

  choose(indicator.rsiList(), "8");
  EXPECT_EQ(indicator.rsiPeriodBox()->text(), "8");
  EXPECT_TRUE(indicator.rsiPeriodBox()->isReadOnly());
  EXPECT_EQ(indicator.stochasticBox(0)->text(), "9") << "the RSI choice leaves typed numbers alone";

  indicator.stochasticsCheck()->click();
  EXPECT_TRUE(indicator.stochasticList()->isHidden());
  EXPECT_TRUE(indicator.stochasticBox(2)->isHidden());
  EXPECT_FALSE(indicator.rsiList()->isHidden());

  // A number edit without an integer keeps the sheet open.
  choose(indicator.rsiList(), "Other");
  type(indicator.rsiPeriodBox(), "x");
  AnsweredBox box;
  AnswerNextMessageBox(QMessageBox::Ok, &box);
  pressOk(sheet);
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.text, "Please enter an integer.");
  EXPECT_EQ(sheet.result(), 0);
  EXPECT_EQ(sheet.tabs()->currentIndex(), 1);

  type(indicator.rsiPeriodBox(), "21");
  pressOk(sheet);
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  const ChartSettings s = pages.settings();
  EXPECT_EQ(s.rsiPeriod, 21);
  EXPECT_EQ(s.stochFirst, 9);
  EXPECT_EQ(s.showStochastics, 0);
}

TEST_F(ChartSettingSheet, PeriodsBelowOneAndABlankSymbolKeepTheSheetOpen) {
  CChartSettingPropertySheet sheet(pages);
  sheet.show();
  QApplication::setActiveWindow(&sheet);
  AnsweredBox box;
  auto refusedWith = [&](const char* message, int page, QWidget* focus) {
    box = AnsweredBox();
    AnswerNextMessageBox(QMessageBox::Ok, &box);
    pressOk(sheet);
    EXPECT_TRUE(box.seen);
    EXPECT_EQ(box.text, message);
    EXPECT_EQ(sheet.result(), 0);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.tabs()->currentIndex(), page);
    QWidget* now = sheet.focusWidget();
    ASSERT_NE(now, nullptr);
    EXPECT_TRUE(now == focus || now->parentWidget() == focus) << now->metaObject()->className();
  };

  sheet.tabs()->setCurrentIndex(1);
  choose(indicator.rsiList(), "Other");
  type(indicator.rsiPeriodBox(), "0");
  sheet.tabs()->setCurrentIndex(0);
  refusedWith("Please enter an integer between 1 and 1095.", 1, indicator.rsiPeriodBox());
  EXPECT_EQ(indicator.rsiPeriodBox()->selectedText(), "0");
  EXPECT_EQ(indicator.values().rsiPeriod, 14);

  type(indicator.rsiPeriodBox(), "21");
  choose(indicator.stochasticList(), "Other");
  type(indicator.stochasticBox(2), "-3");
  refusedWith("Please enter an integer between 1 and 1095.", 1, indicator.stochasticBox(2));
  type(indicator.stochasticBox(2), "0");
  refusedWith("Please enter an integer between 1 and 1095.", 1, indicator.stochasticBox(2));
  type(indicator.stochasticBox(2), "2");

  // A symbol typed away to nothing, or to blanks.
  sheet.tabs()->setCurrentIndex(0);
  QLineEdit* symbolText = symbol.symbolBox()->lineEdit();
  symbolText->selectAll();
  QTest::keyClick(symbolText, Qt::Key_Backspace);
  ASSERT_EQ(symbol.values().symbol, "");
  sheet.tabs()->setCurrentIndex(2);
  refusedWith("Please enter a symbol.", 0, symbol.symbolBox());
  type(symbolText, "  ");
  refusedWith("Please enter a symbol.", 0, symbol.symbolBox());

  type(symbolText, "IBM");
  pressOk(sheet);
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  const ChartSettings s = pages.settings();
  EXPECT_EQ(s.symbol, "IBM");
  EXPECT_EQ(s.rsiPeriod, 21);
  EXPECT_EQ(s.stochThird, 2);
}

TEST_F(ChartSettingSheet, OverlayIsFixedOnWithFiveAverages) {
  CChartSettingPropertySheet sheet(pages);
  sheet.show();
  sheet.tabs()->setCurrentIndex(2);
  EXPECT_FALSE(overlay.bollingerCheck()->isEnabled());
  EXPECT_TRUE(overlay.bollingerBox()->isHidden());
  EXPECT_TRUE(overlay.emaCheck()->isChecked());
  EXPECT_FALSE(overlay.emaCheck()->isEnabled());
  const char* periods[] = {"10", "20", "50", "100", "200"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(overlay.emaBox(i)->text(), periods[i]);
    EXPECT_FALSE(overlay.emaBox(i)->isEnabled());
  }
  pressOk(sheet);
  EXPECT_EQ(pages.settings().showEma, 1);
  EXPECT_EQ(pages.settings().emaPeriods[0], 10);
}

TEST_F(ChartSettingSheet, ChangedSwitchWritesTheConfigurationOnceAndOnlyOnOk) {
  whenSheetShown([this](CChartSettingPropertySheet& sheet) {
    sheet.tabs()->setCurrentIndex(1);
    indicator.rsiCheck()->click();
    pressOk(sheet);
  });
  std::optional<ChartSettings> chosen = OpenChartSettings(pages, "", nullptr, config);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->showRsi, 0);
  EXPECT_EQ(config.bCheckRSI, 0);
  EXPECT_EQ(config.bCheckVolume, 1);
  ASSERT_TRUE(FileExists(folder.file("Config.ini")));
  EXPECT_NE(ReadFile(folder.file("Config.ini")).find("bCheckRSI=No\r\n"), std::string::npos);

  // Nothing changed: no write, whether or not the page was shown.
  std::remove(folder.file("Config.ini").c_str());
  whenSheetShown([](CChartSettingPropertySheet& sheet) { pressOk(sheet); });
  ASSERT_TRUE(OpenChartSettings(pages, "", nullptr, config).has_value());
  whenSheetShown([](CChartSettingPropertySheet& sheet) {
    sheet.tabs()->setCurrentIndex(1);
    pressOk(sheet);
  });
  ASSERT_TRUE(OpenChartSettings(pages, "", nullptr, config).has_value());
  EXPECT_FALSE(FileExists(folder.file("Config.ini")));

  // Cancel stores nothing, though the page keeps the click.
  whenSheetShown([this](CChartSettingPropertySheet& sheet) {
    sheet.tabs()->setCurrentIndex(1);
    indicator.volumeCheck()->click();
    sheet.reject();
  });
  EXPECT_FALSE(OpenChartSettings(pages, "", nullptr, config).has_value());
  EXPECT_EQ(config.bCheckVolume, 1);
  EXPECT_FALSE(FileExists(folder.file("Config.ini")));
}

// The back-test switch on the Overlay page: off at first, chosen with a
// click, handed to the chart, kept in the configuration file and offered
// again by the pages of the next start.
TEST_F(ChartSettingSheet, BacktestSwitchIsOffFirstAndKeptInTheConfiguration) {
  whenSheetShown([this](CChartSettingPropertySheet& sheet) {
    sheet.tabs()->setCurrentIndex(2);
    EXPECT_FALSE(overlay.backtestCheck()->isChecked());
    EXPECT_TRUE(overlay.backtestCheck()->isEnabled());
    overlay.backtestCheck()->click();
    pressOk(sheet);
  });
  std::optional<ChartSettings> chosen = OpenChartSettings(pages, "", nullptr, config);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->showBacktest, 1);
  EXPECT_EQ(config.bCheckBacktest, 1);
  EXPECT_NE(ReadFile(folder.file("Config.ini")).find("bCheckBacktest=Yes\r\n"), std::string::npos);

  SystemConfig next;
  ASSERT_TRUE(ReadConfig(next, folder.file("Config.ini")));
  EXPECT_EQ(next.bCheckBacktest, 1);
  ChartSettingPages nextPages{next, [] { return kToday; }};
  EXPECT_EQ(nextPages.settings().showBacktest, 1);
  CChartSettingPropertySheet sheet(nextPages);
  sheet.show();
  sheet.tabs()->setCurrentIndex(2);
  EXPECT_TRUE(nextPages.overlayPage().backtestCheck()->isChecked());
  nextPages.overlayPage().backtestCheck()->click();
  pressOk(sheet);
  EXPECT_EQ(nextPages.settings().showBacktest, 0);
}

TEST_F(ChartSettingSheet, CommandSymbolIsPresetButTheUsersChoiceIsCharted) {
  whenSheetShown([this](CChartSettingPropertySheet& sheet) {
    EXPECT_EQ(symbol.symbolBox()->currentText(),
              "^DJI" == symbol.values().symbol ? "Dow Jones Ind Avg" : "AAPL");
    type(symbol.symbolBox()->lineEdit(), "IBM");
    pressOk(sheet);
  });
  std::optional<ChartSettings> chosen = OpenChartSettings(pages, "AAPL", nullptr, config);
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(chosen->symbol, "IBM");

  whenSheetShown([this](CChartSettingPropertySheet& sheet) {
    EXPECT_EQ(symbol.symbolBox()->currentText(), "Dow Jones Ind Avg");
    EXPECT_EQ(symbol.values().filePath, "^DJI.csv");
    sheet.reject();
  });
  EXPECT_FALSE(OpenChartSettings(pages, "^DJI", nullptr, config).has_value());
}

}  // namespace
}  // namespace velmora
