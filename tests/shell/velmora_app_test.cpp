// The application object's start-up and exit sequences in a data folder.
#include "shell/velmora_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <cstdio>

#include "monitor/loader_pool.h"
#include "shell/child_frame.h"
#include "shell/main_frame.h"
#include "shell/notice_dialog.h"
#include "shell/velmora_view.h"
#include "support/qt/qt_test_environment.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::FileExists;
using test::ReadFile;
using test::SplitLines;
using test::WriteFile;

class VelmoraAppSequence : public ::testing::Test {
 protected:
  VelmoraAppSequence() : cwd_(folder_.path()) {}
  ~VelmoraAppSequence() override { SetConfigDefaults(systemConfig()); }

  std::unique_ptr<CVelmoraApp> makeApp() {
    AppEnvironment environment;
    environment.openWebPage = [this](const std::string& url) { opened_.push_back(url); };
    environment.webPagePauseMs = 0;
    return std::make_unique<CVelmoraApp>(environment);
  }
  std::vector<std::string> logLines() const {
    return SplitLines(ReadFile(folder_.file("Trevanta Software.log")));
  }

  test::TempFolder folder_;
  test::ScopedCurrentDir cwd_;
  std::vector<std::string> opened_;
};

TEST_F(VelmoraAppSequence, StartsWithTheMonitorWindowAndExitsCleanly) {
  WriteFile(
      folder_.file("Config.ini"),
      "StartRealTimeQuoteLoader=No\rYahooRealTimeQuoteSpreadSheetURL=http://127.0.0.1:45678/d/quotes.csv\r");
  for (const char* name : {"aaa1.tmp", "aaaB2.tmp", "aab1.tmp"}) WriteFile(folder_.file(name), "x");
  auto app = makeApp();
  // The notice is up while start-up pumps the events once.
  QStringList notices;
  QTimer::singleShot(0, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* notice = qobject_cast<CNoticeDialog*>(w); notice != nullptr && notice->isVisible())
        notices << notice->text();
  });
  ASSERT_TRUE(app->InitInstance());
  EXPECT_EQ(notices, QStringList{"Initializing Trevanta Software ......"});
  for (QWidget* w : QApplication::topLevelWidgets())
    EXPECT_EQ(qobject_cast<CNoticeDialog*>(w), nullptr);  // destroyed at the end of start-up

  EXPECT_EQ(opened_, std::vector<std::string>{"http://127.0.0.1:45678/stock-chart.php?symbol=NASDAQ"});
  ASSERT_FALSE(logLines().empty());
  EXPECT_NE(logLines().front().find(": Trevanta Software started."), std::string::npos);
  // The list and the first reports, before any loader thread.
  EXPECT_TRUE(FileExists(folder_.file("List.dat")));
  for (const char* report : {"Status.txt", "SecurityWithBuySignal.txt", "SecurityWithSellSignal.txt",
                             "SecurityWithTrendChangedUp.txt", "SecurityWithTrendChangedDown.txt"})
    EXPECT_TRUE(FileExists(folder_.file(report))) << report;
  EXPECT_EQ(loaderPool().RunningThreadCount(), 0);

  CMainFrame* frame = app->mainFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_TRUE(frame->isVisible());
  EXPECT_TRUE(frame->showingChildMenus());
  ASSERT_EQ(frame->mdiArea()->subWindowList().size(), 1);
  CVelmoraView* monitor = app->monitorView();
  ASSERT_NE(monitor, nullptr);
  EXPECT_EQ(frame->mdiArea()->subWindowList().first()->widget(), monitor);
  EXPECT_EQ(monitor->currentViewMode(), 0u);
  EXPECT_FALSE(monitor->loaderStartArmed());  // StartRealTimeQuoteLoader=No
  monitor->renderIfNeeded();
  EXPECT_EQ(monitor->windowTitle(), "Real time quote monitor");

  // A close request on the monitor window is ignored.
  EXPECT_FALSE(frame->mdiArea()->subWindowList().first()->close());

  // No keeps everything; Yes stops, closes and cleans up.
  test::AnswerNextMessageBox(QMessageBox::No, nullptr);
  frame->close();
  EXPECT_TRUE(frame->isVisible());
  test::AnsweredBox box;
  test::AnswerNextMessageBox(QMessageBox::Yes, &box);
  frame->close();
  EXPECT_EQ(box.text, "Are you sure to exit Trevanta Software?");
  EXPECT_FALSE(frame->isVisible());
  EXPECT_EQ(frame->statusText(), "Current active thread number: 0");
  app->ExitInstance();

  EXPECT_FALSE(FileExists(folder_.file("aaa1.tmp")));
  EXPECT_FALSE(FileExists(folder_.file("aaaB2.tmp")));
  EXPECT_TRUE(FileExists(folder_.file("aab1.tmp")));
  EXPECT_NE(logLines().back().find(": Trevanta Software finished."), std::string::npos);
}

// Loader threads run here (the suite name puts it under the thread checker).
class VelmoraAppThreads : public VelmoraAppSequence {};

TEST_F(VelmoraAppThreads, LoaderSwitchArmsTheMonitorTimer) {
  // A service that refuses connections: the threads fail fast, and exit
  // still finds them running or stopped, never waiting on a window.
  WriteFile(folder_.file("Config.ini"),
            "StartRealTimeQuoteLoader=Yes\rYahooRealTimeQuoteSpreadSheetURL=http://127.0.0.1:1/d/quotes.csv\r"
            "YahooHistoryQuoteSpreadSheetURL=http://127.0.0.1:1/table.csv\rYahooHistoryQuoteURL=http://"
            "127.0.0.1:1/q/hp\r");
  auto app = makeApp();
  ASSERT_TRUE(app->InitInstance());
  EXPECT_EQ(opened_, std::vector<std::string>{"http://127.0.0.1:1/stock-chart.php?symbol=NASDAQ"});
  ASSERT_TRUE(app->monitorView()->loaderStartArmed());
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (app->monitorView()->loaderStartArmed() && std::chrono::steady_clock::now() < deadline)
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  EXPECT_FALSE(app->monitorView()->loaderStartArmed());
  EXPECT_GE(loaderPool().RunningThreadCount() + loaderPool().thread(0).failCount(), 1);

  test::AnswerNextMessageBox(QMessageBox::Yes, nullptr);
  app->mainFrame()->close();
  EXPECT_EQ(loaderPool().RunningThreadCount(), 0);
  app->ExitInstance();
  EXPECT_NE(logLines().back().find(": Trevanta Software finished."), std::string::npos);
}

// The toolkit hands the C library the user's locale (here a German one, as
// QApplication does with LC_ALL set); settings still read "12.5" as twelve
// and a half, and the System Parameters dialog saves it as "12.50".
TEST_F(VelmoraAppSequence, SettingsRoundTripUnderAGermanLocale) {
  const test::GeneratedLocale& german = test::GermanLocale();
  ASSERT_FALSE(german.path.empty()) << "localedef could not make " << german.name;
  test::ScopedVariable locPath("LOCPATH", german.path);
  ASSERT_NE(std::setlocale(LC_ALL, german.name.c_str()), nullptr);
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.2f", 1.5);
  ASSERT_STREQ(probe, "1,50") << "the German locale is in force";

  WriteFile(folder_.file("Config.ini"), "StartRealTimeQuoteLoader=No\r\nThresholdToEMA10=12.5\r\n");
  auto app = makeApp();
  const bool started = app->InitInstance();
  EXPECT_DOUBLE_EQ(systemConfig().ThresholdToEMA10, 12.5);
  if (started) {
    test::WhenModalShown([](QWidget* modal) {
      for (QPushButton* b : modal->findChildren<QPushButton*>())
        if (b->text() == "Save") b->click();
    });
    app->monitorView()->systemParameter();
  }
  app->ExitInstance();
  std::setlocale(LC_ALL, "C");
  ASSERT_TRUE(started);
  EXPECT_NE(ReadFile(folder_.file("Config.ini")).find("\r\nThresholdToEMA10=12.50\r\n"), std::string::npos)
      << ReadFile(folder_.file("Config.ini"));
  // The log's stamps keep English names.
  ASSERT_FALSE(logLines().empty());
  EXPECT_EQ(logLines().back().find("Montag"), std::string::npos);
  EXPECT_EQ(logLines().back().find("Dezember"), std::string::npos);
}

// Save in System Parameters keeps the quote-service addresses the file set:
// the next start (here the headless program in the same folder) still
// loads from that service.
TEST_F(VelmoraAppSequence, SavedParametersKeepTheQuoteServiceAddresses) {
  test::StandinServer standin;
  ASSERT_TRUE(standin.ok());
  const std::string base = standin.baseUrl();
  WriteFile(folder_.file("Config.ini"),
            "StartRealTimeQuoteLoader=No\r\nYahooHistoryQuoteSpreadSheetURL=" + base +
                "/table.csv\r\nYahooRealTimeQuoteSpreadSheetURL=" + base + "/d/quotes.csv\r\n");
  WriteFile(folder_.file("List.dat"), "MSFT\n");
  {
    auto app = makeApp();
    ASSERT_TRUE(app->InitInstance());
    test::WhenModalShown([](QWidget* modal) {
      for (QPushButton* b : modal->findChildren<QPushButton*>())
        if (b->text() == "Save") b->click();
    });
    app->monitorView()->systemParameter();
    app->ExitInstance();
  }
  const std::string saved = ReadFile(folder_.file("Config.ini"));
  EXPECT_NE(saved.find("YahooRealTimeQuoteSpreadSheetURL=" + base + "/d/quotes.csv\r\n"), std::string::npos)
      << saved;

  WriteFile(folder_.file("Config.ini"), saved + "StartRealTimeQuoteLoader=Yes\r\n");
  test::ChildProcess monitor({test::BinPath("velmora-monitor"), "--passes", "1"}, folder_.path());
  ASSERT_EQ(monitor.Wait(std::chrono::seconds(60)), 0) << monitor.DrainStderr();
  EXPECT_GT(SplitLines(ReadFile(folder_.file("MSFT.csv"))).size(), 100u) << "loaded from the saved address";
}

TEST(WebChartPage, AtTheConfiguredQuoteHost) {
  SystemConfig config;
  SetConfigDefaults(config);
  EXPECT_EQ(WebChartPageUrl(config, "NASDAQ"), "http://127.0.0.1:18321/stock-chart.php?symbol=NASDAQ");
  config.YahooRealTimeQuoteSpreadSheetURL = "https://quotes.example:8443/d/quotes.csv?x=1";
  EXPECT_EQ(WebChartPageUrl(config, "NASDAQ"), "https://quotes.example:8443/stock-chart.php?symbol=NASDAQ");
  config.YahooRealTimeQuoteSpreadSheetURL = "not a url";  // falls back to the stand-in's address
  EXPECT_EQ(WebChartPageUrl(config, "NASDAQ"), "http://127.0.0.1:18321/stock-chart.php?symbol=NASDAQ");
}

}  // namespace
}  // namespace velmora
