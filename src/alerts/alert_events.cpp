#include "alerts/alert_events.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/compute_indicators.h"
#include "monitor/local_history_writer.h"
#include "monitor/report_writer.h"

namespace velmora {

namespace {

// The date key of a bar that has a date; 0 for a fresh bar, whose date is
// blanks (ParseDate would read that as today).
int dateKeyOf(const QuoteBar& bar) {
  return std::strpbrk(bar.date, "0123456789") == nullptr ? 0 : bar.DateKey();
}

AlertEvent eventOf(AlertKind kind, const char* key, const QuoteBar& bar, int index) {
  AlertEvent e;
  e.kind = kind;
  e.key = key;
  e.text = AlertKindWord(kind);
  e.barDate = bar.date;
  e.dateKey = dateKeyOf(bar);
  e.bar = index;
  return e;
}

}  // namespace

const char* AlertKindWord(AlertKind kind) {
  switch (kind) {
    case AlertKind::kBuy:
      return "buy signal";
    case AlertKind::kSell:
      return "sell signal";
    case AlertKind::kTrendUp:
      return "trend up";
    case AlertKind::kTrendDown:
      return "trend down";
    case AlertKind::kAbove:
      return "above";
    case AlertKind::kBelow:
      return "below";
    case AlertKind::kMove:
      return "move";
  }
  return "";
}

std::vector<AlertEvent> SignalEvents(std::span<const QuoteBar> bars) {
  std::vector<AlertEvent> events;
  const int marked = std::min(static_cast<int>(bars.size()), kSignalBars);
  // Oldest first, so the alerts of one update come in the order of their bars.
  for (int i = marked - 1; i >= 0; --i) {
    const QuoteBar& bar = bars[static_cast<std::size_t>(i)];
    if (dateKeyOf(bar) == 0) continue;
    if (i < kTrendChangeBars && bar.trendChanged != 0)
      events.push_back(bar.trend == kUp ? eventOf(AlertKind::kTrendUp, "trend-up", bar, i)
                                        : eventOf(AlertKind::kTrendDown, "trend-down", bar, i));
    if (std::strcmp(bar.signalMark, "B") == 0) events.push_back(eventOf(AlertKind::kBuy, "buy", bar, i));
    if (std::strcmp(bar.signalMark, "S") == 0) events.push_back(eventOf(AlertKind::kSell, "sell", bar, i));
  }
  return events;
}

std::vector<AlertEvent> PreviousDayEvents(std::span<const QuoteBar> history, bool isIndex, int confirmDays) {
  if (history.size() < 3) return {};
  // Bars of its own: the computation writes every derived field.
  const std::size_t n = std::min(history.size() - 1, static_cast<std::size_t>(kHistoryCapacity));
  std::vector<QuoteBar> evening(history.begin() + 1, history.begin() + 1 + static_cast<long>(n));
  SignalState state;
  computeIndicators(false, isIndex, kLoaderRsiPeriod, kLoaderStochLookback, kLoaderStochSmoothing,
                    kLoaderStochSlowing, static_cast<int>(n) - 1, 0, evening, state, confirmDays);
  return SignalEvents(evening);
}

std::vector<AlertEvent> PriceRuleEvents(std::span<const PriceRule> rules, const QuoteBar& newest) {
  std::vector<AlertEvent> events;
  if (dateKeyOf(newest) == 0) return events;
  for (const PriceRule& rule : rules) {
    if (!PriceRuleMet(rule, newest.close, newest.changePercent)) continue;
    AlertEvent e = eventOf(rule.kind, AlertKindWord(rule.kind), newest, 0);
    e.text = PriceRuleText(rule);
    // One word in the state file: "above:420.50", "move:2.50".
    char key[64];
    std::snprintf(key, sizeof key, "%s:%.2f", AlertKindWord(rule.kind), rule.level);
    e.key = key;
    if (!HasEvent(events, e)) events.push_back(std::move(e));
  }
  return events;
}

bool HasEvent(std::span<const AlertEvent> events, const AlertEvent& event) {
  return std::any_of(events.begin(), events.end(), [&](const AlertEvent& e) { return e.SameAs(event); });
}

}  // namespace velmora
