#include "shell/window_arrangement.h"

#include <algorithm>
#include <cmath>

namespace velmora {

std::vector<WindowRect> TileRects(int count, const ArrangeArea& area) {
  std::vector<WindowRect> rects;
  if (count <= 0) return rects;
  const int minWidth = std::max(1, area.minWidth);
  const int minHeight = std::max(1, area.minHeight);
  const int fitColumns = std::max(1, area.width / minWidth);
  const int squareColumns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
  const int columns = std::min({fitColumns, squareColumns, count});
  const int rows = (count + columns - 1) / columns;
  const int cellWidth = std::max(minWidth, area.width / columns);
  const int cellHeight = std::max(minHeight, area.height / rows);
  for (int i = 0; i < count; ++i) {
    const int row = i / columns;
    const int column = i % columns;
    // The last row's windows share its width.
    const int inRow = row == rows - 1 ? count - row * columns : columns;
    const int width = std::max(minWidth, area.width / inRow);
    WindowRect r;
    r.x = column * (row == rows - 1 ? width : cellWidth);
    r.y = row * cellHeight;
    r.width = row == rows - 1 ? width : cellWidth;
    r.height = cellHeight;
    // The last column takes what division left over.
    if (column == inRow - 1 && r.x + r.width < area.width) r.width = area.width - r.x;
    rects.push_back(r);
  }
  return rects;
}

std::vector<WindowRect> CascadeRects(int count, const ArrangeArea& area, int step) {
  std::vector<WindowRect> rects;
  if (count <= 0) return rects;
  step = std::max(1, step);
  const int width = std::max(std::max(1, area.minWidth), area.width * 2 / 3);
  const int height = std::max(std::max(1, area.minHeight), area.height * 2 / 3);
  // How many windows fit down the diagonal before one would leave the area.
  const int room = std::min(area.width - width, area.height - height);
  const int perRun = std::max(1, room / step + 1);
  for (int i = 0; i < count; ++i) {
    const int offset = (i % perRun) * step;
    rects.push_back({offset, offset, width, height});
  }
  return rects;
}

}  // namespace velmora
