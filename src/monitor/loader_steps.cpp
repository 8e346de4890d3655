#include "monitor/loader_steps.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "core/compute_indicators.h"
#include "core/signal_engine.h"
#include "monitor/local_history_writer.h"
#include "net/quote_result.h"

namespace velmora {

namespace {

constexpr int kHistoryYears = 3;

void computeMonitored(bool incremental, bool isIndex, int start, std::span<QuoteBar> bars, SignalState& state,
                      int confirmDays) {
  computeIndicators(incremental, isIndex, kLoaderRsiPeriod, kLoaderStochLookback, kLoaderStochSmoothing,
                    kLoaderStochSlowing, start, 0, bars, state, confirmDays);
}

// Whether two quotes of one security say the same: what a quote record
// brings (the two further numbers follow the last price).
bool SameQuote(const QuoteBar& a, const QuoteBar& b) {
  return a.close == b.close && a.open == b.open && a.high == b.high && a.low == b.low &&
         a.volume == b.volume && std::strcmp(a.date, b.date) == 0 && std::strcmp(a.time, b.time) == 0;
}

}  // namespace

int ProcessSecurityHistory(SecurityEntry& entry, QuoteSource& source, QuoteSeries& history, std::time_t today,
                           int confirmDays, SecurityEvents* events) {
  SecurityData data;
  entry.Snapshot(data);
  if (data.historyLoaded) return kQuoteOk;

  std::tm local{};
  localtime_r(&today, &local);
  const int year = local.tm_year + 1900;
  const int month = local.tm_mon + 1;
  // Slot 0 is filled by the load (a copy of the newest row) or, with no row,
  // by the quote alone: nothing of an earlier security may remain in it.
  history[0].Reset();
  source.ForSecurity(data.displaySymbol);
  const int slots = source.LoadHistory(data.querySymbol, year - kHistoryYears, month, local.tm_mday, year,
                                       month, local.tm_mday, kHistoryCapacity, history.data());
  if (slots <= 0) return slots;
  history.count = std::min(slots, kHistoryCapacity);

  const int quote =
      source.LoadRealTime(data.querySymbol, {&history[0], &data.quoteExtra1, &data.quoteExtra2});
  if (quote <= 0) return quote;

  const bool isIndex = data.isIndex != 0;
  computeMonitored(false, isIndex, history.count - 1, BarsOf(history), data.signalState, confirmDays);

  // The newest bars only; a short history leaves the rest fresh rather than
  // keeping bars of the security loaded before it.
  const int kept = std::min(history.count, kMonitoredBars);
  data.bars.ResetAll();
  for (int i = 0; i < kept; ++i) data.bars[i].CopyFrom(history[i]);
  data.bars.count = kept;
  data.refreshBars = (confirmDays < 0 ? 0 : confirmDays) + 1;
  rollBackNewestBars(BarsOf(data.bars), data.refreshBars, data.signalState);

  // The files are a copy for the user; a symbol refused by the writer is
  // logged there and the security is still monitored.
  (void)WriteLocalHistoryFiles(data, history.count, history.data());
  data.historyLoaded = 1;
  entry.PublishHistory(data);
  if (events != nullptr) events->SecurityLoaded(data, BarsOf(history), confirmDays);
  return kQuoteOk;
}

int ProcessSecurityRealTime(SecurityEntry& entry, QuoteSource& source, int confirmDays, bool* changed,
                            SecurityEvents* events) {
  SecurityData data;
  entry.Snapshot(data);
  const QuoteBar before = data.bars[0];
  const int quote =
      source.LoadRealTime(data.querySymbol, {&data.bars[0], &data.quoteExtra1, &data.quoteExtra2});
  if (quote <= 0) return quote;
  if (changed != nullptr) *changed = !SameQuote(before, data.bars[0]);
  SignalState scratch = data.signalState;
  computeMonitored(true, data.isIndex != 0, data.refreshBars - 1, BarsOf(data.bars), scratch, confirmDays);
  entry.PublishQuote(data);
  if (events != nullptr) events->SecurityRefreshed(data);
  return kQuoteOk;
}

}  // namespace velmora
