#pragma once

#include <string>

#include "base/system_config.h"

namespace velmora::test {

// Settings whose three quote-service addresses point at a stand-in service
// at `base` ("http://127.0.0.1:PORT"), with the given history service.
inline SystemConfig StandinConfig(const std::string& base, int historyServer = kHistoryYahooSpreadSheet) {
  SystemConfig c;
  c.YahooHistoryQuoteSpreadSheetURL = base + "/table.csv";
  c.YahooHistoryQuoteURL = base + "/q/hp";
  c.YahooRealTimeQuoteSpreadSheetURL = base + "/d/quotes.csv";
  c.HistoryQuoteServer = historyServer;
  return c;
}

}  // namespace velmora::test
