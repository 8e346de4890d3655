// Real prices served from a data folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "standin/standin_client.h"
#include "standin/standin_helpers.h"
#include "support/test_support.h"

namespace velmora::test {
namespace {

const char* const kTestCsv =
    "Date,Open,High,Low,Close,Volume,Adj Close\n"
    "2005-12-01,26.50,26.90,26.40,26.80,50000000,26.30\n"
    "2005-12-02,26.80,27.00,26.70,26.95,55000000,26.45\n"
    "2005-12-05,26.95,27.10,26.80,26.93,58000000,26.43\n"
    "2005-12-06,26.93,27.09,26.85,27.03,60302500,26.53\n";

TEST(StandinDataDir, FileRowsAreServedByteForByte) {
  TempFolder dir;
  WriteFile(dir.file("TEST.csv"), kTestCsv);
  StandinServer server({"--data-dir", dir.path(), "--now", "2005-12-06T17:00"});
  ASSERT_TRUE(server.ok());

  EXPECT_EQ(HttpGet(server.port(), CsvHistoryTarget("TEST", 2005, 1, 1, 2005, 12, 6)).body,
            "Date,Open,High,Low,Close,Volume,Adj Close\n"
            "5-Dec-05,26.95,27.10,26.80,26.93,58000000,26.43\n"
            "2-Dec-05,26.80,27.00,26.70,26.95,55000000,26.45\n"
            "1-Dec-05,26.50,26.90,26.40,26.80,50000000,26.30\n");
  const std::string page = HttpGet(server.port(), HtmlHistoryTarget("TEST", 2005, 1, 1, 2005, 12, 6)).body;
  EXPECT_NE(page.find("\n<tr><td>5-Dec-05</td><td>26.95</td><td>27.10</td><td>26.80</td><td>26.93</td>"
                      "<td>58,000,000</td><td>26.43</td></tr>\n"
                      "<tr><td>2-Dec-05</td>"),
            std::string::npos)
      << page;
  EXPECT_EQ(HttpGet(server.port(), QuoteTarget("TEST", kDayWatchFields)).body,
            "\"TEST\",27.03,\"12/6/2005\",\"4:00pm\",+0.10,26.93,27.09,26.85,60302500\n");
  // After hours the bid and ask sit two cents off the last price.
  EXPECT_EQ(HttpGet(server.port(), QuoteTarget("test", kRealTimeFields)).body,
            "\"TEST\",\"4:00pm\",27.03,\"+0.10\",\"+0.37%\",27.01,27.05\n");

  // A symbol without a file is generated as usual.
  StandinServer plain({"--now", "2005-12-06T17:00"});
  ASSERT_TRUE(plain.ok());
  const std::string target = CsvHistoryTarget("MSFT", 2005, 1, 1, 2005, 12, 6);
  EXPECT_EQ(HttpGet(server.port(), target).body, HttpGet(plain.port(), target).body);
}

TEST(StandinDataDir, ColumnsInAnyOrderDatesEitherWay) {
  TempFolder dir;
  WriteFile(dir.file("ABC.csv"),
            "volume, CLOSE ,Low,high,Open,DATE\r\n"
            "5792140000,11.00,10.00,11.50,10.50,9-Dec-05\r\n"
            "not,a,row,at,all\r\n"
            "1200,10.25,9.90,10.40,10.00,8-Dec-05\r\n"
            "\r\n"
            "900,9.99,9.50,10.10,9.75,7-Dec-99\r\n");
  WriteFile(dir.file("^XYZ.csv"),
            "date,open,high,low,close,adjclose,volume\n"
            "2005-12-08,100.004,101.005,99.125,100.5,100.5,3000000000.0\n"
            "2005-12-07,99,100,98,99.5,99.5,2500\n");
  StandinServer server({"--data-dir", dir.path(), "--now", "2005-12-12T10:00"});
  ASSERT_TRUE(server.ok());
  EXPECT_EQ(HttpGet(server.port(), CsvHistoryTarget("ABC", 1990, 1, 1, 2005, 12, 31)).body,
            "Date,Open,High,Low,Close,Volume,Adj Close\n"
            "9-Dec-05,10.50,11.50,10.00,11.00,5792140000,11.00\n"
            "8-Dec-05,10.00,10.40,9.90,10.25,1200,10.25\n"
            "7-Dec-99,9.75,10.10,9.50,9.99,900,9.99\n");
  // Prices round to cents as "%.2f" prints them (99.125 is a tie and goes to even).
  EXPECT_EQ(HttpGet(server.port(), CsvHistoryTarget("^XYZ", 2005, 1, 1, 2005, 12, 31)).body,
            "Date,Open,High,Low,Close,Volume,Adj Close\n"
            "8-Dec-05,100.00,101.00,99.12,100.50,3000000000,100.50\n"
            "7-Dec-05,99.00,100.00,98.00,99.50,2500,99.50\n");
  // File prices do not move during the session: the newest row is the quote.
  EXPECT_EQ(HttpGet(server.port(), QuoteTarget("ABC", kDayWatchFields)).body,
            "\"ABC\",11.00,\"12/9/2005\",\"4:00pm\",+0.75,10.50,11.50,10.00,5792140000\n");
}

// Index volumes pass 2^31 and 2^32: every answer carries them in full, up
// to the largest volume a file may hold; a row beyond it is no row.
TEST(StandinDataDir, VolumesBeyond32BitsAreServedInFull) {
  TempFolder dir;
  WriteFile(dir.file("^IXIC.csv"),
            "Date,Open,High,Low,Close,Volume\n"
            "2020-04-13,8100.00,8200.00,8000.00,8150.00,4294967296\n"
            "2020-04-14,8200.00,8300.00,8100.00,8250.00,9999999999\n"
            "2020-04-15,8300.00,8400.00,8200.00,8350.00,1000000000000001\n"
            "2020-04-16,8400.00,8500.00,8300.00,8450.00,5179990000\n"
            "2020-04-17,8500.00,8600.00,8400.00,8550.00,1000000000000000\n");
  StandinServer server({"--data-dir", dir.path(), "--now", "2020-04-17T17:00"});
  ASSERT_TRUE(server.ok());
  EXPECT_EQ(HttpGet(server.port(), CsvHistoryTarget("^IXIC", 2020, 1, 1, 2020, 4, 17)).body,
            "Date,Open,High,Low,Close,Volume,Adj Close\n"
            "16-Apr-20,8400.00,8500.00,8300.00,8450.00,5179990000,8450.00\n"
            "14-Apr-20,8200.00,8300.00,8100.00,8250.00,9999999999,8250.00\n"
            "13-Apr-20,8100.00,8200.00,8000.00,8150.00,4294967296,8150.00\n");
  // The week so far: 4294967296 + 9999999999 + 5179990000.
  EXPECT_EQ(HttpGet(server.port(), CsvHistoryTarget("^IXIC", 2020, 1, 1, 2020, 4, 17, 'w')).body,
            "Date,Open,High,Low,Close,Volume,Adj Close\n"
            "13-Apr-20,8100.00,8500.00,8000.00,8450.00,19474957295,8450.00\n");
  const std::string page = HttpGet(server.port(), HtmlHistoryTarget("^IXIC", 2020, 1, 1, 2020, 4, 17)).body;
  EXPECT_NE(page.find("<tr><td>16-Apr-20</td><td>8400.00</td><td>8500.00</td><td>8300.00</td><td>8450.00</td>"
                      "<td>5,179,990,000</td><td>8450.00</td></tr>\n"
                      "<tr><td>14-Apr-20</td><td>8200.00</td><td>8300.00</td><td>8100.00</td><td>8250.00</td>"
                      "<td>9,999,999,999</td><td>8250.00</td></tr>\n"),
            std::string::npos)
      << page;
  EXPECT_EQ(HttpGet(server.port(), QuoteTarget("^IXIC", kDayWatchFields)).body,
            "\"^IXIC\",8550.00,\"4/17/2020\",\"4:00pm\",+100.00,8500.00,8600.00,8400.00,1000000000000000\n");
  EXPECT_EQ(HttpGet(server.port(), QuoteTarget("^TV.O", kDayWatchFields)).body,
            "\"^TV.O\",1000000000000000,\"4/17/2020\",\"4:00pm\",N/A,N/A,N/A,N/A,N/A\n");
  EXPECT_NE(
      HttpGet(server.port(), "/stock-chart.php?symbol=NASDAQ").body.find("volume 1,000,000,000,000,000"),
      std::string::npos);
}

TEST(StandinDataDir, UnusableFileMeansNoData) {
  TempFolder dir;
  WriteFile(dir.file("BAD.csv"), std::string("\x01\x02garbage\n\xff\xfe,1,2\n", 17));
  WriteFile(dir.file("NOROWS.csv"), "Date,Open,High,Low,Close,Volume\n");
  StandinServer server({"--data-dir", dir.path(), "--now", "2005-12-12T10:00"});
  ASSERT_TRUE(server.ok());
  for (const char* symbol : {"BAD", "NOROWS"}) {
    EXPECT_EQ(HttpGet(server.port(), CsvHistoryTarget(symbol, 2005, 1, 1, 2005, 12, 31)).body,
              "Date,Open,High,Low,Close,Volume,Adj Close\n");
    EXPECT_EQ(HttpGet(server.port(), QuoteTarget(symbol, kDayWatchFields)).status, 404);
    EXPECT_EQ(HttpGet(server.port(), "/stock-chart.php?symbol=" + std::string(symbol)).status, 200);
  }
}

// The expected service row for one line of the data set.
std::string expectedRow(const std::string& line) {
  char date[16];
  double open, high, low, close, adj, volume;
  if (std::sscanf(line.c_str(), "%15[^,],%lf,%lf,%lf,%lf,%lf,%lf", date, &open, &high, &low, &close, &adj,
                  &volume) != 7) {
    return "";
  }
  int y, m, d;
  std::sscanf(date, "%d-%d-%d", &y, &m, &d);
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char row[160];
  std::snprintf(row, sizeof row, "%d-%s-%02d,%.2f,%.2f,%.2f,%.2f,%.0f,%.2f", d, kMonths[m - 1], y % 100, open,
                high, low, close, volume, adj);
  return row;
}

TEST(StandinDataDir, SP500DailyHistoryComesBackAsStored) {
  const std::string source =
      std::string(VELMORA_SOURCE_DIR) + "/build/test-data/node_modules/vega-datasets/data/sp500-2000.csv";
  if (!FileExists(source)) {
    GTEST_SKIP() << "no S&P 500 data at " << source << " (run scripts/fetch-test-data.sh, which needs npm)";
  }
  TempFolder dir;
  const std::string text = ReadFile(source);
  WriteFile(dir.file("^GSPC.csv"), text);
  std::vector<std::string> expected;
  const auto lines = SplitLines(text);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string row = expectedRow(lines[i]);
    if (!row.empty()) expected.push_back(row);
  }
  std::reverse(expected.begin(), expected.end());
  ASSERT_GT(expected.size(), 5000u);

  StandinServer server({"--data-dir", dir.path(), "--now", "2021-01-04T12:00"});
  ASSERT_TRUE(server.ok());
  std::vector<std::string> served;
  for (int offset = 0;; offset += 200) {
    const HttpReply r =
        HttpGet(server.port(), CsvHistoryTarget("^GSPC", 2000, 1, 1, 2020, 12, 31, 'd', offset));
    ASSERT_EQ(r.status, 200);
    const auto page = CsvDataLines(r.body);
    served.insert(served.end(), page.begin(), page.end());
    if (page.size() != 200) break;
  }
  ASSERT_EQ(served.size(), expected.size());
  for (std::size_t i = 0; i < served.size(); ++i) ASSERT_EQ(served[i], expected[i]) << "row " << i;
  // Volumes of billions of shares come back in full.
  EXPECT_NE(
      std::find(served.begin(), served.end(), "16-Apr-20,2799.34,2806.51,2764.32,2799.55,5179990000,2799.55"),
      served.end());
}

}  // namespace
}  // namespace velmora::test
