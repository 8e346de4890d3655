#include "chart/chart_commands.h"

#include "chart/detail_quote_dialog.h"
#include "core/chart_window.h"

namespace velmora {

int DetailQuoteBarAt(const ChartViewModel& m, int x) {
  if (x < m.leftMargin || x > m.plotRight() || m.barSpacing <= 0) return -1;
  const int i = m.data.oldestVisible - TruncToInt((x - m.leftMargin) / m.barSpacing);
  if (i < m.data.newestVisible || i > m.data.oldestVisible) return -1;
  if (i < 0 || i >= m.data.barCount()) return -1;
  return i;
}

DetailQuoteRequest ChartDetailQuoteRequest(const ChartViewModel& m, int bar) {
  DetailQuoteRequest r;
  r.bars = &m.data.bars[bar];
  r.count = m.data.barCount() - bar;
  r.isIndex = IsIndexChart(m.settings);
  r.incremental = false;
  r.start = r.count - 1;
  r.end = 0;
  return r;
}

bool OpenChartDetailQuote(QWidget* owner, const ChartViewModel& m, int x) {
  const int bar = DetailQuoteBarAt(m, x);
  if (bar < 0) return false;
  const DetailQuoteRequest r = ChartDetailQuoteRequest(m, bar);
  // The back-test box sums up the chart's whole series.
  ShowDetailQuote(owner, r.bars, r.count, r.isIndex, r.incremental, r.start, r.end, m.data.signalState,
                  std::span<const QuoteBar>(m.data.bars.data(), static_cast<std::size_t>(m.data.barCount())));
  return true;
}

}  // namespace velmora
