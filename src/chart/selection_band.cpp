#include "chart/selection_band.h"

#include <algorithm>
#include <cstdlib>

#include "core/chart_dates.h"

namespace velmora {

namespace {

bool hasBar(const ChartViewModel& m, int i) { return i >= 0 && i < m.data.barCount(); }

}  // namespace

void StartSelection(ChartViewModel& m, int x, int y) {
  m.bandLeft = m.bandRight = x;
  m.bandTop = m.bandBottom = y;
  m.selecting = 1;
}

bool SelectionBandShown(const ChartViewModel& m) {
  return m.bandRight != m.bandLeft || m.bandBottom != m.bandTop;
}

void DrawSelectionBand(Surface& surface, const ChartViewModel& m) {
  SurfaceRestorer restore(surface);
  surface.setRasterMode(RasterMode::Xor);
  surface.selectPen(Pen::solid(kSelectionBandColour));
  surface.selectBrush(Brush::solid(kSelectionBandColour));
  surface.rectangle({m.bandLeft, m.bandTop, m.bandRight, m.bandBottom});
}

void UpdateSelectionBand(Surface& surface, ChartViewModel& m, int x, int y) {
  if (SelectionBandShown(m)) DrawSelectionBand(surface, m);
  m.bandRight = x;
  m.bandBottom = y;
  const int e = m.barAtX(m.bandLeft);
  const int f = m.barAtX(x);
  double high = 0;
  double low = 999999999.99;
  // Only bars the series holds; the visible range never reaches past it.
  for (int i = std::max(std::min(e, f), 0); i <= std::max(e, f) && i < m.data.barCount(); ++i) {
    high = std::max(high, m.bar(i).high);
    low = std::min(low, m.bar(i).low);
  }
  m.bandTop = m.yOfPrice(high);
  m.bandBottom = m.yOfPrice(low);
  if (m.bandRight > m.plotRight()) m.bandRight = m.plotRight();
  DrawSelectionBand(surface, m);
}

bool SelectionIsDrag(const ChartViewModel& m) { return std::abs(m.bandRight - m.bandLeft) > m.barSpacing; }

bool SelectionDates(const ChartViewModel& m, std::string& startDate, std::string& endDate) {
  const int first = m.barAtX(m.bandLeft);
  const int second = m.barAtX(m.bandRight);
  if (!hasBar(m, first) || !hasBar(m, second)) return false;
  CalendarDate a, b;
  ParseDate(m.bar(first).date, a.year, a.month, a.day);
  ParseDate(m.bar(second).date, b.year, b.month, b.day);
  if (DateKeyOf(b) < DateKeyOf(a)) std::swap(a, b);
  startDate = FormatSettingsDate(a);
  endDate = FormatSettingsDate(b);
  return true;
}

}  // namespace velmora
