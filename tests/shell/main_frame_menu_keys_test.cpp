#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

#include "shell/child_view.h"
#include "shell/main_frame.h"
#include "support/qt/qt_test_environment.h"

namespace velmora {
namespace {

class KeyView : public QWidget, public ChildView {
 public:
  KeyView() { setFocusPolicy(Qt::StrongFocus); }
  unsigned currentViewMode() const override { return 0; }
  int keys = 0;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    ++keys;
    event->accept();
  }
};

QMenu* menuOf(CMainFrame& frame, const QString& title) {
  for (QAction* a : frame.menuBar()->actions())
    if (a->text() == title) return a->menu();
  return nullptr;
}

QAction* itemOf(QMenu* menu, const QString& text) {
  for (QAction* a : menu->actions())
    if (a->text() == text) return a;
  return nullptr;
}

// Opens `menu` as a user would and waits until it is the open popup.
void openMenu(QMenu* menu) {
  menu->popup(QPoint(10, 10));
  QTRY_VERIFY(QApplication::activePopupWidget() == menu);
}

void closeMenu(QMenu* menu) {
  menu->hide();
  QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
}

struct FrameWithMonitor {
  FrameWithMonitor() {
    frame.show();
    view = new KeyView;
    frame.openChild(view);
    frame.commands().statistics = [this] { ++statistics; };
    frame.commands().searchSymbol = [this] { ++searches; };
    view->setFocus();
  }
  CMainFrame frame;
  KeyView* view = nullptr;
  int statistics = 0;
  int searches = 0;
};

TEST(MainFrameMenuKeys, ToolsShowsTheMonitorKeysWhileOpenAndStatisticsRuns) {
  FrameWithMonitor f;
  QMenu* tools = menuOf(f.frame, "&Tools");
  ASSERT_NE(tools, nullptr);
  QAction* search = itemOf(tools, "&Search Symbol");
  QAction* statistics = itemOf(tools, "Statistics");
  ASSERT_NE(search, nullptr);
  ASSERT_NE(statistics, nullptr);
  EXPECT_EQ(statistics->statusTip(), "Get statistics information.");

  openMenu(tools);
  EXPECT_EQ(search->shortcut(), QKeySequence(Qt::Key_F));
  EXPECT_EQ(statistics->shortcut(), QKeySequence(Qt::Key_S));
  closeMenu(tools);

  statistics->trigger();
  EXPECT_EQ(f.statistics, 1);
}

TEST(MainFrameMenuKeys, TheMonitorKeepsItsKeysWhenNoMenuIsOpen) {
  FrameWithMonitor f;
  // A menu opened and closed once leaves no key behind.
  QMenu* tools = menuOf(f.frame, "&Tools");
  openMenu(tools);
  closeMenu(tools);
  // Keys go to the monitor of the active window, as a user types them.
  f.frame.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f.frame));
  f.view->setFocus();
  ASSERT_TRUE(f.view->hasFocus());
  QTest::keyClick(f.view, Qt::Key_S);
  QTest::keyClick(f.view, Qt::Key_F);
  EXPECT_EQ(f.view->keys, 2);
  // Nor from the menu bar's letter navigation while it has the focus.
  f.frame.menuBar()->setFocus();
  QTest::keyClick(f.frame.menuBar(), Qt::Key_S);
  QTest::keyClick(f.frame.menuBar(), Qt::Key_Escape);
  EXPECT_EQ(f.statistics, 0);
  EXPECT_EQ(f.searches, 0);
}

TEST(MainFrameMenuKeys, StatisticsIsInToolsBeforeAnyChildWindowToo) {
  CMainFrame frame;
  int statistics = 0;
  frame.commands().statistics = [&] { ++statistics; };
  frame.show();
  QMenu* tools = menuOf(frame, "&Tools");
  ASSERT_NE(tools, nullptr);
  QMenu* config = menuOf(frame, "&Config");
  openMenu(config);
  EXPECT_EQ(itemOf(config, "&Search Symbol")->shortcut(), QKeySequence(Qt::Key_F));
  closeMenu(config);
  itemOf(tools, "Statistics")->trigger();
  EXPECT_EQ(statistics, 1);
}

TEST(MainFrameStatusText, LoaderTextsWaitWhileAMenuIsOpen) {
  FrameWithMonitor f;
  f.frame.setStatusText("Loading MSFT ...");
  QMenu* file = menuOf(f.frame, "&File");
  openMenu(file);
  // The prompt of the item under the pointer, as the menu shows it.
  QAction* buy = itemOf(file, "&Buy List");
  file->setActiveAction(buy);
  QTRY_COMPARE(f.frame.statusText(), QString("Stocks with buy signal"));
  f.frame.setStatusText("Loading IBM ...");
  f.frame.setStatusText("Loading AAPL ...");
  QTest::qWait(300);
  EXPECT_EQ(f.frame.statusText(), "Stocks with buy signal");
  closeMenu(file);
  // The latest text, not the first held back.
  QTRY_COMPARE(f.frame.statusText(), QString("Loading AAPL ..."));
  // With no menu open a text shows at once.
  f.frame.setStatusText("Ready");
  EXPECT_EQ(f.frame.statusText(), "Ready");
}

}  // namespace
}  // namespace velmora
