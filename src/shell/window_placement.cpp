#include "shell/window_placement.h"

namespace velmora {

WindowRect MainWindowPlacement(int sw, int sh, int areaWidth, int areaHeight, int frameX, int frameY) {
  WindowRect r;
  if (sw == -1) {
    r.x = 0;
    r.width = areaWidth - 2 * frameY;
  } else if (sw == 0) {
    r.x = 32;
    r.width = areaWidth - 2 * frameY - 64;
  } else {
    r.width = sw;
    r.x = (areaWidth - sw) / 2;
  }
  if (sh == -1) {
    r.y = 0;
    r.height = areaHeight - 2 * frameY;
  } else if (sh == 0) {
    r.y = 32;
    r.height = areaHeight - 2 * frameY - 32;
  } else {
    r.height = sh;
    r.y = areaHeight - 2 * frameX - sh;
  }
  return r;
}

WindowRect ChildWindowPlacement(int clientWidth, int clientHeight, int frameY, int menuButtonHeight) {
  return WindowRect{0, 0, clientWidth - frameY, clientHeight - menuButtonHeight};
}

}  // namespace velmora
