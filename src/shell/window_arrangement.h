#pragma once

// Where Window > Tile and Window > Cascade put the child windows inside the
// main window's client area, which they never grow.

#include <vector>

#include "shell/window_placement.h"

namespace velmora {

struct ArrangeArea {
  int width = 0;  // the client area
  int height = 0;
  int minWidth = 1;  // the least size any of the windows can be drawn in
  int minHeight = 1;
};

// `count` windows as a grid: as many columns as the least width allows (no
// more than a square grid needs), the rows sharing the height; when the
// rows do not fit at the least height they keep it and the area scrolls.
std::vector<WindowRect> TileRects(int count, const ArrangeArea& area);

// `count` windows of two thirds of the area (never less than the least
// size, nor more than the area unless the least size is), each `step`
// pixels right and down of the one before, starting over at the top-left
// corner before a window would leave the area.
std::vector<WindowRect> CascadeRects(int count, const ArrangeArea& area, int step);

}  // namespace velmora
