#pragma once

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace velmora::test {

using Json = nlohmann::json;

// Unix seconds of 00:00 UTC on a date.
std::int64_t UnixMidnight(std::chrono::year_month_day date);

// A chart request for the dates [from, to] as the program asks it: period1
// at 00:00 UTC of the first date, period2 at 00:00 UTC of the day after the last.
std::string ChartTarget(const std::string& symbol, std::chrono::year_month_day from,
                        std::chrono::year_month_day to, const char* interval = "1d");
// "/tiingo/daily/TICKER/prices?startDate=...&endDate=...&resampleFreq=...&format=csv".
std::string TiingoTarget(const std::string& ticker, const std::string& from, const std::string& to,
                         const char* freq = "daily");

// One bar in cents, dated "YYYY-MM-DD", however the endpoint gave it.
struct CentsBar {
  std::string date;
  long long open = 0, high = 0, low = 0, close = 0, adjClose = 0, volume = 0;
  bool null = false;  // a chart bar whose values are null
  bool operator==(const CentsBar&) const = default;
};

// The classic history rows of [from, to] for period 'd', 'w' or 'm', oldest
// first (the service must serve them on one page).
std::vector<CentsBar> ClassicBars(int port, const std::string& symbol, std::chrono::year_month_day from,
                                  std::chrono::year_month_day to, char period = 'd');
// The bars of a chart answer, each dated by its timestamp shifted by gmtoffset.
std::vector<CentsBar> ChartBars(const Json& answer);

// One row of a Tiingo prices answer.
struct TiingoRow {
  CentsBar raw;  // close, high, low, open, volume; adjClose holds adjClose
  long long adjHigh = 0, adjLow = 0, adjOpen = 0, adjVolume = 0, divCash = 0;
  double splitFactor = 0;
};
// The rows under the title line; an unreadable row fails the test.
std::vector<TiingoRow> TiingoRows(const std::string& csv);

long long Cents(double price);
long long Cents(const Json& price);  // a number in the answer

}  // namespace velmora::test
