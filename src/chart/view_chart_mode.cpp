// The chart-mode members of CVelmoraView. For now a chart view paints only
// its background (the paint entry fills it); the chart's loading step, layout,
// painters, pointer overlays and commands come here.
#include "chart/velmora_view.h"

namespace velmora {

void CVelmoraView::paintChart(Surface&) {
  chart.clientWidth = clientWidth;
  chart.clientHeight = clientHeight;
  chart.repainted = 1;
}

void CVelmoraView::chartResized() {
  chart.clientWidth = clientWidth;
  chart.clientHeight = clientHeight;
  chart.updateBarSpacing();
}

void CVelmoraView::chartFocusIn() { invalidate(); }

void CVelmoraView::chartPointerMove(int x, int y) {
  chart.lastPointerX = x;
  chart.lastPointerY = y;
}

void CVelmoraView::chartButtonDown(int, int) {}

void CVelmoraView::chartButtonUp(int, int) {}

void CVelmoraView::chartDoubleClick(int, int) {}

}  // namespace velmora
