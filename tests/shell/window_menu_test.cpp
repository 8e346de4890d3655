// The Window menu as a user meets it: the keys that cycle and close the child
// windows, the numbered list of open windows, Cascade and Tile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>

#include "shell/child_frame.h"
#include "shell/child_view.h"
#include "shell/main_frame.h"
#include "support/qt/qt_test_environment.h"

namespace velmora {
namespace {

class TitledView : public QWidget, public ChildView {
 public:
  TitledView(unsigned mode, const QString& title) : mode_(mode) {
    setWindowTitle(title);
    setFocusPolicy(Qt::StrongFocus);
  }
  unsigned currentViewMode() const override { return mode_; }

 private:
  unsigned mode_;
};

QMenu* menuOf(CMainFrame& frame, const QString& title) {
  for (QAction* a : frame.menuBar()->actions())
    if (a->text() == title) return a->menu();
  return nullptr;
}

// A monitor and three charts, the last chart active, the keyboard in it.
class WindowMenu : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_.resize(900, 700);
    frame_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame_));
    monitor_ = frame_.openChild(new TitledView(0, "Real-time Quote"));
    for (const char* title :
         {"MSFT - 6 months daily chart", "IBM - 1 year weekly chart", "AAPL - 5 years monthly chart"})
      charts_ << frame_.openChild(new TitledView(1, title));
    frame_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame_));
  }

  QMdiSubWindow* active() const { return frame_.mdiArea()->activeSubWindow(); }

  // Keys go where a user's go: to the focused view of the active window.
  void press(QKeyCombination key) {
    QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : &frame_;
    QTest::keyClick(target, key.key(), key.keyboardModifiers());
    QApplication::processEvents();
  }

  // Opens the Window menu as a user would and returns its items as it shows
  // them ("*" marks a checked one).
  QStringList openWindowMenu(QMenu** shown) {
    QMenu* menu = menuOf(frame_, "&Window");
    *shown = menu;
    if (menu == nullptr) return {};
    menu->popup(QPoint(10, 10));
    waitForPopup(menu);
    QStringList items;
    for (QAction* a : menu->actions())
      items << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isChecked() ? " *" : ""));
    return items;
  }

  void waitForPopup(QMenu* menu) { QTRY_VERIFY(QApplication::activePopupWidget() == menu); }

  void closeMenu(QMenu* menu) {
    menu->hide();
    QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
  }

  void flushDeletes() {
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
  }

  CMainFrame frame_;
  CChildFrame* monitor_ = nullptr;
  QList<QPointer<CChildFrame>> charts_;
};

TEST_F(WindowMenu, CtrlTabGoesRoundEveryWindowAndShiftGoesBack) {
  ASSERT_EQ(active(), charts_[2]);
  // Not just between the last two: every window in turn, then round again.
  const QList<QMdiSubWindow*> forward = {monitor_, charts_[0], charts_[1], charts_[2], monitor_};
  for (QMdiSubWindow* expected : forward) {
    press(Qt::CTRL | Qt::Key_Tab);
    EXPECT_EQ(active(), expected) << expected->windowTitle().toStdString();
  }
  const QList<QMdiSubWindow*> backward = {charts_[2], charts_[1], charts_[0], monitor_};
  for (QMdiSubWindow* expected : backward) {
    press(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab);
    EXPECT_EQ(active(), expected) << expected->windowTitle().toStdString();
  }
}

TEST_F(WindowMenu, CloseKeysCloseTheActiveChartButNeverTheMonitor) {
  press(Qt::CTRL | Qt::Key_W);
  flushDeletes();
  EXPECT_TRUE(charts_[2].isNull());
  ASSERT_EQ(frame_.mdiArea()->subWindowList().size(), 3);

  frame_.mdiArea()->setActiveSubWindow(charts_[0]);
  press(Qt::CTRL | Qt::Key_F4);
  flushDeletes();
  EXPECT_TRUE(charts_[0].isNull());
  EXPECT_FALSE(charts_[1].isNull());

  frame_.mdiArea()->setActiveSubWindow(monitor_);
  press(Qt::CTRL | Qt::Key_W);
  press(Qt::CTRL | Qt::Key_F4);
  flushDeletes();
  EXPECT_TRUE(monitor_->isVisible());
  EXPECT_EQ(frame_.mdiArea()->subWindowList().size(), 2);
}

TEST_F(WindowMenu, ListNamesTheWindowsChecksTheActiveAndActivatesTheChosen) {
  QMenu* menu = nullptr;
  const QStringList first = openWindowMenu(&menu);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(first, QStringList({"&Cascade", "&Tile", "C&lose", "-", "Ne&xt", "Pre&vious", "-",
                                "&1 Real-time Quote", "&2 MSFT - 6 months daily chart",
                                "&3 IBM - 1 year weekly chart", "&4 AAPL - 5 years monthly chart *"}));
  for (QAction* a : menu->actions())
    if (a->text().startsWith("&2 ")) a->trigger();
  closeMenu(menu);
  EXPECT_EQ(active(), charts_[0]);

  // The list follows the windows: a closed chart leaves it, the check moves.
  charts_[1]->close();
  flushDeletes();
  const QStringList items = openWindowMenu(&menu);
  closeMenu(menu);
  EXPECT_EQ(items.mid(7), QStringList({"&1 Real-time Quote", "&2 MSFT - 6 months daily chart *",
                                       "&3 AAPL - 5 years monthly chart"}));
}

TEST_F(WindowMenu, ListStopsAtNineWindows) {
  for (int i = 0; i < 7; ++i) frame_.openChild(new TitledView(1, QStringLiteral("C%1").arg(i)));
  ASSERT_EQ(frame_.mdiArea()->subWindowList().size(), 11);
  QMenu* menu = nullptr;
  const QStringList items = openWindowMenu(&menu);
  closeMenu(menu);
  ASSERT_EQ(items.size(), 7 + 9);
  EXPECT_EQ(items.last(), "&9 C4");
}

TEST_F(WindowMenu, CascadeOverlapsAndTileSharesTheArea) {
  auto trigger = [this](const QString& text) {
    for (QAction* a : menuOf(frame_, "&Window")->actions())
      if (a->text() == text) a->trigger();
    QApplication::processEvents();
  };
  const QList<QMdiSubWindow*> windows = frame_.mdiArea()->subWindowList();
  trigger("&Tile");
  const QRect area = frame_.mdiArea()->viewport()->rect();
  for (int i = 0; i < windows.size(); ++i) {
    EXPECT_TRUE(area.contains(windows[i]->geometry())) << i;
    for (int j = i + 1; j < windows.size(); ++j)
      EXPECT_FALSE(windows[i]->geometry().intersects(windows[j]->geometry())) << i << " " << j;
  }

  trigger("&Cascade");
  // Each window sits below and to the right of the one before it.
  for (int i = 1; i < windows.size(); ++i) {
    EXPECT_GT(windows[i]->geometry().top(), windows[i - 1]->geometry().top()) << i;
    EXPECT_GT(windows[i]->geometry().left(), windows[i - 1]->geometry().left()) << i;
    EXPECT_TRUE(windows[i]->geometry().intersects(windows[i - 1]->geometry())) << i;
  }
}

// Eleven charts that can not be drawn smaller than 420 x 330 in a frame of
// 1600 x 1000: Tile and Cascade keep to the frame's area and never grow it.
TEST_F(WindowMenu, ElevenLargeChartsTileAndCascadeWithinTheFrame) {
  frame_.resize(1600, 1000);
  QApplication::processEvents();
  for (int i = 0; i < 8; ++i) {
    auto* view = new TitledView(1, QStringLiteral("C%1").arg(i));
    view->setMinimumSize(420, 330);
    frame_.openChild(view);
  }
  for (QMdiSubWindow* w : charts_) w->widget()->setMinimumSize(420, 330);
  const QSize frameSize = frame_.size();
  const QSize least = charts_.first()->minimumSizeHint();
  auto trigger = [this](const QString& text) {
    for (QAction* a : menuOf(frame_, "&Window")->actions())
      if (a->text() == text) a->trigger();
    QApplication::processEvents();
  };
  const QList<QMdiSubWindow*> windows = frame_.mdiArea()->subWindowList();
  ASSERT_EQ(windows.size(), 12);

  trigger("&Tile");
  const QSize area = frame_.mdiArea()->viewport()->size();
  EXPECT_EQ(frame_.size(), frameSize);
  for (int i = 0; i < windows.size(); ++i) {
    const QRect r = windows[i]->geometry();
    EXPECT_GE(r.width(), least.width()) << i;
    EXPECT_GE(r.height(), least.height()) << i;
    EXPECT_LE(r.right(), area.width()) << i;  // rows may scroll, columns never leave the area
    for (int j = i + 1; j < windows.size(); ++j) EXPECT_FALSE(r.intersects(windows[j]->geometry())) << i << j;
  }

  trigger("&Cascade");
  EXPECT_EQ(frame_.size(), frameSize);
  for (QMdiSubWindow* w : windows) {
    EXPECT_GE(w->width(), area.width() / 2);
    EXPECT_GE(w->height(), area.height() / 2);
    EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(w->geometry()));
  }
  EXPECT_EQ(frame_.mdiArea()->activeSubWindow(), windows.last());
}

}  // namespace
}  // namespace velmora
