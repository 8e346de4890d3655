#include "shell/main_frame.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>

#include "support/qt/qt_test_environment.h"

namespace velmora {
namespace {

using test::AnsweredBox;
using test::AnswerNextMessageBox;

QAction* findAction(QWidget* w, const QString& text) {
  for (QAction* a : w->findChildren<QAction*>())
    if (a->text() == text) return a;
  return nullptr;
}

TEST(MainFrameExit, TitleStatusAndMenu) {
  CMainFrame frame;
  frame.show();
  EXPECT_EQ(frame.windowTitle(), "Trevanta Software");
  EXPECT_EQ(frame.statusBar()->currentMessage(), "Ready");
  EXPECT_NE(findAction(&frame, "E&xit"), nullptr);
}

TEST(MainFrameExit, NoKeepsTheWindowOpen) {
  CMainFrame frame;
  int stops = 0;
  frame.setBeforeClose([&] { ++stops; });
  frame.show();
  AnsweredBox box;
  AnswerNextMessageBox(QMessageBox::No, &box);
  findAction(&frame, "E&xit")->trigger();
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.caption, "Warnning");
  EXPECT_EQ(box.text, "Are you sure to exit Trevanta Software?");
  EXPECT_TRUE(frame.isVisible());
  EXPECT_FALSE(frame.exitConfirmed());
  EXPECT_EQ(stops, 0);
}

TEST(MainFrameExit, YesRunsTheShutdownStepAndCloses) {
  CMainFrame frame;
  int stops = 0;
  frame.setBeforeClose([&] { ++stops; });
  frame.show();
  AnsweredBox box;
  AnswerNextMessageBox(QMessageBox::Yes, &box);
  frame.close();  // the window's close box takes the same path
  EXPECT_TRUE(box.seen);
  EXPECT_FALSE(frame.isVisible());
  EXPECT_TRUE(frame.exitConfirmed());
  EXPECT_EQ(stops, 1);
}

}  // namespace
}  // namespace velmora

#include <QMdiArea>
#include <QMdiSubWindow>

#include "shell/child_frame.h"
#include "shell/child_view.h"

namespace velmora {
namespace {

class FakeView : public QWidget, public ChildView {
 public:
  explicit FakeView(unsigned mode) : mode_(mode) {}
  unsigned currentViewMode() const override { return mode_; }

 private:
  unsigned mode_;
};

QStringList menuTitles(CMainFrame& frame) {
  QStringList titles;
  for (QAction* a : frame.menuBar()->actions()) titles << a->text();
  return titles;
}

QStringList itemsOf(CMainFrame& frame, const QString& title) {
  QStringList items;
  for (QAction* a : frame.menuBar()->actions()) {
    if (a->text() != title || a->menu() == nullptr) continue;
    for (QAction* item : a->menu()->actions())
      items << (item->isSeparator() ? QStringLiteral("-") : item->text());
  }
  return items;
}

TEST(MainFrameMenus, BothMenuSetsWithTheirTexts) {
  CMainFrame frame;
  frame.show();
  EXPECT_EQ(menuTitles(frame), QStringList({"&File", "&Chart", "&Config", "&View", "&Tools", "&Help"}));
  EXPECT_EQ(itemsOf(frame, "&File"), QStringList({"E&xit"}));
  EXPECT_EQ(itemsOf(frame, "&Config"), QStringList({"&Search Symbol", "System &Parameter"}));
  EXPECT_EQ(itemsOf(frame, "&Tools"), QStringList({"Statistics"}));
  EXPECT_EQ(itemsOf(frame, "&Help"), QStringList({"&About Velmora...", "&Keyboard Shortcuts"}));

  frame.openChild(new FakeView(0));
  EXPECT_TRUE(frame.showingChildMenus());
  EXPECT_EQ(menuTitles(frame),
            QStringList({"&File", "&Edit", "&View", "&Config", "&Chart", "&Tools", "&Window", "&Help"}));
  EXPECT_EQ(itemsOf(frame, "&File"), QStringList({"Status Report", "Trend Up List", "Trend Down List",
                                                  "&Buy List", "Sell List", "Log Infomation", "-", "E&xit"}));
  EXPECT_EQ(itemsOf(frame, "&Config"), QStringList({"System &Parameter", "Stock List"}));
  EXPECT_EQ(itemsOf(frame, "&Tools"), QStringList({"&Search Symbol", "Statistics"}));
  EXPECT_EQ(itemsOf(frame, "&Edit"), QStringList({"&Add Security...", "&Remove Security"}));
  EXPECT_EQ(itemsOf(frame, "&Help"), QStringList({"&About Trevanta...", "&Keyboard Shortcuts"}));
  EXPECT_EQ(itemsOf(frame, "&View"), QStringList({"&Status Bar", "&Alerts"}));
}

TEST(MainFrameMenus, CommandsReachTheirHandlersWithPrompts) {
  CMainFrame frame;
  int charts = 0, buys = 0;
  frame.commands().chart = [&] { ++charts; };
  frame.commands().buyList = [&] { ++buys; };
  frame.show();
  frame.openChild(new FakeView(0));
  for (QAction* a : frame.menuBar()->actions()) {
    if (a->text() == "&Chart") {
      EXPECT_EQ(a->statusTip(), "Draw chart and analyse stock.");
      a->trigger();
    }
  }
  for (QAction* a : frame.findChildren<QAction*>()) {
    if (a->text() == "&Buy List") {
      EXPECT_EQ(a->statusTip(), "Stocks with buy signal");
      a->trigger();
    }
    if (a->text() == "E&xit") {
      EXPECT_EQ(a->statusTip(), "Quit the application; prompts to save documents");
    }
  }
  EXPECT_EQ(charts, 1);
  EXPECT_EQ(buys, 1);
}

TEST(MainFrameChildren, MonitorWindowIgnoresCloseAndChartCloses) {
  CMainFrame frame;
  frame.show();
  CChildFrame* monitor = frame.openChild(new FakeView(0));
  QPointer<CChildFrame> chart = frame.openChild(new FakeView(1));
  EXPECT_EQ(monitor->geometry().topLeft(), QPoint(0, 0));
  monitor->close();
  EXPECT_TRUE(monitor->isVisible());
  chart->close();
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(chart.isNull());
  EXPECT_EQ(frame.mdiArea()->subWindowList().size(), 1);
}

TEST(MainFrameChildren, ExitStopsLoadersShowsTheCountAndClosesEveryChild) {
  CMainFrame frame;
  frame.show();
  frame.openChild(new FakeView(0));
  std::vector<std::string> order;
  frame.commands().activeThreadCount = [&] {
    order.push_back("count");
    return 0;
  };
  frame.commands().stopLoaders = [&] {
    order.push_back("stop:" + frame.statusText().toStdString());
    EXPECT_EQ(frame.mdiArea()->subWindowList().size(), 1);  // windows close after the threads stop
  };
  AnsweredBox box;
  AnswerNextMessageBox(QMessageBox::Yes, &box);
  frame.close();
  EXPECT_EQ(order, (std::vector<std::string>{"count", "stop:Current active thread number: 0"}));
  EXPECT_FALSE(frame.isVisible());
  EXPECT_TRUE(frame.mdiArea()->subWindowList().isEmpty());
}

}  // namespace
}  // namespace velmora
