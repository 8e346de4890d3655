#pragma once

// The range selection of a chart: while the left button is held, a yellow
// band in XOR runs from the press point to the pointer and from the highest
// high to the lowest low of the bars it covers. XOR lets the next move (or
// the release) take it away exactly.

#include <string>

#include "chart/chart_model.h"
#include "draw/surface.h"

namespace velmora {

inline constexpr QRgb kSelectionBandColour = rgb(255, 255, 0);

// Left button down at (x, y): the band becomes that point (nothing is drawn)
// and selecting starts. The caller takes the price label away first.
void StartSelection(ChartViewModel& model, int x, int y);

// The pointer at (x, y) while selecting: the old band off, the band's right
// end to x, its top and bottom to the highest high and lowest low of the
// bars from the press point to x, its right end clipped at the plot's right
// edge, and the new band on.
void UpdateSelectionBand(Surface& surface, ChartViewModel& model, int x, int y);

// The band as it stands, in XOR (drawing it twice puts the canvas back).
void DrawSelectionBand(Surface& surface, const ChartViewModel& model);

// Whether the band has been drawn at all (a band that is still the press
// point has not).
bool SelectionBandShown(const ChartViewModel& model);

// A release after a drag over more than one bar slot; anything shorter is
// a click.
bool SelectionIsDrag(const ChartViewModel& model);

// The dates of the bars at the band's two ends, "%02d/%02d/%04d", the
// earlier one first. False when an end names no bar of the series.
[[nodiscard]] bool SelectionDates(const ChartViewModel& model, std::string& startDate, std::string& endDate);

}  // namespace velmora
