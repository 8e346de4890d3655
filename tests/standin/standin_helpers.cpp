#include "standin/standin_helpers.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>

namespace velmora::test {

std::string CsvHistoryTarget(const std::string& symbol, int startYear, int startMonth, int startDay,
                             int endYear, int endMonth, int endDay, char period, int offset) {
  const int span = 365 * (endYear - startYear) + 31 * (endMonth - startMonth) + (endDay - startDay);
  char query[256];
  std::snprintf(query, sizeof query,
                "/table.csv?s=%s&d=%d&e=%d&f=%d&g=%c&a=%d&b=%d&c=%d&z=%d&y=%d&ignore=.csv", symbol.c_str(),
                endMonth - 1, endDay, endYear, period, startMonth - 1, startDay, startYear, span, offset);
  return query;
}

std::string HtmlHistoryTarget(const std::string& symbol, int startYear, int startMonth, int startDay,
                              int endYear, int endMonth, int endDay, char period, int offset) {
  const int span = 365 * (endYear - startYear) + 31 * (endMonth - startMonth) + (endDay - startDay);
  char query[256];
  std::snprintf(query, sizeof query, "/q/hp?s=%s&a=%02d&b=%d&c=%d&d=%02d&e=%d&f=%d&g=%c&z=%d&y=%d",
                symbol.c_str(), startMonth - 1, startDay, startYear, endMonth - 1, endDay, endYear, period,
                span, offset);
  return query;
}

std::string QuoteTarget(const std::string& symbol, const std::string& fields) {
  return "/d/quotes.csv?s=" + symbol + "&f=" + fields + "&e=.csv";
}

bool ParseHistoryRow(const std::string& line, HistoryRow& row) {
  char date[32];
  if (std::sscanf(line.c_str(), "%31[^,],%lf,%lf,%lf,%lf,%lld,%lf", date, &row.open, &row.high, &row.low,
                  &row.close, &row.volume, &row.adjClose) != 7) {
    return false;
  }
  row.date = date;
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int d = 0, y = 0;
  char mon[8] = "";
  if (std::sscanf(date, "%d-%3s-%d", &d, mon, &y) != 3) return false;
  int m = 0;
  for (int i = 0; i < 12; ++i) {
    if (std::strcmp(mon, kMonths[i]) == 0) m = i + 1;
  }
  if (m == 0) return false;
  y += y <= 68 ? 2000 : 1900;
  row.day = std::chrono::sys_days(std::chrono::year(y) / m / d);
  return true;
}

bool ParseDayWatch(const std::string& line, DayWatch& q) {
  static const std::regex layout(
      R"re("([^"]+)",(\d+\.\d\d),"(\d{1,2}/\d{1,2}/\d{4})","(\d{1,2}:\d\d[ap]m)",([+-]?\d+\.\d\d),(\d+\.\d\d),(\d+\.\d\d),(\d+\.\d\d),(\d+)\n)re");
  std::smatch m;
  if (!std::regex_match(line, m, layout)) return false;
  q.symbol = m[1];
  q.last = std::stod(m[2]);
  q.date = m[3];
  q.time = m[4];
  q.change = std::stod(m[5]);
  q.open = std::stod(m[6]);
  q.high = std::stod(m[7]);
  q.low = std::stod(m[8]);
  q.volume = std::stoll(m[9]);
  return true;
}

std::vector<std::string> CsvDataLines(const std::string& body) {
  std::vector<std::string> lines;
  std::size_t from = body.find('\n');
  if (from == std::string::npos) return lines;
  ++from;
  while (from < body.size()) {
    const std::size_t nl = body.find('\n', from);
    lines.push_back(body.substr(from, nl - from));
    if (nl == std::string::npos) break;
    from = nl + 1;
  }
  return lines;
}

namespace {

bool startsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

std::string convertMarkup(const std::string& html) {
  std::string out;
  bool firstCell = true;
  std::size_t i = 0;
  while (i < html.size()) {
    if (html[i] != '<') {
      if (html[i] != ',') out += html[i];
      ++i;
      continue;
    }
    std::string tag = "<";
    ++i;
    while (i < html.size() && html[i] != '>' && html[i] != '<') tag += html[i++];
    if (i >= html.size() || html[i] == '<') {
      out += tag;
      continue;
    }
    tag += '>';
    ++i;
    if (startsWith(tag, "<table") || startsWith(tag, "<tr")) {
      out += '\n';
      firstCell = true;
    } else if (startsWith(tag, "<td")) {
      if (!firstCell) out += ',';
      firstCell = false;
    } else if (tag == "</table>") {
      out += '\n';
      firstCell = true;
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> ConvertHistoryPage(const std::string& html) {
  const std::string text = convertMarkup(html);
  std::vector<std::string> lines;
  bool inTable = false;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t nl = text.find('\n', from);
    if (nl == std::string::npos) nl = text.size();
    const std::string line = text.substr(from, nl - from);
    from = nl + 1;
    if (!inTable) {
      if (line.find("Date,Open,High,Low,Close,Volume") != std::string::npos) {
        inTable = true;
        lines.push_back(line);
      }
      continue;
    }
    if (line.find("Close price adjusted for dividends and splits") != std::string::npos) break;
    lines.push_back(line);
  }
  return lines;
}

}  // namespace velmora::test
