#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "alerts/alert.h"

namespace velmora {

// The alerts raised but not yet delivered to every output that keeps what
// it is owed across runs, beside Alerts.state. A run that ends with alerts
// still owed (a slow command at the end of --passes) writes them here; the
// next start delivers each to the outputs it names, and only to those.
inline constexpr const char* kAlertPendingFile = "Alerts.pending";

// The outputs that keep what they are owed, as the file names them.
inline constexpr const char* kJsonLinesOutput = "json-lines";
inline constexpr const char* kCommandOutput = "command";

// One alert still owed, with its memory key (so a restart that finds it
// here never raises it again) and the outputs that still wait for it.
struct PendingAlert {
  Alert alert;
  std::string eventKey;  // as Alerts.state writes it: "buy", "above:420.50"
  int dateKey = 0;       // the bar's date as YYYYMMDD
  std::vector<std::string> outputs;
};

// The file's text: a comment line, then one JSON object a line with the
// outputs, the memory key and the alert's fields (those of the JSON lines
// output, "kind" its event word):
//
//   {"outputs":["command"],"eventKey":"buy","dateKey":20261207,"symbol":"MSFT",...}
std::string FormatPendingAlerts(const std::vector<PendingAlert>& alerts);

// The alerts of a file's text. A line that does not read (cut short, an
// unknown kind, no outputs) is skipped and counted in `skipped`; an output
// named twice counts once.
std::vector<PendingAlert> ParsePendingAlerts(std::string_view text, std::size_t& skipped);

}  // namespace velmora
