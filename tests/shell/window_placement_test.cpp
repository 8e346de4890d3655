#include "shell/window_placement.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(WindowPlacement, MainWindowRules) {
  // Custom width centred, full height from the top.
  WindowRect r = MainWindowPlacement(800, -1, 1024, 768, 4, 4);
  EXPECT_EQ(r.x, 112);
  EXPECT_EQ(r.width, 800);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.height, 768 - 8);

  r = MainWindowPlacement(0, 0, 1024, 768, 4, 4);
  EXPECT_EQ(r.x, 32);
  EXPECT_EQ(r.width, 1024 - 8 - 64);
  EXPECT_EQ(r.y, 32);
  EXPECT_EQ(r.height, 768 - 8 - 32);

  // A custom height sits against the bottom of the work area.
  r = MainWindowPlacement(-1, 600, 1024, 768, 3, 4);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.width, 1024 - 8);
  EXPECT_EQ(r.height, 600);
  EXPECT_EQ(r.y, 768 - 6 - 600);

  // Integer division truncates toward zero, even for a width above the area.
  r = MainWindowPlacement(1025, 0, 1024, 768, 4, 4);
  EXPECT_EQ(r.x, 0);
  r = MainWindowPlacement(1027, 0, 1024, 768, 4, 4);
  EXPECT_EQ(r.x, -1);
}

TEST(WindowPlacement, ChildWindow) {
  const WindowRect r = ChildWindowPlacement(1000, 700, 4, 20);
  EXPECT_EQ(r.x, 0);
  EXPECT_EQ(r.y, 0);
  EXPECT_EQ(r.width, 996);
  EXPECT_EQ(r.height, 680);
}

}  // namespace
}  // namespace velmora
