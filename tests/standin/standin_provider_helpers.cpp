#include "standin/standin_provider_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "standin/standin_client.h"
#include "standin/standin_helpers.h"

namespace velmora::test {

namespace {

std::string isoDate(std::chrono::sys_days day) {
  const std::chrono::year_month_day ymd(day);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  return text;
}

}  // namespace

std::int64_t UnixMidnight(std::chrono::year_month_day date) {
  return std::chrono::sys_days(date).time_since_epoch().count() * 86400LL;
}

std::string ChartTarget(const std::string& symbol, std::chrono::year_month_day from,
                        std::chrono::year_month_day to, const char* interval) {
  return "/v8/finance/chart/" + symbol + "?period1=" + std::to_string(UnixMidnight(from)) +
         "&period2=" + std::to_string(UnixMidnight(to) + 86400) + "&interval=" + interval +
         "&events=div%7Csplit";
}

std::string TiingoTarget(const std::string& ticker, const std::string& from, const std::string& to,
                         const char* freq) {
  return "/tiingo/daily/" + ticker + "/prices?startDate=" + from + "&endDate=" + to +
         "&resampleFreq=" + freq + "&format=csv";
}

long long Cents(double price) { return std::llround(price * 100); }

long long Cents(const Json& price) {
  EXPECT_TRUE(price.is_number()) << price.dump();
  return price.is_number() ? Cents(price.get<double>()) : -1;
}

std::vector<CentsBar> ClassicBars(int port, const std::string& symbol, std::chrono::year_month_day from,
                                  std::chrono::year_month_day to, char period) {
  const std::string target =
      CsvHistoryTarget(symbol, static_cast<int>(from.year()), static_cast<int>(unsigned(from.month())),
                       static_cast<int>(unsigned(from.day())), static_cast<int>(to.year()),
                       static_cast<int>(unsigned(to.month())), static_cast<int>(unsigned(to.day())), period);
  std::vector<CentsBar> bars;
  for (const std::string& line : CsvDataLines(HttpGet(port, target).body)) {
    HistoryRow row;
    EXPECT_TRUE(ParseHistoryRow(line, row)) << line;
    bars.insert(bars.begin(), CentsBar{isoDate(row.day), Cents(row.open), Cents(row.high), Cents(row.low),
                                       Cents(row.close), Cents(row.adjClose), row.volume});
  }
  return bars;
}

std::vector<CentsBar> ChartBars(const Json& answer) {
  std::vector<CentsBar> bars;
  const Json& result = answer.at("chart").at("result").at(0);
  const long long offset = result.at("meta").at("gmtoffset").get<long long>();
  const Json& quote = result.at("indicators").at("quote").at(0);
  const Json& adjclose = result.at("indicators").at("adjclose").at(0).at("adjclose");
  const Json& stamps = result.at("timestamp");
  for (std::size_t i = 0; i < stamps.size(); ++i) {
    const long long local = stamps[i].get<long long>() + offset;
    CentsBar bar;
    bar.date = isoDate(
        std::chrono::sys_days(std::chrono::days(local >= 0 ? local / 86400 : (local - 86399) / 86400)));
    bar.null = quote.at("close").at(i).is_null();
    if (!bar.null) {
      bar.open = Cents(quote.at("open").at(i));
      bar.high = Cents(quote.at("high").at(i));
      bar.low = Cents(quote.at("low").at(i));
      bar.close = Cents(quote.at("close").at(i));
      bar.volume = quote.at("volume").at(i).get<long long>();
      bar.adjClose = Cents(adjclose.at(i));
    }
    bars.push_back(bar);
  }
  return bars;
}

std::vector<TiingoRow> TiingoRows(const std::string& csv) {
  std::vector<TiingoRow> rows;
  for (const std::string& line : CsvDataLines(csv)) {
    char date[16];
    double v[12];
    long long volume = 0, adjVolume = 0;
    const int n =
        std::sscanf(line.c_str(), "%10[0-9-],%lf,%lf,%lf,%lf,%lld,%lf,%lf,%lf,%lf,%lld,%lf,%lf", date, &v[0],
                    &v[1], &v[2], &v[3], &volume, &v[4], &v[5], &v[6], &v[7], &adjVolume, &v[8], &v[9]);
    EXPECT_EQ(n, 13) << line;
    if (n != 13) continue;
    TiingoRow row;
    row.raw = CentsBar{date, Cents(v[3]), Cents(v[1]), Cents(v[2]), Cents(v[0]), Cents(v[4]), volume};
    row.adjHigh = Cents(v[5]);
    row.adjLow = Cents(v[6]);
    row.adjOpen = Cents(v[7]);
    row.adjVolume = adjVolume;
    row.divCash = Cents(v[8]);
    row.splitFactor = v[9];
    rows.push_back(row);
  }
  return rows;
}

}  // namespace velmora::test
