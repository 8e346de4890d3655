#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QStatusBar>

#include "app/ui/main_frame.h"
#include "qt_test_environment.h"

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
