// Quote records, the service clock and the chart page of the stand-in service.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <regex>

#include "standin/standin_client.h"
#include "standin/standin_helpers.h"
#include "support/test_support.h"

namespace velmora::test {
namespace {

std::string quoteAt(const std::string& now, const std::string& symbol, const std::string& fields) {
  StandinServer server({"--now", now});
  EXPECT_TRUE(server.ok());
  const HttpReply r = HttpGet(server.port(), QuoteTarget(symbol, fields));
  EXPECT_EQ(r.status, 200) << r.body;
  EXPECT_EQ(r.header("content-type"), "text/csv");
  return r.body;
}

HistoryRow historyRow(int port, const std::string& symbol, int year, int month, int day) {
  HistoryRow row;
  const auto lines =
      CsvDataLines(HttpGet(port, CsvHistoryTarget(symbol, year, month, day, year, month, day)).body);
  EXPECT_EQ(lines.size(), 1u);
  if (!lines.empty()) {
    EXPECT_TRUE(ParseHistoryRow(lines[0], row));
  }
  return row;
}

TEST(StandinQuotes, DayWatchQuoteWalksThroughTheSession) {
  StandinServer nextDay({"--now", "2005-12-07T12:00"});
  ASSERT_TRUE(nextDay.ok());
  const HistoryRow session = historyRow(nextDay.port(), "MSFT", 2005, 12, 6);
  const HistoryRow before = historyRow(nextDay.port(), "MSFT", 2005, 12, 5);

  const char* times[] = {"09:30", "10:42", "12:00", "15:59", "16:00", "20:15"};
  const char* texts[] = {"9:30am", "10:42am", "12:00pm", "3:59pm", "4:00pm", "4:00pm"};
  DayWatch previous;
  for (int i = 0; i < 6; ++i) {
    DayWatch q;
    const std::string line = quoteAt(std::string("2005-12-06T") + times[i], "MSFT", kDayWatchFields);
    ASSERT_TRUE(ParseDayWatch(line, q)) << line;
    EXPECT_EQ(q.symbol, "MSFT");
    EXPECT_EQ(q.date, "12/6/2005");
    EXPECT_EQ(q.time, texts[i]);
    EXPECT_EQ(q.open, session.open);
    EXPECT_NEAR(q.change, q.last - before.close, 0.001) << line;
    EXPECT_GE(q.last, q.low);
    EXPECT_LE(q.last, q.high);
    EXPECT_GE(q.low, session.low);
    EXPECT_LE(q.high, session.high);
    if (i > 0) {
      EXPECT_GE(q.high, previous.high);
      EXPECT_LE(q.low, previous.low);
      EXPECT_GE(q.volume, previous.volume);
    }
    previous = q;
  }
  // After the close the quote is the day's bar, as tomorrow's history will show it.
  EXPECT_EQ(previous.last, session.close);
  EXPECT_EQ(previous.high, session.high);
  EXPECT_EQ(previous.low, session.low);
  EXPECT_EQ(previous.volume, session.volume);
}

TEST(StandinQuotes, BeforeTheOpenAndAtWeekendsTheLastCloseIsShown) {
  struct Case {
    const char* now;
    const char* quoteDate;
    const char* lastHistory;
  } cases[] = {{"2005-12-06T08:00", "12/5/2005", "2-Dec-05"},
               {"2005-12-10T12:00", "12/9/2005", "8-Dec-05"},
               {"2005-12-12T09:29", "12/9/2005", "8-Dec-05"},
               {"2005-12-12T09:30", "12/12/2005", "9-Dec-05"}};
  for (const Case& c : cases) {
    StandinServer server({"--now", c.now});
    ASSERT_TRUE(server.ok());
    DayWatch q;
    const std::string line = HttpGet(server.port(), QuoteTarget("GE", kDayWatchFields)).body;
    ASSERT_TRUE(ParseDayWatch(line, q)) << line;
    EXPECT_EQ(q.date, c.quoteDate) << c.now;
    const auto rows =
        CsvDataLines(HttpGet(server.port(), CsvHistoryTarget("GE", 2005, 11, 1, 2005, 12, 31)).body);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].substr(0, rows[0].find(',')), c.lastHistory) << c.now;
  }
}

TEST(StandinQuotes, RealTimeRecordCarriesBidAndAskForStocksOnly) {
  StandinServer server({"--now", "2005-12-06T11:05"});
  ASSERT_TRUE(server.ok());
  const std::string stock = HttpGet(server.port(), QuoteTarget("MSFT", kRealTimeFields)).body;
  std::smatch m;
  ASSERT_TRUE(std::regex_match(
      stock, m,
      std::regex(
          R"re("MSFT","11:05am",(\d+\.\d\d),"([+-]?\d+\.\d\d)","[+-]?\d+\.\d\d%",(\d+\.\d\d),(\d+\.\d\d)\n)re")))
      << stock;
  const double last = std::stod(m[1]);
  EXPECT_LT(std::stod(m[3]), last);
  EXPECT_GT(std::stod(m[4]), last);
  DayWatch dw;
  ASSERT_TRUE(ParseDayWatch(HttpGet(server.port(), QuoteTarget("MSFT", kDayWatchFields)).body, dw));
  EXPECT_EQ(dw.last, last);
  EXPECT_EQ(dw.change, std::stod(m[2]));

  const std::string index = HttpGet(server.port(), QuoteTarget("%5EDJI", kRealTimeFields)).body;
  EXPECT_TRUE(std::regex_match(
      index, std::regex(R"re("\^DJI","11:05am",\d+\.\d\d,"[+-]?\d+\.\d\d","[+-]?\d+\.\d\d%",N/A,N/A\n)re")))
      << index;
  // Unknown field letters answer N/A; the symbol is shown in upper case.
  EXPECT_EQ(HttpGet(server.port(), QuoteTarget("msft", "sxy9")).body, "\"MSFT\",N/A,N/A\n");
}

TEST(StandinQuotes, CompositeVolumeSymbolQuotesTheIndexVolume) {
  for (const char* now : {"2005-12-06T10:42", "2005-12-06T18:00"}) {
    StandinServer server({"--now", now});
    ASSERT_TRUE(server.ok());
    DayWatch composite;
    ASSERT_TRUE(ParseDayWatch(HttpGet(server.port(), QuoteTarget("^IXIC", kDayWatchFields)).body, composite));
    const std::string line = HttpGet(server.port(), QuoteTarget("^TV.O", kDayWatchFields)).body;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        line, m, std::regex(R"re("\^TV\.O",(\d+),"12/6/2005","[^"]+",N/A,N/A,N/A,N/A,N/A\n)re")))
        << line;
    EXPECT_EQ(std::stoll(m[1]), composite.volume) << now;
    EXPECT_GT(composite.volume, 0);
    EXPECT_LT(composite.volume, 2147483648LL);
  }
}

TEST(StandinQuotes, WithoutNowTheQuoteFollowsTheMachineClock) {
  StandinServer server;
  ASSERT_TRUE(server.ok());
  DayWatch q;
  const std::string line = HttpGet(server.port(), QuoteTarget("MSFT", kDayWatchFields)).body;
  ASSERT_TRUE(ParseDayWatch(line, q)) << line;
  int month = 0, day = 0, year = 0;
  ASSERT_EQ(std::sscanf(q.date.c_str(), "%d/%d/%d", &month, &day, &year), 3);
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = 12;
  const double age = std::difftime(std::time(nullptr), std::mktime(&tm)) / 86400;
  EXPECT_GT(age, -1.0) << q.date;
  EXPECT_LT(age, 5.0) << q.date;  // at most a long weekend ago
}

TEST(StandinQuotes, ChartPageIsSelfContained) {
  StandinServer server({"--now", "2005-12-06T17:00"});
  ASSERT_TRUE(server.ok());
  const HttpReply page = HttpGet(server.port(), "/stock-chart.php?symbol=NASDAQ");
  ASSERT_EQ(page.status, 200);
  EXPECT_NE(page.header("content-type").find("text/html"), std::string::npos);
  EXPECT_NE(page.body.find("<h1>NASDAQ (^IXIC)</h1>"), std::string::npos);
  EXPECT_NE(page.body.find("<svg"), std::string::npos);
  EXPECT_EQ(page.body.find("<script"), std::string::npos);
  EXPECT_EQ(page.body.find("src="), std::string::npos);
  DayWatch q;
  ASSERT_TRUE(ParseDayWatch(HttpGet(server.port(), QuoteTarget("^IXIC", kDayWatchFields)).body, q));
  char last[32];
  std::snprintf(last, sizeof last, "<b>%.2f</b>", q.last);
  EXPECT_NE(page.body.find(last), std::string::npos);
  // About six months of daily candles plus today's.
  std::size_t candles = 0;
  for (std::size_t at = page.body.find("<rect x="); at != std::string::npos;
       at = page.body.find("<rect x=", at + 1))
    ++candles;
  EXPECT_GE(candles, 125u);
  EXPECT_LE(candles, 135u);

  EXPECT_EQ(HttpGet(server.port(), "/stock-chart.php?symbol=msft").status, 200);
  EXPECT_EQ(HttpGet(server.port(), "/stock-chart.php").status, 400);
  EXPECT_EQ(HttpGet(server.port(), "/stock-chart.php?symbol=%3Cscript%3E").status, 404);
}

}  // namespace
}  // namespace velmora::test
