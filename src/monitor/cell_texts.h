#pragma once

#include <cstdint>
#include <string>

#include "monitor/security_entry.h"

namespace velmora {

// Volumes (and average volumes) above this show in thousands with a 'K':
// the widest column then still holds eight digits.
inline constexpr std::int64_t kVolumeInThousandsAbove = 99999999;

// A volume as the table shows it: "30622938", or "123456K" above
// kVolumeInThousandsAbove.
std::string VolumeText(std::int64_t volume);

// A price or any other figure with two decimals, exactly as "%.2lf" prints
// it in the "C" locale.
std::string FixedText(double value);

// The texts of one monitored security's row, each as the desktop's table
// and the web view show it (the desktop right-aligns them in columns as
// wide as the widest text).
struct MonitorRowTexts {
  std::string open, high, low, close;
  std::string volume, volumeAverage;
  std::string volumeRatio;  // the day's volume as a multiple of its average
  std::string change;
  std::string changePercent;  // with its '%'
  std::string toEma10;
  std::string ema[4];  // the 5, 10, 20 and 50-day averages
  char above[4];       // their flags ('Y' when the price is above), blank for none
  std::string rsi, stochK, stochD;
  std::string marks[5];  // the marks of bars 0 to 4 ("B", "S" or empty)
};

// The row texts of a security whose history has loaded (bar 0 the newest).
MonitorRowTexts MakeMonitorRowTexts(const SecurityData& security);

}  // namespace velmora
