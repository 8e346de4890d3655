#include "chart/chart_commands.h"

#include <memory>

#include "chart/detail_quote_dialog.h"
#include "core/chart_window.h"
#include "monitor/security_store.h"

namespace velmora {

int detailQuoteBarAt(const ChartViewModel& m, int x) {
  if (x < m.leftMargin || x > m.plotRight() || m.barSpacing <= 0) return -1;
  const int i = m.data.oldestVisible - truncToInt((x - m.leftMargin) / m.barSpacing);
  if (i < m.data.newestVisible || i > m.data.oldestVisible) return -1;
  if (i < 0 || i >= m.data.barCount()) return -1;
  return i;
}

DetailQuoteRequest chartDetailQuoteRequest(const ChartViewModel& m, int bar) {
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
  const int bar = detailQuoteBarAt(m, x);
  if (bar < 0) return false;
  const DetailQuoteRequest r = chartDetailQuoteRequest(m, bar);
  ShowDetailQuote(owner, r.bars, r.count, r.isIndex, r.incremental, r.start, r.end, m.data.signalState);
  return true;
}

bool OpenMonitorDetailQuote(QWidget* owner, const SecurityStore& store, int index, int confirmDays) {
  // A copy: a loader thread may update the entry while the dialog is open,
  // and the dialog must never write into it.
  auto copy = std::make_unique<SecurityData>();
  if (index < 0 || index >= store.count() || !store.Read(index, *copy)) return false;
  ShowDetailQuote(owner, copy->bars.data(), kMonitoredBars, copy->isIndex != 0, true, confirmDays, 0,
                  copy->signalState);
  return true;
}

}  // namespace velmora
