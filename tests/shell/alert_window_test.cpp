// The "Alerts" window and "View > Alerts": every alert of the session,
// newest first and live, and a double click that charts the security.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTest>
#include <QTreeWidget>
#include <mutex>
#include <thread>

#include "alerts/alert_center.h"
#include "shell/alert_notifier.h"
#include "shell/alerts_window.h"
#include "shell/main_frame.h"
#include "shell/velmora_app.h"
#include "shell/velmora_view.h"
#include "support/log_lines.h"
#include "support/test_support.h"

namespace velmora {
namespace {

Alert makeAlert(const std::string& symbol, const std::string& event, const std::string& time, double price) {
  Alert a;
  a.symbol = symbol;
  a.event = event;
  a.barDate = time.substr(0, 10);
  a.price = price;
  a.time = time;
  return a;
}

// A row's cells, "|" between them.
std::string rowText(const AlertsWindow& window, int row) {
  QStringList texts;
  QTreeWidgetItem* item = window.list()->topLevelItem(row);
  for (int column = 0; column < window.list()->columnCount(); ++column) texts << item->text(column);
  return texts.join('|').toStdString();
}

void doubleClickRow(AlertsWindow& window, int row) {
  QTreeWidget* list = window.list();
  const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
  // What the window system sends for a double click: press, release, double
  // click, release.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

// An alert center of the test's own: what the engine's center offers the
// desktop, its alerts set by the test.
class FakeAlertCenter : public AlertCenter {
 public:
  void AddSink(std::shared_ptr<AlertSink> sink) override {
    std::lock_guard<std::mutex> hold(mutex_);
    sinks_.push_back(std::move(sink));
  }
  std::vector<Alert> Recent() const override {
    std::lock_guard<std::mutex> hold(mutex_);
    return recent_;
  }
  // Raises an alert as the engine does: remembered, then handed to every
  // sink on a delivery thread.
  void raise(const Alert& alert) {
    std::vector<std::shared_ptr<AlertSink>> sinks;
    {
      std::lock_guard<std::mutex> hold(mutex_);
      recent_.insert(recent_.begin(), alert);
      sinks = sinks_;
    }
    std::thread delivery([sinks, alert] {
      for (const auto& sink : sinks) sink->Deliver(alert);
    });
    delivery.join();
  }
  std::size_t sinkCount() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return sinks_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<AlertSink>> sinks_;
  std::vector<Alert> recent_;
};

TEST(AlertsWindow, ListsNewestFirstAndEachAlertOnce) {
  AlertsWindow window;
  EXPECT_EQ(window.windowTitle(), "Alerts");
  QStringList headers;
  for (int column = 0; column < window.list()->columnCount(); ++column)
    headers << window.list()->headerItem()->text(column);
  EXPECT_EQ(headers, QStringList({"Time", "Security", "Event", "Price"}));

  // The center's alerts come newest first.
  window.addAlerts({makeAlert("IBM", "sell signal", "2026-12-08 10:05:00", 119.5),
                    makeAlert("MSFT", "buy signal", "2026-12-08 09:45:12", 420.75)});
  ASSERT_EQ(window.count(), 2);
  EXPECT_EQ(rowText(window, 0), "2026-12-08 10:05:00|IBM|sell signal|119.50");
  EXPECT_EQ(rowText(window, 1), "2026-12-08 09:45:12|MSFT|buy signal|420.75");

  // A live alert goes on top; one already listed (the center's list and the
  // live delivery both carry it) is not listed again.
  window.addAlert(makeAlert("^GSPC", "move beyond 2.50%", "2026-12-08 11:00:00", 6012));
  window.addAlert(makeAlert("IBM", "sell signal", "2026-12-08 10:05:00", 119.5));
  window.addAlerts({makeAlert("^GSPC", "move beyond 2.50%", "2026-12-08 11:00:00", 6012),
                    makeAlert("IBM", "sell signal", "2026-12-08 10:05:00", 119.5)});
  ASSERT_EQ(window.count(), 3);
  EXPECT_EQ(window.alertAt(0).symbol, "^GSPC");
  EXPECT_EQ(window.alertAt(1).symbol, "IBM");

  // The same security and event on another day is another alert; a late
  // arrival still takes its place by time, and alerts of one second keep
  // the order they came in (the later above).
  window.addAlert(makeAlert("IBM", "sell signal", "2026-12-09 09:31:00", 118));
  window.addAlert(makeAlert("KO", "trend up", "2026-12-08 10:30:00", 70));
  window.addAlert(makeAlert("XOM", "trend down", "2026-12-08 10:30:00", 110));
  std::string order;
  for (int row = 0; row < window.count(); ++row)
    order += window.alertAt(row).symbol + " " + window.alertAt(row).time + "; ";
  EXPECT_EQ(order,
            "IBM 2026-12-09 09:31:00; ^GSPC 2026-12-08 11:00:00; XOM 2026-12-08 10:30:00; "
            "KO 2026-12-08 10:30:00; IBM 2026-12-08 10:05:00; MSFT 2026-12-08 09:45:12; ");
}

// The frames' notifiers find no session bus (nothing pops up on the desktop
// of whoever runs the tests), and their log lines go to a folder of the
// test's own.
class MainFrameAlerts : public test::InTempDir, public ::testing::Test {
 protected:
  test::ScopedVariable noBus_{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/velmora-test-bus"};
};

QStringList viewItems(CMainFrame& frame) {
  QStringList items;
  for (QAction* a : frame.menuBar()->actions())
    if (a->text() == "&View" && a->menu() != nullptr)
      for (QAction* item : a->menu()->actions()) items << item->text();
  return items;
}

QAction* alertsCommand(CMainFrame& frame) {
  for (QAction* a : frame.menuBar()->actions())
    if (a->text() == "&View" && a->menu() != nullptr)
      for (QAction* item : a->menu()->actions())
        if (item->text() == "&Alerts") return item;
  return nullptr;
}

TEST_F(MainFrameAlerts, TheViewMenusOfferAlertsAfterTheStatusBar) {
  CMainFrame frame;
  frame.show();
  EXPECT_EQ(viewItems(frame), QStringList({"&Status Bar", "&Alerts"}));
  frame.openChild(new QWidget);
  ASSERT_TRUE(frame.showingChildMenus());
  EXPECT_EQ(viewItems(frame), QStringList({"&Status Bar", "&Alerts"}));
  ASSERT_NE(alertsCommand(frame), nullptr);
  EXPECT_EQ(alertsCommand(frame)->statusTip(), "Show the alerts raised since the program started");
}

TEST_F(MainFrameAlerts, TheWindowShowsEarlierAlertsAndNewOnesAsTheyCome) {
  FakeAlertCenter center;
  center.raise(makeAlert("IBM", "sell signal", "2026-12-08 10:05:00", 119.5));  // before the frame
  CMainFrame frame;
  frame.attachAlertCenter(&center);
  frame.attachAlertCenter(&center);
  EXPECT_EQ(center.sinkCount(), 1u) << "one sink per frame";
  frame.show();
  center.raise(makeAlert("MSFT", "buy signal", "2026-12-08 10:10:00", 420.75));  // window not open yet
  QApplication::processEvents();

  ASSERT_FALSE(frame.alertsWindow()->isVisible());
  alertsCommand(frame)->trigger();
  EXPECT_TRUE(frame.alertsWindow()->isVisible());
  ASSERT_EQ(frame.alertsWindow()->count(), 2);
  EXPECT_EQ(frame.alertsWindow()->alertAt(0).symbol, "MSFT");
  EXPECT_EQ(frame.alertsWindow()->alertAt(1).symbol, "IBM");

  // Raised while the window is open: it appears at the top without any
  // further action, once.
  center.raise(makeAlert("KO", "trend up", "2026-12-08 10:20:00", 70));
  EXPECT_TRUE(QTest::qWaitFor([&] { return frame.alertsWindow()->count() == 3; }, 5000));
  EXPECT_EQ(frame.alertsWindow()->alertAt(0).symbol, "KO");
  alertsCommand(frame)->trigger();  // opening it again lists nothing twice
  EXPECT_EQ(frame.alertsWindow()->count(), 3);
}

// The desktop program's own wiring: a double click in its Alerts window
// charts the security as Space does on the monitor, asking the service for
// the symbol the loader asks for.
TEST_F(MainFrameAlerts, DoubleClickChartsTheMonitoredSecurity) {
  test::StandinServer service;
  ASSERT_TRUE(service.ok());
  const std::string url = service.baseUrl();
  test::WriteFile(folder_.file("Config.ini"),
                  "StartRealTimeQuoteLoader=No\r\nYahooRealTimeQuoteSpreadSheetURL=" + url +
                      "/d/quotes.csv\r\nYahooHistoryQuoteSpreadSheetURL=" + url +
                      "/table.csv\r\nYahooHistoryQuoteURL=" + url + "/q/hp\r\n");
  test::WriteFile(folder_.file("List.dat"), "MSFT\n^DJI\n");
  AppEnvironment environment;
  environment.openWebPage = [](const std::string&) {};
  environment.webPagePauseMs = 0;
  CVelmoraApp app(environment);
  ASSERT_TRUE(app.InitInstance());
  FakeAlertCenter center;
  CMainFrame& frame = *app.mainFrame();
  // The program's own icon (packaging/velmora.svg), not Qt's, on every window.
  const QImage icon = QApplication::windowIcon().pixmap(64).toImage();
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.pixelColor(32, 6), QColor(0xd6, 0xd6, 0xd6));
  EXPECT_EQ(frame.alertsWindow()->windowIcon().cacheKey(), QApplication::windowIcon().cacheKey());
  frame.attachAlertCenter(&center);
  center.raise(makeAlert("DJIA", "trend up", "2026-12-08 10:20:00", 44000));
  frame.showAlerts();
  ASSERT_EQ(frame.alertsWindow()->count(), 1);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.alertsWindow()));

  QTreeWidget* list = frame.alertsWindow()->list();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->topLevelItem(0)).center());
  EXPECT_EQ(frame.mdiArea()->subWindowList().size(), 1) << "a click only selects";
  doubleClickRow(*frame.alertsWindow(), 0);
  CVelmoraView* chart = nullptr;
  for (QMdiSubWindow* w : frame.mdiArea()->subWindowList(QMdiArea::CreationOrder))
    if (auto* v = qobject_cast<CVelmoraView*>(w->widget()); v != nullptr && v->viewMode == 1) chart = v;
  ASSERT_NE(chart, nullptr);
  EXPECT_EQ(chart->chart.settings.symbol, "^DJI");
  EXPECT_EQ(chart->selectedRow, 1) << "the security's index";
  ASSERT_TRUE(QTest::qWaitFor([&] { return chart->loaded == 1; }, 20000));
  EXPECT_EQ(chart->parentWidget()->windowTitle(), "DJIA - 6 months daily chart");
  // Escape closes the Alerts window, which keeps its alerts.
  frame.showAlerts();
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_FALSE(frame.alertsWindow()->isVisible());
  EXPECT_EQ(frame.alertsWindow()->count(), 1);
  app.ExitInstance();
  SetConfigDefaults(systemConfig());
}

}  // namespace
}  // namespace velmora
