// Chart windows opened as the user opens them, in the desktop program
// against the real stand-in quote service: Space and C on the monitor list,
// the "&Chart" command, and a symbol the service does not know.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "chart/chart_setting_sheet.h"
#include "chart/chart_test_model.h"
#include "chart/pointer_overlays.h"
#include "core/chart_dates.h"
#include "core/chart_window.h"
#include "monitor/security_store.h"
#include "shell/chart_loading_notice.h"
#include "shell/main_frame.h"
#include "shell/notice_dialog.h"
#include "shell/standin_clock.h"
#include "shell/velmora_app.h"
#include "shell/velmora_view.h"
#include "support/qt/qt_test_environment.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::StandinServer;
using test::WriteFile;

constexpr QRgb kBackground = rgb(214, 214, 214);
constexpr QRgb kBlack = rgb(0, 0, 0);
constexpr QRgb kWhite = rgb(255, 255, 255);
constexpr QRgb kRed = rgb(255, 0, 0);

class ChartWindowOpen : public ::testing::Test {
 protected:
  ChartWindowOpen() : cwd_(folder_.path()) {}
  ~ChartWindowOpen() override {
    if (app_) {
      app_->ExitInstance();
      app_.reset();
    }
    SetConfigDefaults(systemConfig());
  }

  void SetUp() override { start("MSFT\nIBM\nNOSUCH\n", false); }

  void start(const std::string& list, bool loaderOn) {
    service_ = std::make_unique<StandinServer>(
        std::vector<std::string>{"--now", test::NoonTodayInNewYork(), "--fault", "NOSUCH=404"});
    ASSERT_TRUE(service_->ok());
    const std::string url = service_->baseUrl();
    WriteFile(folder_.file("Config.ini"), std::string("StartRealTimeQuoteLoader=") +
                                              (loaderOn ? "Yes" : "No") +
                                              "\r\nYahooRealTimeQuoteSpreadSheetURL=" + url +
                                              "/d/quotes.csv\r\nYahooHistoryQuoteSpreadSheetURL=" + url +
                                              "/table.csv\r\nYahooHistoryQuoteURL=" + url + "/q/hp\r\n");
    WriteFile(folder_.file("List.dat"), list);
    AppEnvironment environment;
    environment.openWebPage = [](const std::string&) {};
    environment.webPagePauseMs = 0;
    app_ = std::make_unique<CVelmoraApp>(environment);
    ASSERT_TRUE(app_->InitInstance());
    monitor_ = app_->monitorView();
    monitor_->renderIfNeeded();
  }

  CMainFrame& frame() { return *app_->mainFrame(); }
  int windowCount() { return static_cast<int>(frame().mdiArea()->subWindowList().size()); }

  // The newest chart view, or null.
  CVelmoraView* newestChart() {
    CVelmoraView* found = nullptr;
    for (QMdiSubWindow* w : frame().mdiArea()->subWindowList(QMdiArea::CreationOrder))
      if (auto* v = qobject_cast<CVelmoraView*>(w->widget()); v != nullptr && v->viewMode == 1) found = v;
    return found;
  }

  // Runs the event loop until the chart has loaded and painted its chart.
  static bool waitLoaded(CVelmoraView* view) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      if (view->loaded == 1) {
        view->renderIfNeeded();
        return true;
      }
    }
    return false;
  }

  // The menu bar's Chart command, its sheet answered with `symbol` typed.
  void chartTyped(const char* symbol) {
    test::WhenModalShown([symbol](QWidget* sheet) {
      QLineEdit* edit = ProgramChartSettingPages()->symbolPage().symbolBox()->lineEdit();
      edit->selectAll();
      QTest::keyClicks(edit, symbol);
      qobject_cast<QDialog*>(sheet)->accept();
    });
    frame().commands().chart();
  }

  void selectRow(int row) {
    monitor_->monitorPointerMove(10, ListTextTop(monitor_->lineHeight, row) + 1);
    ASSERT_EQ(monitor_->selectedRow, row);
  }

  // A loaded chart as the user sees it: the background around, the frame,
  // white and red candle bodies in the price panel, and the window title.
  static void expectChart(CVelmoraView* view, const QString& title) {
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(waitLoaded(view));
    EXPECT_EQ(view->parentWidget()->windowTitle(), title);
    const QImage& canvas = view->canvas();
    const ChartViewModel& m = view->chart;
    EXPECT_EQ(canvas.pixel(m.plotRight() + 2, m.clientHeight - 5), kBackground);
    EXPECT_EQ(canvas.pixel(m.plotRight(), (m.topMargin + m.priceBottom) / 2), kBlack) << "frame";
    EXPECT_EQ(canvas.pixel(m.plotRight() / 2, m.topMargin), kBlack) << "frame";
    const Rect prices{m.leftMargin + 1, m.topMargin + 2, m.plotRight() - 1, m.priceBottom - 1};
    int white = 0, red = 0;
    for (int y = prices.top; y < prices.bottom; ++y)
      for (int x = prices.left; x < prices.right; ++x) {
        white += canvas.pixel(x, y) == kWhite;
        red += canvas.pixel(x, y) == kRed;
      }
    EXPECT_GT(white, 100) << "rising candles";
    EXPECT_GT(red, 100) << "falling candles";
    EXPECT_GT(m.data.visibleCount, 100);
    EXPECT_GT(m.data.barCount(), m.data.visibleCount);
  }

  test::TempFolder folder_;
  test::ScopedCurrentDir cwd_;
  std::unique_ptr<StandinServer> service_;
  std::unique_ptr<CVelmoraApp> app_;
  CVelmoraView* monitor_ = nullptr;
};

TEST_F(ChartWindowOpen, SpaceChartsTheSelectedSecurityAtOnce) {
  ASSERT_NE(ProgramChartSettingPages(), nullptr) << "created at start-up";
  QStringList notices;
  QTest::keyClick(monitor_, Qt::Key_Space);  // the pointer never moved: row 0
  ASSERT_EQ(windowCount(), 2);
  CVelmoraView* chart = newestChart();
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->selectedRow, 0) << "the security's index";
  // The loading notice is up over the chart while the first paint loads.
  QTimer::singleShot(0, [&] {
    if (ChartLoadingNotice* n = chart->loadingNotice(); n != nullptr && n->isVisible()) notices << n->text();
  });
  expectChart(chart, "MSFT - 6 months daily chart");
  EXPECT_EQ(notices, QStringList{"Loading quote for MSFT, please wait ......"});
  EXPECT_EQ(chart->chart.settings.symbol, "MSFT");

  // Documentation aid: with VELMORA_SNAPSHOT set the program saves its main
  // window; the chart is left on screen long enough for one picture.
  if (std::getenv("VELMORA_SNAPSHOT") != nullptr) {
    chart->parentWidget()->showMaximized();
    for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
    chart->renderIfNeeded();
    const ChartViewModel& m = chart->chart;
    QTest::mouseMove(chart, QPoint(m.slotCentre(m.data.newestVisible + m.data.visibleCount / 3),
                                   (m.topMargin + m.priceBottom) / 2));
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < until) QApplication::processEvents(QEventLoop::AllEvents, 50);
  }
}

TEST_F(ChartWindowOpen, InformationLinesShowTheNewestBarUntilThePointerMoves) {
  QTest::keyClick(monitor_, Qt::Key_Space);
  CVelmoraView* chart = newestChart();
  ASSERT_NE(chart, nullptr);
  ASSERT_TRUE(waitLoaded(chart));
  const ChartViewModel& m = chart->chart;
  auto infoShown = [&](int bar) {
    const std::string info = BarInfoText(m.bar(bar));
    return test::textAt(chart->canvas(), m.plotRight() - test::measure(m.axisFont, info).width - 8,
                        m.infoLineTop, m.axisFont, info);
  };
  EXPECT_TRUE(infoShown(m.data.newestVisible));
  // A repaint before any move keeps them there.
  chart->invalidate();
  chart->renderIfNeeded();
  EXPECT_TRUE(infoShown(m.data.newestVisible));
  // Then they follow the pointer.
  QTest::mouseMove(chart, QPoint(m.slotCentre(m.data.oldestVisible), (m.topMargin + m.priceBottom) / 2));
  QApplication::processEvents();
  EXPECT_TRUE(infoShown(m.data.oldestVisible));
}

TEST_F(ChartWindowOpen, CShowsTheSheetWithTheSelectedSymbol) {
  selectRow(1);
  QString shownSymbol;
  test::WhenModalShown([&](QWidget* modal) {
    auto* sheet = qobject_cast<CChartSettingPropertySheet*>(modal);
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->windowTitle(), "Chart Setting");
    shownSymbol = ProgramChartSettingPages()->symbolPage().symbolBox()->currentText();
    sheet->accept();
  });
  QTest::keyClick(monitor_, Qt::Key_C);
  EXPECT_EQ(shownSymbol, "IBM");
  ASSERT_EQ(windowCount(), 2);
  CVelmoraView* chart = newestChart();
  expectChart(chart, "IBM - 6 months daily chart");
  EXPECT_EQ(chart->selectedRow, 1);

  // A cancelled sheet opens nothing.
  test::WhenModalShown([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  QTest::keyClick(monitor_, Qt::Key_C);
  EXPECT_EQ(windowCount(), 2);
}

TEST_F(ChartWindowOpen, ChartMenuCommandOpensTheSheetAndItsChoice) {
  QAction* chartCommand = nullptr;
  for (QAction* a : frame().menuBar()->actions())
    if (a->text() == "&Chart") chartCommand = a;
  ASSERT_NE(chartCommand, nullptr);
  test::WhenModalShown([](QWidget* modal) {
    auto* sheet = qobject_cast<CChartSettingPropertySheet*>(modal);
    ASSERT_NE(sheet, nullptr);
    QComboBox* durations = ProgramChartSettingPages()->symbolPage().durationList();
    durations->setCurrentIndex(durations->findText("1 year"));
    sheet->accept();
  });
  chartCommand->trigger();
  ASSERT_EQ(windowCount(), 2);
  CVelmoraView* chart = newestChart();
  expectChart(chart, "MSFT - 1 year daily chart");
  EXPECT_EQ(chart->selectedRow, -1) << "no security";

  // The floating menu's item is the same command.
  test::WhenModalShown([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  std::unique_ptr<QMenu> menu(monitor_->buildFloatMenu(nullptr));
  menu->actions().first()->trigger();
  EXPECT_EQ(windowCount(), 2);
}

TEST_F(ChartWindowOpen, UnknownSymbolIsReportedAndItsWindowCloses) {
  selectRow(2);
  test::AnsweredBox box;
  QStringList notices;
  test::WhenModalShown([&](QWidget* modal) {
    // The notice stays up until the message has been answered.
    if (ChartLoadingNotice* n = newestChart()->loadingNotice(); n != nullptr && n->isVisible())
      notices << n->text();
    auto* message = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(message, nullptr);
    box.seen = true;
    box.caption = message->windowTitle();
    box.text = message->text();
    EXPECT_EQ(message->icon(), QMessageBox::NoIcon);
    message->button(QMessageBox::Ok)->click();
  });
  QTest::keyClick(monitor_, Qt::Key_Space);
  QPointer<CVelmoraView> chart = newestChart();
  ASSERT_NE(chart, nullptr);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (chart != nullptr && std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.caption, "Error");
  EXPECT_EQ(box.text,
            "Can not load history quote for 'NOSUCH'.\n\nCheck whether it is a valid symbol or reload it.");
  EXPECT_EQ(notices, QStringList{"Loading quote for NOSUCH, please wait ......"});
  EXPECT_TRUE(chart.isNull()) << "the window closed";
  EXPECT_EQ(windowCount(), 1);
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<CNoticeDialog*>(w), nullptr);
}

// The renamed indices: the row DJIA is the index ^DJI, and its chart must be
// the same security, not the stock a service knows as "DJIA". SP500 is a
// stock here, though ^GSPC is shown by that name.
class MonitoredIndexChart : public ChartWindowOpen {
 protected:
  void SetUp() override { start("^DJI\nMSFT\nSP500\n", true); }
};

TEST_F(MonitoredIndexChart, SpaceOnTheDjiaRowChartsTheIndexItShows) {
  SecurityStore& store = securityStore();
  ASSERT_EQ(std::string(store.entry(0).displaySymbol()), "DJIA");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!(store.entry(0).historyLoaded() && store.entry(2).historyLoaded()) &&
         std::chrono::steady_clock::now() < deadline)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  ASSERT_TRUE(store.entry(0).historyLoaded() && store.entry(2).historyLoaded());
  const double rowClose = store.entry(0).Snapshot().bars[0].close;
  // The text file's name line and column header, wider for an index.
  auto textHead = [this] {
    const std::string text = test::ReadFile(folder_.file("DJIA.txt"));
    return text.substr(0, text.find('\n', text.find("Date")));
  };
  const std::string indexHead = textHead();

  QTest::keyClick(monitor_, Qt::Key_Space);  // row 0: DJIA
  QStringList notices;
  QTimer::singleShot(0, [&] {
    if (ChartLoadingNotice* n = newestChart()->loadingNotice(); n != nullptr && n->isVisible())
      notices << n->text();
  });
  CVelmoraView* chart = newestChart();
  expectChart(chart, "DJIA - 6 months daily chart");
  EXPECT_EQ(notices, QStringList{"Loading quote for DJIA, please wait ......"});
  EXPECT_EQ(chart->chart.settings.symbol, "^DJI");
  EXPECT_TRUE(IsIndexChart(chart->chart.settings));
  // The quote service's clock stands still: chart and row show one close.
  EXPECT_DOUBLE_EQ(chart->chart.data.bars[0].close, rowClose);
  // The chart rewrote the row's own history file with the same security.
  auto fileClose = [this] {
    double close = 0;
    return std::sscanf(test::ReadFile(folder_.file("DJIA.csv")).c_str(), "%*[^,],%*f,%*f,%*f,%lf", &close) ==
                   1
               ? close
               : 0;
  };
  EXPECT_DOUBLE_EQ(fileClose(), rowClose);
  EXPECT_EQ(textHead(), indexHead);

  // C hands the sheet the same security (the page shows ^DJI by its index
  // name), and its chart is named alike.
  QString shownSymbol;
  test::WhenModalShown([&](QWidget* modal) {
    shownSymbol = ProgramChartSettingPages()->symbolPage().symbolBox()->currentText();
    qobject_cast<QDialog*>(modal)->accept();
  });
  QTest::keyClick(monitor_, Qt::Key_C);
  EXPECT_EQ(shownSymbol, "Dow Jones Ind Avg");
  expectChart(newestChart(), "DJIA - 6 months daily chart");

  // Its shown name typed in the sheet, in either case, is the same index.
  for (const char* typed : {"DJIA", "djia"}) {
    chartTyped(typed);
    expectChart(newestChart(), "DJIA - 6 months daily chart");
    EXPECT_DOUBLE_EQ(newestChart()->chart.data.bars[0].close, rowClose) << typed;
    EXPECT_DOUBLE_EQ(fileClose(), rowClose) << typed;
  }
  // A symbol the list lacks leaves a listed security's files alone (^GSPC's
  // would be the stock SP500's).
  const std::string stockFile = test::ReadFile(folder_.file("SP500.csv"));
  chartTyped("^GSPC");
  expectChart(newestChart(), "^GSPC - 6 months daily chart");
  EXPECT_TRUE(test::ReadFile(folder_.file("SP500.csv")) == stockFile) << "SP500.csv replaced";
}

}  // namespace
}  // namespace velmora
