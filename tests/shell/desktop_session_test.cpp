// The desktop program as a user spends a day with it, against the real
// stand-in quote service: the watch list changed on disk and through the
// Edit menu while the loader threads run ("Threads"), and a dozen charts
// tiled and cascaded. With VELMORA_DOC_SHOTS set to a folder, the tiled and
// cascaded windows are saved there (docs/window-tile.png, window-cascade.png).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTest>
#include <chrono>

#include "monitor/security_store.h"
#include "shell/main_frame.h"
#include "shell/velmora_app.h"
#include "shell/velmora_view.h"
#include "support/qt/qt_test_environment.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::ReadFile;
using test::WriteFile;

class WatchListThreads : public ::testing::Test {
 protected:
  WatchListThreads() : cwd_(folder_.path()) {}
  ~WatchListThreads() override {
    if (app_) app_->ExitInstance();
    app_.reset();
    SetConfigDefaults(systemConfig());
  }

  void SetUp() override {
    ASSERT_TRUE(service_.ok());
    const std::string url = service_.baseUrl();
    WriteFile(folder_.file("Config.ini"), "QuoteInterval=1\r\nYahooRealTimeQuoteSpreadSheetURL=" + url +
                                              "/d/quotes.csv\r\nYahooHistoryQuoteSpreadSheetURL=" + url +
                                              "/table.csv\r\nYahooHistoryQuoteURL=" + url + "/q/hp\r\n");
    WriteFile(folder_.file("List.dat"), "MSFT   -- Microsoft\r\nIBM\r\n");
    AppEnvironment environment;
    environment.openWebPage = [](const std::string&) {};
    environment.webPagePauseMs = 0;
    app_ = std::make_unique<CVelmoraApp>(environment);
    ASSERT_TRUE(app_->InitInstance());
  }

  static bool loaded(const char* symbol) {
    const int i = FindSecurity(symbol);
    return i >= 0 && std::string(securityStore().entry(i).displaySymbol()) == symbol &&
           securityStore().entry(i).historyLoaded();
  }
  void trigger(const QString& text) {
    for (QAction* a : app_->mainFrame()->findChildren<QAction*>())
      if (a->text() == text) {
        a->trigger();
        return;
      }
    ADD_FAILURE() << text.toStdString();
  }
  // Edit > Add Security with `symbol` typed into its question.
  void add(const QString& symbol) {
    test::WhenModalShown([symbol](QWidget* modal) {
      auto* edit = modal->findChild<QLineEdit*>();
      ASSERT_NE(edit, nullptr);
      QTest::keyClicks(edit, symbol);
      qobject_cast<QDialog*>(modal)->accept();
    });
    trigger("&Add Security...");
  }

  test::TempFolder folder_;
  test::ScopedCurrentDir cwd_;
  test::StandinServer service_;
  std::unique_ptr<CVelmoraApp> app_;
};

TEST_F(WatchListThreads, TheListFollowsItsFileAndTheEditMenu) {
  CMainFrame* frame = app_->mainFrame();
  CVelmoraView* monitor = app_->monitorView();
  QTRY_VERIFY_WITH_TIMEOUT(loaded("MSFT") && loaded("IBM"), 30000);

  // Written on disk by an editor: IBM goes, AAPL comes and loads, MSFT keeps
  // its bars; the selection stays on MSFT.
  monitor->showSecurityAtTop(FindSecurity("MSFT"));
  WriteFile(folder_.file("List.dat"), "AAPL\r\nMSFT   -- Microsoft\r\n");
  // Said in the status bar, and kept in the log once the loader's texts follow.
  QTRY_VERIFY_WITH_TIMEOUT(
      ReadFile("Trevanta Software.log")
              .find("List.dat reloaded: 1 added (AAPL), 1 removed (IBM); 2 securities.") != std::string::npos,
      20000);
  EXPECT_EQ(FindSecurity("IBM"), -1);
  EXPECT_TRUE(loaded("MSFT"));
  EXPECT_EQ(monitor->selectedSecurity(), FindSecurity("MSFT"));
  QTRY_VERIFY_WITH_TIMEOUT(loaded("AAPL"), 30000);
  EXPECT_NE(ReadFile("Status.txt").find("AAPL"), std::string::npos);
  EXPECT_EQ(ReadFile("Status.txt").find("IBM"), std::string::npos);

  // Edit > Add: the line goes at the end in the file's line ends.
  add("NFLX");
  EXPECT_EQ(ReadFile("List.dat"), "AAPL\r\nMSFT   -- Microsoft\r\nNFLX\r\n");
  EXPECT_EQ(frame->statusText(), QStringLiteral("List.dat reloaded: 1 added (NFLX); 3 securities."));
  QTRY_VERIFY_WITH_TIMEOUT(loaded("NFLX"), 30000);

  // A symbol already listed, in another case, is refused and nothing changes.
  test::AnsweredBox box;
  test::AnswerNextMessageBox(QMessageBox::Ok, &box);
  add("msft");
  EXPECT_EQ(box.text, "'MSFT' is already in the list.");
  EXPECT_EQ(securityStore().count(), 3);

  // Edit > Remove takes the selected security's line alone.
  monitor->showSecurityAtTop(FindSecurity("MSFT"));
  test::AnswerNextMessageBox(QMessageBox::Yes, &box);
  trigger("&Remove Security");
  EXPECT_EQ(box.text, "Remove MSFT from the stock list?");
  EXPECT_EQ(ReadFile("List.dat"), "AAPL\r\nNFLX\r\n");
  EXPECT_EQ(FindSecurity("MSFT"), -1);
  EXPECT_EQ(securityStore().count(), 2);
  EXPECT_TRUE(loaded("AAPL"));
}

TEST_F(WatchListThreads, ElevenChartsTileAndCascadeInsideTheMainWindow) {
  CMainFrame* frame = app_->mainFrame();
  frame->showNormal();
  frame->resize(1600, 1000);
  WriteFile(folder_.file("List.dat"), "MSFT\nIBM\nAAPL\nNFLX\nAMD\nINTC\nORCL\nCSCO\nADBE\nQCOM\nTXN\n");
  QTRY_COMPARE_WITH_TIMEOUT(securityStore().count(), 11, 20000);
  std::vector<CVelmoraView*> charts;
  for (int i = 0; i < 11; ++i) charts.push_back(app_->openChart(i, securityStore().entry(i).querySymbol()));
  for (CVelmoraView* chart : charts) {
    ASSERT_NE(chart, nullptr);
    chart->renderIfNeeded();
  }
  for (CVelmoraView* chart : charts) QTRY_COMPARE_WITH_TIMEOUT(chart->loaded, 1u, 30000);
  const QSize frameSize = frame->size();
  const char* shots = std::getenv("VELMORA_DOC_SHOTS");
  auto arrange = [&](const QString& item, const char* shot) {
    trigger(item);
    QApplication::processEvents();
    EXPECT_EQ(frame->size(), frameSize) << item.toStdString();
    for (CVelmoraView* chart : charts) chart->renderIfNeeded();
    if (shots != nullptr) frame->grab().save(QString::fromLocal8Bit(shots) + "/" + shot);
  };
  arrange("&Tile", "window-tile.png");
  const QSize area = frame->mdiArea()->viewport()->size();
  for (QMdiSubWindow* w : frame->mdiArea()->subWindowList()) {
    EXPECT_GE(w->width(), w->minimumSizeHint().width());
    EXPECT_LE(w->geometry().right(), area.width());
  }
  arrange("&Cascade", "window-cascade.png");
  for (QMdiSubWindow* w : frame->mdiArea()->subWindowList()) {
    EXPECT_GE(w->width(), area.width() / 2);
    EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(w->geometry()));
  }
}

}  // namespace
}  // namespace velmora
