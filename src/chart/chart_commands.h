#pragma once

// What the chart view's clicks open: the Detail Quote dialog for a bar.

#include "chart/chart_model.h"

class QWidget;

namespace velmora {

// The bar a click or double click at x names: only inside the plot
// (leftMargin <= x <= clientWidth - axisWidth) and only a visible bar of
// the series; -1 otherwise.
int DetailQuoteBarAt(const ChartViewModel& model, int x);

// What the Detail Quote dialog is opened with for chart bar i: the bars
// from i backwards (bar i is the dialog's bar 0), a full computation over
// all of them and the chart's trend state.
struct DetailQuoteRequest {
  const QuoteBar* bars = nullptr;
  int count = 0;
  bool isIndex = false;
  bool incremental = false;
  int start = 0;
  int end = 0;
};
DetailQuoteRequest ChartDetailQuoteRequest(const ChartViewModel& model, int bar);

// A click or double click at x on a chart: the modal Detail Quote dialog
// for the bar there; false (nothing shown) when x names no bar.
[[nodiscard]] bool OpenChartDetailQuote(QWidget* owner, const ChartViewModel& model, int x);

}  // namespace velmora
