// The desktop program remembers its windows from one run to the next.
#include "shell/window_state.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "monitor/security_store.h"
#include "shell/main_frame.h"
#include "shell/open_chart.h"
#include "shell/velmora_app.h"
#include "shell/velmora_view.h"
#include "support/qt/qt_test_environment.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::FileExists;
using test::ReadFile;
using test::WriteFile;

constexpr char kConfig[] =
    "StartRealTimeQuoteLoader=No\rScreenWidth=800\rScreenHeight=-1\r"
    "YahooRealTimeQuoteSpreadSheetURL=http://127.0.0.1:45679/d/quotes.csv\r";

class WindowStateRestart : public ::testing::Test {
 protected:
  WindowStateRestart() : cwd_(folder_.path()) { WriteFile(folder_.file("Config.ini"), kConfig); }
  ~WindowStateRestart() override { SetConfigDefaults(systemConfig()); }

  std::unique_ptr<CVelmoraApp> start() {
    AppEnvironment environment;
    environment.openWebPage = [](const std::string&) {};
    environment.webPagePauseMs = 0;
    auto app = std::make_unique<CVelmoraApp>(environment);
    EXPECT_TRUE(app->InitInstance());
    return app;
  }
  // The user's way out: the exit question answered Yes.
  static void exitByUser(std::unique_ptr<CVelmoraApp> app) {
    test::AnswerNextMessageBox(QMessageBox::Yes, nullptr);
    app->mainFrame()->close();
    app->ExitInstance();
  }
  std::vector<CVelmoraView*> charts(CVelmoraApp& app) const {
    std::vector<CVelmoraView*> out;
    for (QMdiSubWindow* w : app.mainFrame()->mdiArea()->subWindowList(QMdiArea::CreationOrder))
      if (auto* v = qobject_cast<CVelmoraView*>(w->widget()); v && v->viewMode == CVelmoraView::kChartMode)
        out.push_back(v);
    return out;
  }
  test::TempFolder folder_;
  test::ScopedCurrentDir cwd_;
};

TEST_F(WindowStateRestart, PlaceScrollAndChartsComeBackAndConfigIsUntouched) {
  const std::string config = ReadFile(folder_.file("Config.ini"));
  std::string csv = "Date,Open,High,Low,Close,Volume\n";
  for (int d = 1; d <= 10; ++d) {
    char row[64];
    std::snprintf(row, sizeof row, "2026-11-%02d,10,12,8,%d,500\n", d, 10 + d);
    csv += row;
  }
  WriteFile(folder_.file("mine, old.csv"), csv);
  ChartSettings local;
  local.symbol = "MINE";
  local.source = 1;
  local.filePath = folder_.file("mine, old.csv");
  local.duration = "Customize";
  local.startDate = "11/01/2026";
  local.endDate = "11/10/2026";
  local.period = "Weekly";
  local.showRsi = 0;
  local.emaPeriods[4] = 150;

  {
    auto app = start();
    ASSERT_GT(securityStore().count(), 3);
    const QRect moved(140, 90, 700, 520);
    app->mainFrame()->setGeometry(moved);
    app->monitorView()->topRow = 3;
    ASSERT_NE(OpenChartWindow(*app->mainFrame(), app->monitorView()->context(), -1, local), nullptr);
    exitByUser(std::move(app));
    ASSERT_TRUE(FileExists(folder_.file("Velmora.state")));

    app = start();
    EXPECT_EQ(app->mainFrame()->geometry(), moved);
    EXPECT_FALSE(app->mainFrame()->isMaximized());
    EXPECT_EQ(app->monitorView()->topRow, 3);
    const std::vector<CVelmoraView*> open = charts(*app);
    ASSERT_EQ(open.size(), 1u);
    const ChartSettings& back = open[0]->chart.settings;
    EXPECT_EQ(back.symbol, "MINE");
    EXPECT_EQ(back.source, 1);
    EXPECT_EQ(back.filePath, local.filePath);
    EXPECT_EQ(back.duration, "Customize");
    EXPECT_EQ(back.startDate, "11/01/2026");
    EXPECT_EQ(back.endDate, "11/10/2026");
    EXPECT_EQ(back.period, "Weekly");
    EXPECT_EQ(back.showRsi, 0);
    EXPECT_EQ(back.emaPeriods[4], 150);

    // Maximised, the charts closed, scrolled back to the top.
    app->mainFrame()->showMaximized();
    // Closed once loaded (closing a chart while it loads is another matter).
    for (CVelmoraView* chart : charts(*app)) chart->renderIfNeeded();
    for (CVelmoraView* chart : charts(*app)) chart->parentWidget()->close();
    QCoreApplication::processEvents();
    app->monitorView()->topRow = 0;
    exitByUser(std::move(app));

    app = start();
    EXPECT_TRUE(app->mainFrame()->isMaximized());
    EXPECT_EQ(app->mainFrame()->normalGeometry(), moved);
    EXPECT_EQ(app->monitorView()->topRow, 0);
    EXPECT_TRUE(charts(*app).empty());
    exitByUser(std::move(app));
  }
  EXPECT_EQ(ReadFile(folder_.file("Config.ini")), config);
}

TEST_F(WindowStateRestart, MissingOrDamagedStateStartsFromTheSettings) {
  QRect placed;  // where the settings put the frame with no state file
  {
    auto app = start();
    placed = app->mainFrame()->geometry();
    EXPECT_FALSE(app->mainFrame()->isMaximized());
    EXPECT_EQ(placed.width(), 800);  // ScreenWidth
    // Not yet written: only a confirmed exit writes it.
    EXPECT_FALSE(FileExists(folder_.file("Velmora.state")));
    app->ExitInstance();
    EXPECT_FALSE(FileExists(folder_.file("Velmora.state")));
  }
  for (const char* damaged :
       {"\xff\xfe\x01garbage\n[[[", "[MainWindow]\nX=10\nY=10\nWidth=abc\nHeight=400\nMaximized=0\n",
        "[MainWindow]\nX=10\nY=10\nWidth=0\nHeight=0\nMaximized=1\n",
        // A place on a screen that is not there any more.
        "[MainWindow]\nX=-90000\nY=-90000\nWidth=600\nHeight=400\nMaximized=0\n[Monitor]\nTopRow=-5\n"}) {
    SCOPED_TRACE(damaged);
    WriteFile(folder_.file("Velmora.state"), damaged);
    auto app = start();
    EXPECT_FALSE(app->mainFrame()->isMaximized());
    EXPECT_EQ(app->mainFrame()->geometry(), placed);
    EXPECT_EQ(app->monitorView()->topRow, 0);
    EXPECT_TRUE(charts(*app).empty());
    app->ExitInstance();
  }
}

// A hostile state file: a window far larger than any screen is fitted onto
// one, sizes past any desktop are damage, a FIFO in the file's place does not
// hold start-up, a chart of /dev/zero fails at once instead of reading for
// ever, and no view draws a canvas larger than its desktop.
TEST_F(WindowStateRestart, HostileStateIsFittedRefusedOrFailsAtOnce) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  WriteFile(folder_.file("Velmora.state"),
            "[MainWindow]\nX=5\nY=5\nWidth=20000\nHeight=20000\nMaximized=0\n"
            "[Charts]\n1\\Symbol=ZERO\n1\\Source=1\n1\\FilePath=/dev/zero\n1\\Period=Daily\n"
            "1\\RsiPeriod=2147483647\nsize=1\n");
  {
    QString error;
    test::WhenModalShown([&error](QWidget* modal) {
      if (auto* box = qobject_cast<QMessageBox*>(modal)) error = box->text();
      modal->close();
    });
    auto app = start();
    EXPECT_LE(app->mainFrame()->width(), screen.width());
    EXPECT_LE(app->mainFrame()->height(), screen.height());
    QTRY_VERIFY_WITH_TIMEOUT(!error.isEmpty(), 20000);
    EXPECT_TRUE(error.startsWith("Can not load history quote for 'ZERO'")) << error.toStdString();
    app->ExitInstance();
  }
  for (const char* damaged : {"[MainWindow]\nX=0\nY=0\nWidth=2147483647\nHeight=2147483647\nMaximized=0\n",
                              "[MainWindow]\nX=-2147483648\nY=0\nWidth=600\nHeight=400\nMaximized=0\n"}) {
    WriteFile(folder_.file("Velmora.state"), damaged);
    WindowState state;
    EXPECT_FALSE(ReadWindowState(QString::fromStdString(folder_.file("Velmora.state")), state)) << damaged;
  }
  std::remove(folder_.file("Velmora.state").c_str());
  ASSERT_EQ(::mkfifo(folder_.file("Velmora.state").c_str(), 0600), 0);
  start()->ExitInstance();  // returns: nothing waits for a writer

  CVelmoraView view;
  view.resize(20000, 20000);
  view.show();
  QTRY_COMPARE(view.width(), 20000);
  const QSize most = QSize(4096, 4096).expandedTo(view.screen()->virtualSize()) * view.canvasRatio();
  EXPECT_LE(view.canvas().width(), most.width());
  EXPECT_LE(view.canvas().height(), most.height());
}

// The session ends the real program with SIGTERM at logout (SIGINT at a
// terminal): its windows are remembered as a confirmed Exit remembers them.
TEST(WindowStateStopSignal, TheRealProgramRemembersItsWindows) {
  for (const int signo : {SIGTERM, SIGINT}) {
    test::TempFolder folder;
    WriteFile(folder.file("Config.ini"), kConfig);
    test::ScopedVariable path("PATH", "/nonexistent");  // no opener for the start-up page
    // The first picture is saved once start-up has put every window in place.
    test::ScopedVariable shot("VELMORA_SNAPSHOT", folder.file("shown.png"));
    test::ChildProcess velmora({test::BinPath("velmora")}, folder.path());
    for (int i = 0; i < 600 && !FileExists(folder.file("shown.png")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    velmora.Signal(signo);
    ASSERT_EQ(velmora.Wait(std::chrono::seconds(20)), 0) << signo;
    WindowState saved;
    EXPECT_TRUE(ReadWindowState(QString::fromStdString(folder.file("Velmora.state")), saved)) << signo;
    EXPECT_EQ(saved.geometry.width(), 800) << "ScreenWidth";
  }
}

TEST(WindowStateFile, DamagedChartsAreLeftOutAndTheRowStaysInTheList) {
  test::TempFolder folder;
  const QString path = QString::fromStdString(folder.file("Velmora.state"));
  WriteFile(folder.file("Velmora.state"),
            "[MainWindow]\nX=0\nY=0\nWidth=640\nHeight=480\nMaximized=0\n[Monitor]\nTopRow=100000\n"
            "[Charts]\n1\\Symbol=\n2\\Symbol=IBM\n2\\Period=Hourly\n3\\Symbol=AAPL\n3\\Source=7\n"
            "4\\Symbol=MSFT\n4\\RsiPeriod=x\nsize=4\n");
  WindowState state;
  ASSERT_TRUE(ReadWindowState(path, state));
  ASSERT_EQ(state.charts.size(), 1u);
  EXPECT_EQ(state.charts[0].symbol, "MSFT");
  EXPECT_EQ(state.charts[0].rsiPeriod, 14);  // unreadable: the default

  CVelmoraView monitor;
  RestoreMonitorScroll(monitor, state);
  EXPECT_EQ(monitor.topRow, std::max(securityStore().count() - 1, 0));
}

}  // namespace
}  // namespace velmora
