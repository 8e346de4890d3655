#pragma once

#include <string>

#include "monitor/security_store.h"

namespace velmora {

inline constexpr const char* kStatusReportFile = "Status.txt";
inline constexpr const char* kBuyReportFile = "SecurityWithBuySignal.txt";
inline constexpr const char* kSellReportFile = "SecurityWithSellSignal.txt";
inline constexpr const char* kTrendUpReportFile = "SecurityWithTrendChangedUp.txt";
inline constexpr const char* kTrendDownReportFile = "SecurityWithTrendChangedDown.txt";

// Bars the buy and sell lists look at, and bars the trend lists look at.
inline constexpr int kSignalBars = 6;
inline constexpr int kTrendChangeBars = 3;

// The leading empty line and the header line.
void WriteReportHeader(std::string& out);
// One row: the symbol and the newest bar's values, marks of bars 0 to 4.
void WriteReportRow(const SecurityData& entry, std::string& out);

// Membership tests of the lists.
bool HasSignalMark(const SecurityData& entry, const char* mark);  // in bars 0 to 5
bool TrendChangedRecently(const SecurityData& entry);             // in bars 0 to 2

// Each report is built from consistent copies of the entries, in store order,
// and replaces the old file in one step (the old report stays when the new
// one cannot be written: false). The trend writer writes both trend lists.
[[nodiscard]] bool WriteStatusReport(const SecurityStore& store);
[[nodiscard]] bool WriteBuyReport(const SecurityStore& store);
[[nodiscard]] bool WriteSellReport(const SecurityStore& store);
[[nodiscard]] bool WriteTrendReports(const SecurityStore& store);

// Status, Buy, Sell, Trend, each whatever the previous one returned; true
// when all four succeeded.
[[nodiscard]] bool WriteReports(const SecurityStore& store);

}  // namespace velmora
