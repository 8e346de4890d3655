// A chart loads on a thread of its own: against a quote service that never
// answers, the program keeps painting and answering, the loading notice over
// the empty chart offers Cancel, and Cancel, Escape or closing the window
// ends the transfer at once. A failed load says whether the service or the
// symbol is to blame. The chart windows' titles tell charts of chosen dates
// and of local files apart.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "core/chart_dates.h"
#include "shell/chart_loading_notice.h"
#include "shell/main_frame.h"
#include "shell/notice_dialog.h"
#include "shell/open_chart.h"
#include "shell/standin_clock.h"
#include "shell/velmora_app.h"
#include "shell/velmora_view.h"
#include "support/qt/qt_test_environment.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

class ChartLoading : public ::testing::Test {
 protected:
  ChartLoading() : cwd_(folder_.path()) {}
  ~ChartLoading() override {
    if (app_) app_->ExitInstance();
    app_.reset();
    SetConfigDefaults(systemConfig());
  }

  void SetUp() override {
    // MSFT never answers, BAD fails with 500, CUT breaks off; IBM answers.
    service_ = std::make_unique<test::StandinServer>(
        std::vector<std::string>{"--now", test::NoonTodayInNewYork(), "--fault", "MSFT=hang", "--fault",
                                 "BAD=500", "--fault", "CUT=truncated"});
    ASSERT_TRUE(service_->ok());
    const std::string url = service_->baseUrl();
    test::WriteFile(folder_.file("Config.ini"),
                    "StartRealTimeQuoteLoader=No\r\nYahooRealTimeQuoteSpreadSheetURL=" + url +
                        "/d/quotes.csv\r\nYahooHistoryQuoteSpreadSheetURL=" + url +
                        "/table.csv\r\nYahooHistoryQuoteURL=" + url + "/q/hp\r\n");
    test::WriteFile(folder_.file("List.dat"), "MSFT\nIBM\n");
    AppEnvironment environment;
    environment.openWebPage = [](const std::string&) {};
    environment.webPagePauseMs = 0;
    app_ = std::make_unique<CVelmoraApp>(environment);
    ASSERT_TRUE(app_->InitInstance());
    monitor_ = app_->monitorView();
    monitor_->renderIfNeeded();
  }

  QMdiArea* area() { return app_->mainFrame()->mdiArea(); }

  // A chart of `settings`, its dates those the sheet gives its duration today.
  CVelmoraView* open(ChartSettings settings) {
    if (settings.startDate.empty()) {
      EXPECT_TRUE(
          DatesForDuration(settings.duration, TodayLocalDate(), settings.startDate, settings.endDate));
    }
    return OpenChartWindow(*app_->mainFrame(), monitor_->context(), -1, settings);
  }

  // Runs the event loop for `ms`, returning the longest gap between two
  // ticks of a 20 ms timer: how long the program stopped answering.
  static qint64 runAnswering(int ms) {
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    tick.start(20);
    sinceTick.start();
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < until) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return std::max(longest, sinceTick.elapsed());
  }

  // Runs the event loop until `view` is gone; how long that took (ms), or
  // -1 when it never went.
  static qint64 waitGone(QPointer<CVelmoraView>& view, int limitMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (view != nullptr && elapsed.elapsed() < limitMs) {
      QApplication::processEvents(QEventLoop::AllEvents, 10);
      QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return view == nullptr ? elapsed.elapsed() : -1;
  }

  static bool waitLoaded(CVelmoraView* view) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      if (view->loaded == 1) return true;
    }
    return false;
  }

  test::TempFolder folder_;
  test::ScopedCurrentDir cwd_;
  std::unique_ptr<test::StandinServer> service_;
  std::unique_ptr<CVelmoraApp> app_;
  CVelmoraView* monitor_ = nullptr;
};

TEST_F(ChartLoading, SilentServiceLeavesTheProgramAnsweringAndCancelEndsTheLoad) {
  bool boxShown = false;
  QTest::keyClick(monitor_, Qt::Key_Space);  // row 0: MSFT, which hangs
  ASSERT_EQ(area()->subWindowList().size(), 2) << "the chart window opens at once";
  QPointer<CVelmoraView> chart = qobject_cast<CVelmoraView*>(area()->subWindowList().last()->widget());
  ASSERT_NE(chart, nullptr);

  // While the service keeps silent the monitor repaints and every event
  // is handled within a fraction of a second.
  const int paintsBefore = monitor_->fullPaints();
  monitor_->invalidate();
  const qint64 longestPause = runAnswering(1500);
  EXPECT_LT(longestPause, 500) << "the program stopped answering while the chart loaded";
  EXPECT_GT(monitor_->fullPaints(), paintsBefore) << "the monitor repainted";
  ASSERT_TRUE(chart->chartLoading());
  EXPECT_EQ(chart->loaded, 0u);
  ChartLoadingNotice* notice = chart->loadingNotice();
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->isVisible());
  EXPECT_EQ(notice->text(), "Loading quote for MSFT, please wait ......");
  ASSERT_NE(notice->cancelButton(), nullptr);
  EXPECT_EQ(notice->cancelButton()->text(), "Cancel");
  // Inside the chart window, over its empty chart: no window of its own.
  EXPECT_FALSE(notice->isWindow());
  EXPECT_EQ(notice->parentWidget(), chart.data());
  EXPECT_TRUE(chart->rect().contains(notice->geometry()));
  // Documentation aid: the chart window with its notice, as a picture.
  if (const char* path = std::getenv("VELMORA_NOTICE_SNAPSHOT")) chart->parentWidget()->grab().save(path);

  // Cancel: the window closes without the failure message, promptly. A
  // message box, if one came, is recorded and answered.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
        boxShown = true;
        box->close();
      }
  });
  watch.start(20);
  QTest::mouseClick(notice->cancelButton(), Qt::LeftButton);
  const qint64 took = waitGone(chart, 10000);
  EXPECT_GE(took, 0) << "the window did not close";
  EXPECT_LT(took, 3000) << "the transfer was not stopped at once";
  EXPECT_FALSE(boxShown);
  EXPECT_EQ(area()->subWindowList().size(), 1);
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<CNoticeDialog*>(w), nullptr);

  // The next chart, of a security that answers, loads as ever.
  ChartSettings ibm;
  ibm.symbol = "IBM";
  CVelmoraView* next = open(ibm);
  ASSERT_NE(next, nullptr);
  EXPECT_TRUE(waitLoaded(next));
}

TEST_F(ChartLoading, ClosingTheWindowWhileItLoadsStopsTheLoad) {
  ChartSettings msft;
  msft.symbol = "MSFT";
  QPointer<CVelmoraView> chart = open(msft);
  ASSERT_NE(chart, nullptr);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (!chart->chartLoading() && Clock::now() < deadline)
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_TRUE(chart->chartLoading());
  runAnswering(200);
  QElapsedTimer elapsed;
  elapsed.start();
  area()->activeSubWindow()->close();
  const qint64 took = waitGone(chart, 10000);
  EXPECT_GE(took, 0) << "the window did not close";
  EXPECT_LT(elapsed.elapsed(), 3000) << "closing waited for the silent service";
  EXPECT_EQ(area()->subWindowList().size(), 1);
}

// Escape cancels whenever the chart window is active, also after the user
// has been in another window meanwhile; in another window it does not.
TEST_F(ChartLoading, EscapeCancelsWhileTheChartWindowIsActive) {
  CMainFrame& frame = *app_->mainFrame();
  frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  ChartSettings msft;
  msft.symbol = "MSFT";
  QPointer<CVelmoraView> chart = open(msft);
  ASSERT_NE(chart, nullptr);
  QTRY_VERIFY_WITH_TIMEOUT(chart->chartLoading(), 10000);
  auto* chartWindow = qobject_cast<QMdiSubWindow*>(chart->parentWidget());
  auto* monitorWindow = qobject_cast<QMdiSubWindow*>(monitor_->parentWidget());
  ASSERT_NE(chartWindow, nullptr);
  ASSERT_NE(monitorWindow, nullptr);
  auto escapeWhereTheFocusIs = [] {
    QWidget* focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr);
    QTest::keyClick(focus, Qt::Key_Escape);
  };

  area()->setActiveSubWindow(monitorWindow);
  escapeWhereTheFocusIs();
  runAnswering(300);
  ASSERT_FALSE(chart.isNull());
  EXPECT_TRUE(chart->chartLoading()) << "Escape in the monitor cancelled the chart";

  area()->setActiveSubWindow(chartWindow);
  EXPECT_TRUE(chart->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == chart);
  escapeWhereTheFocusIs();
  EXPECT_GE(waitGone(chart, 10000), 0) << "Escape did not cancel the load";
  EXPECT_EQ(area()->subWindowList().size(), 1);
}

// A failure of the quote service names its host and what went wrong, and
// asks to check the network or the service; only a symbol the service does
// not know asks to check the symbol (the chart-opening tests show that one).
TEST_F(ChartLoading, ServiceFailuresNameTheServiceAndWhatWentWrong) {
  const std::string host = service_->baseUrl().substr(std::string("http://").size());
  const struct {
    const char* symbol;
    std::string what;
  } cases[] = {
      {"BAD", "the quote service at " + host + " answered with server error 500"},
      {"CUT", "the transfer from the quote service at " + host + " was cut short"},
      {"DOWN", "the quote service at 127.0.0.1:1 could not be reached (connection refused)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.symbol);
    // Nothing listens on port 1.
    if (std::string(c.symbol) == "DOWN")
      systemConfig().YahooHistoryQuoteSpreadSheetURL = "http://127.0.0.1:1/table.csv";
    QString text;
    test::WhenModalShown([&](QWidget* modal) {
      auto* message = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(message, nullptr);
      text = message->text();
      message->button(QMessageBox::Ok)->click();
    });
    ChartSettings settings;
    settings.symbol = c.symbol;
    QPointer<CVelmoraView> chart = open(settings);
    EXPECT_GE(waitGone(chart, 20000), 0) << "the window did not close";
    EXPECT_EQ(text.toStdString(), "Can not load history quote for '" + std::string(c.symbol) +
                                      "': " + c.what +
                                      ".\n\nCheck the network or the quote service and reload the chart.");
  }
}

TEST_F(ChartLoading, TitlesShowChosenDatesAndALocalFilesPeriod) {
  ChartSettings chosen;
  chosen.symbol = "IBM";
  chosen.duration = kCustomizeDuration;
  chosen.startDate = "07/24/2026";
  chosen.endDate = "08/21/2026";
  EXPECT_EQ(ChartWindowTitle(chosen), "IBM - 07/24/2026-08/21/2026 daily chart");
  ChartSettings sixMonths;
  sixMonths.symbol = "IBM";
  sixMonths.period = "Weekly";
  EXPECT_EQ(ChartWindowTitle(sixMonths), "IBM - 6 months weekly chart");

  // Dates typed backwards are charted the right way round, as a drag
  // orders them, rather than as one bar across the whole plot.
  ChartSettings backwards = chosen;
  const CalendarDate today = TodayLocalDate();
  backwards.startDate = FormatSettingsDate(today);
  backwards.endDate = FormatSettingsDate(AddDays(today, -91));
  CVelmoraView* ordered = open(backwards);
  ASSERT_TRUE(waitLoaded(ordered));
  EXPECT_EQ(ordered->parentWidget()->windowTitle().toStdString(),
            "IBM - " + backwards.endDate + "-" + backwards.startDate + " daily chart");
  EXPECT_GT(ordered->chart.data.visibleCount, 50);

  // An online chart writes IBM.csv; a chart of that file shows the period
  // the file holds, whatever the sheet's duration says.
  CVelmoraView* online = open(sixMonths);
  ASSERT_TRUE(waitLoaded(online));
  ChartSettings local;
  local.symbol = "IBM";
  local.source = 1;
  local.filePath = folder_.file("IBM.csv");
  local.duration = "1 year";
  EXPECT_EQ(ChartWindowTitle(local), "IBM - local file daily chart") << "before it has loaded";
  CVelmoraView* file = open(local);
  ASSERT_TRUE(waitLoaded(file));
  const ChartData& data = file->chart.data;
  ASSERT_GT(data.barCount(), 1);
  auto mdy = [](const QuoteBar& bar) {
    const int key = bar.DateKey();
    char text[16];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", key / 100 % 100, key % 100, key / 10000);
    return std::string(text);
  };
  EXPECT_EQ(
      file->parentWidget()->windowTitle().toStdString(),
      "IBM - local file " + mdy(data.bars[data.barCount() - 1]) + "-" + mdy(data.bars[0]) + " daily chart");
}

}  // namespace
}  // namespace velmora
