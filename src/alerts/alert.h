#pragma once

#include <string>

namespace velmora {

// The alerts' files, beside List.dat: the user's price rules, the memory of
// what was raised, and the day's alerts.
inline constexpr const char* kAlertRulesFile = "Alerts.dat";
inline constexpr const char* kAlertStateFile = "Alerts.state";
inline constexpr const char* kAlertReportFile = "Alerts.txt";

// What happened to a security that the user is told about.
enum class AlertKind {
  kBuy,        // a new "B" mark
  kSell,       // a new "S" mark
  kTrendUp,    // a confirmed trend change up, as the trend-up report lists it
  kTrendDown,  // a confirmed trend change down
  kAbove,      // a price rule of Alerts.dat: the last price rose above its level
  kBelow,      // ... fell below its level
  kMove,       // ... the day's change went beyond ± its percent
};

// "buy signal", "sell signal", "trend up", "trend down", "above", "below",
// "move": the event word of the log, Alerts.txt, the JSON lines and
// VELMORA_ALERT_EVENT.
const char* AlertKindWord(AlertKind kind);

// One alert, raised once per security, event and bar date.
struct Alert {
  std::string symbol;  // the display symbol
  AlertKind kind = AlertKind::kBuy;
  std::string event;    // the event for people: "buy signal", "above 420.50", "move beyond 2.50%"
  std::string barDate;  // the date text of the bar the event belongs to
  double price = 0;     // the last price when it was raised
  double change = 0;    // the day's change and change percent then
  double changePercent = 0;
  std::string time;  // when it was raised, local time "2026-12-08 15:31:07"
};

// Where alerts go. Deliver runs on a delivery thread of this sink's own,
// never on a loader thread; it may take its time (a desktop notification, a
// command) without holding up any other sink, but not for ever.
class AlertSink {
 public:
  virtual ~AlertSink() = default;
  virtual void Deliver(const Alert& alert) = 0;
};

}  // namespace velmora
