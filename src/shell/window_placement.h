#pragma once

namespace velmora {

struct WindowRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// Where the main window goes for the ScreenWidth / ScreenHeight settings:
// -1 fills the work area, 0 fills it less margins, another value is a size
// in pixels (a custom width is centred, a custom height sits at the bottom).
// areaWidth/areaHeight: a maximised window's size; frameX/frameY: the
// horizontal and vertical thickness of a sizing frame.
WindowRect MainWindowPlacement(int screenWidth, int screenHeight, int areaWidth, int areaHeight, int frameX,
                               int frameY);

// A child window at (0, 0) of the frame's client area, a frame thickness
// narrower and a menu-bar button lower than it.
WindowRect ChildWindowPlacement(int clientWidth, int clientHeight, int frameY, int menuButtonHeight);

}  // namespace velmora
