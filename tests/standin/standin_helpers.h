#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace velmora::test {

// Query texts exactly as the program builds them (months from 0).
std::string CsvHistoryTarget(const std::string& symbol, int startYear, int startMonth, int startDay,
                             int endYear, int endMonth, int endDay, char period = 'd', int offset = 0);
std::string HtmlHistoryTarget(const std::string& symbol, int startYear, int startMonth, int startDay,
                              int endYear, int endMonth, int endDay, char period = 'd', int offset = 0);
std::string QuoteTarget(const std::string& symbol, const std::string& fields);
inline const char* kDayWatchFields = "sl1d1t1c1ohgv";
inline const char* kRealTimeFields = "st5l9c6p4b1a3";

// A history row split at its commas: date, open, high, low, close, volume, adj close.
struct HistoryRow {
  std::string date;
  double open = 0, high = 0, low = 0, close = 0, adjClose = 0;
  long long volume = 0;
  std::chrono::sys_days day;
};
bool ParseHistoryRow(const std::string& line, HistoryRow& row);
// The fields of a day-watch record ("sl1d1t1c1ohgv").
struct DayWatch {
  std::string symbol, date, time;
  double last = 0, change = 0, open = 0, high = 0, low = 0;
  long long volume = 0;
};
// False unless the line is one whole record, '\n' included.
bool ParseDayWatch(const std::string& line, DayWatch& q);

// The data lines of a CSV answer (the title line left out).
std::vector<std::string> CsvDataLines(const std::string& body);

// The program's reading of a history page: the table markup becomes comma-
// separated lines (commas inside cells dropped), and the lines after the
// column-title line up to the footnote are kept. Returns the title line
// first, then those lines; empty when no title line was found.
std::vector<std::string> ConvertHistoryPage(const std::string& html);

}  // namespace velmora::test
