#pragma once

#include <span>
#include <string>
#include <vector>

#include "alerts/alert.h"
#include "alerts/alert_rules.h"
#include "core/quote_bar.h"

namespace velmora {

// One event found on a security's bars: what, and the bar it belongs to.
// The same event on the same day is the same event, whichever index its bar
// has by then, so events are told apart by `key` and `dateKey`.
struct AlertEvent {
  AlertKind kind = AlertKind::kBuy;
  std::string key;      // "buy", "sell", "trend-up", "trend-down", "above:420.50", ...
  std::string text;     // for people: "buy signal", "above 420.50", ...
  std::string barDate;  // the bar's date text
  int dateKey = 0;      // the bar's date as year * 10000 + month * 100 + day
  int bar = 0;          // its index when found (0 newest)

  bool SameAs(const AlertEvent& other) const { return dateKey == other.dateKey && key == other.key; }
};

// The signal events of a security's newest bars: the "B" and "S" marks of
// the bars the buy and sell lists look at, and the trend changes of the
// bars the trend lists look at (up or down as the changed bar's trend).
// Bars without a date are passed over.
std::vector<AlertEvent> SignalEvents(std::span<const QuoteBar> bars);

// The signal events that the evening before the newest bar showed: a full
// computation with the loader's periods over every bar but the newest
// (which `history` is not changed by). Empty for fewer than three bars.
std::vector<AlertEvent> PreviousDayEvents(std::span<const QuoteBar> history, bool isIndex, int confirmDays);

// The rules met by the newest bar, each an event of that bar's day.
std::vector<AlertEvent> PriceRuleEvents(std::span<const PriceRule> rules, const QuoteBar& newest);

// Whether `events` holds one the same as `event`.
bool HasEvent(std::span<const AlertEvent> events, const AlertEvent& event);

}  // namespace velmora
