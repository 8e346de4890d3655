#pragma once

#include <string>

namespace velmora {

// What a new chart window shows, as chosen in the "Chart Setting" sheet.
// Dates are "mm/dd/yyyy" texts.
struct ChartSettings {
  std::string symbol = "MSFT";  // as the quote services are asked for it
  // A monitored security's own name and index flag when the symbol is one
  // the list renames (^DJI is shown as DJIA): the title and the history
  // files then name the same security as the monitor row. Empty and -1 for
  // any other symbol.
  std::string displayName;
  int isIndex = -1;
  int source = 0;  // 0 online, 1 local file
  std::string filePath;
  std::string style = "Candle";
  std::string duration = "6 months";
  std::string startDate;
  std::string endDate;
  std::string period = "Daily";  // "Daily", "Weekly" or "Monthly"
  int showVolume = 1;
  int showRsi = 1;
  int rsiPeriod = 14;
  int showMacd = 0;
  int showStochastics = 1;
  int stochFirst = 14;  // %K look-back
  int stochSecond = 3;  // %K smoothing
  int stochThird = 3;   // slowing
  int showEma = 1;
  int emaPeriods[5] = {10, 20, 50, 100, 200};
  // The back-test's trades as arrows on the price panel, with a summary of
  // the visible bars' trades under the legend.
  int showBacktest = 0;
};

}  // namespace velmora
