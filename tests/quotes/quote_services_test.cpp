#include "quotes/quote_services.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "net/fake_transport.h"
#include "net/quote_result.h"
#include "quotes/quote_records.h"
#include "support/log_lines.h"

namespace velmora {
namespace {

using test::FakeNet;
using test::FakeResponse;
using test::LogHas;
using test::Reply;

constexpr const char* kCsv = "http://q.example:80/table.csv";
constexpr const char* kQuotes = "http://q.example:80/d/quotes.csv";

SystemConfig TestConfig(int historyServer = kHistoryYahooSpreadSheet) {
  SystemConfig c;
  c.YahooHistoryQuoteSpreadSheetURL = "http://q.example/table.csv";
  c.YahooHistoryQuoteURL = "http://q.example/q/hp";
  c.YahooRealTimeQuoteSpreadSheetURL = "http://q.example/d/quotes.csv";
  c.HistoryQuoteServer = historyServer;
  return c;
}

// `rows` history lines, newest first, counting down from `first`.
std::string CsvPage(int rows, int first = 0, long volume = 1000) {
  std::string text = "Date,Open,High,Low,Close,Volume,Adj Close\n";
  for (int i = 0; i < rows; ++i) {
    char line[128];
    const int n = first + i;
    std::snprintf(line, sizeof line, "%d-Jan-05,%d.00,%d.50,%d.00,%d.25,%ld,%d.25\n", 1 + n % 28, 10 + n,
                  10 + n, 9 + n, 10 + n, volume, 10 + n);
    text += line;
  }
  return text;
}

std::string CsvQuery(const char* symbol, int offset) {
  return std::string(kCsv) + "?s=" + symbol +
         "&d=11&e=6&f=2005&g=d&a=11&b=6&c=2002&z=1095&y=" + std::to_string(offset) + "&ignore=.csv";
}

TEST(HistoryUrl, BothQueryFormsOfTheThreeYearExample) {
  EXPECT_EQ(HistorySpan(2002, 12, 6, 2005, 12, 6), 1095);
  SystemConfig config = TestConfig();
  std::string url;
  BuildHistoryUrl("MSFT", 11, 6, 2005, 'd', 11, 6, 2002, 1095, 0, url, config);
  EXPECT_EQ(url,
            "http://q.example/table.csv?s=MSFT&d=11&e=6&f=2005&g=d&a=11&b=6&c=2002&z=1095&y=0&ignore=.csv");
  config.HistoryQuoteServer = kHistoryYahooHtml;
  BuildHistoryUrl("MSFT", 11, 6, 2005, 'd', 11, 6, 2002, 1095, 0, url, config);
  EXPECT_EQ(url, "http://q.example/q/hp?s=MSFT&a=11&b=6&c=2002&d=11&e=6&f=2005&g=d&z=1095&y=0");
  BuildHistoryUrl("MSFT", 2, 15, 2005, 'w', 0, 15, 1997, HistorySpan(1997, 1, 15, 2005, 3, 15), 400, url,
                  config);
  EXPECT_EQ(url, "http://q.example/q/hp?s=MSFT&a=00&b=15&c=1997&d=02&e=15&f=2005&g=w&z=2982&y=400");
}

class HistoryLoad : public test::InTempDir, public ::testing::Test {
 protected:
  int Load(const char* symbol, const SystemConfig& config, int capacity = kHistoryCapacity) {
    return LoadHistoryQuote(symbol, 'd', 2002, 12, 6, 2005, 12, 6, net_.session, capacity, series_->data(),
                            config);
  }
  FakeNet net_;
  std::unique_ptr<QuoteSeries> series_ = std::make_unique<QuoteSeries>();
};

TEST_F(HistoryLoad, PageCutShortByTheTransferCountsAsFailed) {
  FakeResponse cut = Reply(200, CsvPage(150));
  cut.readError = "transfer closed with 4000 bytes remaining to read";
  net_.server->Route(CsvQuery("MSFT", 0), cut);
  EXPECT_EQ(Load("MSFT", TestConfig()), kQuoteLocalFailure);
  EXPECT_TRUE(LogHas(
      "Transfer from 'http://q.example/table.csv?s=MSFT&d=11&e=6&f=2005&g=d&a=11&b=6&c=2002&z=1095&y=0&"
      "ignore=.csv' failed: transfer closed with 4000 bytes remaining to read"));

  FakeNet later;
  later.server->Route(CsvQuery("MSFT", 0), Reply(200, CsvPage(200)));
  later.server->Route(CsvQuery("MSFT", 200), cut);
  EXPECT_EQ(LoadHistoryQuote("MSFT", 'd', 2002, 12, 6, 2005, 12, 6, later.session, kHistoryCapacity,
                             series_->data(), TestConfig()),
            201);
}

// A page that would never end (or never finish) fails as a cut one, on
// either service, and the log names the symbol's request.
TEST_F(HistoryLoad, EndlessPageFailsLikeACutOne) {
  net_.session.setTransferLimits(64 * 1024, 60000);
  FakeResponse endless = Reply(200, "6-Dec-05,10.00,11.00,9.50,10.50,1000,10.50\n");
  endless.repeatTo = 64u * 1024 * 1024;
  net_.server->Route(CsvQuery("MSFT", 0), endless);
  EXPECT_EQ(Load("MSFT", TestConfig()), kQuoteLocalFailure);
  EXPECT_TRUE(LogHas(
      "Transfer from 'http://q.example/table.csv?s=MSFT&d=11&e=6&f=2005&g=d&a=11&b=6&c=2002&z=1095&y=0&"
      "ignore=.csv' failed: the answer is larger than 65536 bytes"));

  endless.body = "<tr><td>6-Dec-05</td><td>10.00</td></tr>\n";
  const std::string page = "http://q.example:80/q/hp?s=IBM&a=11&b=6&c=2002&d=11&e=6&f=2005&g=d&z=1095&y=0";
  net_.server->Route(page, endless);
  EXPECT_EQ(Load("IBM", TestConfig(kHistoryYahooHtml)), kQuoteLocalFailure);
  EXPECT_TRUE(
      LogHas("Transfer from 'http://q.example/q/hp?s=IBM&a=11&b=6&c=2002&d=11&e=6&f=2005&g=d&z=1095&y=0' "
             "failed: the answer is larger than 65536 bytes"));
}

// An unreadable row still was one row of the page: a full page with one
// asks for the next, which keeps the rows after it.
TEST_F(HistoryLoad, UnreadableRowsAreSkippedButCountForPaging) {
  std::string first = CsvPage(200);
  const std::string::size_type row = first.find("3-Jan-05");
  first.replace(row, first.find('\n', row) - row, "3-Jan-05,inf,1e300,nan,-1,1e20,1");
  net_.server->Route(CsvQuery("MSFT", 0), Reply(200, first));
  net_.server->Route(CsvQuery("MSFT", 200), Reply(200, CsvPage(10, 200)));
  EXPECT_EQ(Load("MSFT", TestConfig()), 1 + 199 + 10);
  EXPECT_EQ(net_.server->requests.size(), 2u);
  for (int i = 1; i < 210; ++i) {
    EXPECT_GE((*series_)[i].close, 0) << i;
    EXPECT_LE((*series_)[i].close, 1e9) << i;
  }
}

TEST_F(HistoryLoad, IndexVolumesAndRowsWithoutVolume) {
  net_.server->Route(CsvQuery("^IXIC", 0), Reply(200, CsvPage(3, 0, 123456789)));
  EXPECT_EQ(Load("^ixic", TestConfig()), 4);
  EXPECT_EQ((*series_)[1].volume, 12345678);

  FakeNet zero;
  zero.server->Route(CsvQuery("MSFT", 0), Reply(200, CsvPage(5, 0, 0)));
  EXPECT_EQ(LoadHistoryQuote("MSFT", 'd', 2002, 12, 6, 2005, 12, 6, zero.session, kHistoryCapacity,
                             series_->data(), TestConfig()),
            1);
}

// Index volumes pass 2^31 and 2^32: both history services keep every digit,
// the composite's in tens.
TEST_F(HistoryLoad, VolumesBeyond32BitsComeThroughBothServices) {
  net_.server->Route(CsvQuery("^GSPC", 0), Reply(200, CsvPage(3, 0, 5179990000)));
  EXPECT_EQ(Load("^GSPC", TestConfig()), 4);
  EXPECT_EQ((*series_)[0].volume, 5179990000);
  EXPECT_EQ((*series_)[3].volume, 5179990000);

  net_.server->Route(CsvQuery("^IXIC", 0), Reply(200, CsvPage(3, 0, 99999999999)));
  EXPECT_EQ(Load("^IXIC", TestConfig()), 4);
  EXPECT_EQ((*series_)[1].volume, 9999999999);

  net_.server->Route(
      "http://q.example:80/q/hp?s=^GSPC&a=11&b=6&c=2002&d=11&e=6&f=2005&g=d&z=1095&y=0",
      Reply(200,
            "<table><tr><td>Date</td><td>Open</td><td>High</td><td>Low</td><td>Close</td><td>Volume</td>"
            "<td>Adj Close</td></tr>\n"
            "<tr><td>16-Apr-20</td><td>2,799.34</td><td>2,806.51</td><td>2,764.32</td><td>2,799.55</td>"
            "<td>5,179,990,000</td><td>2,799.55</td></tr>\n"
            "<tr><td>15-Apr-20</td><td>2,795.64</td><td>2,801.88</td><td>2,761.54</td><td>2,783.36</td>"
            "<td>1,000,000,000,000,001</td><td>2,783.36</td></tr>\n"
            "<tr><td>14-Apr-20</td><td>20.00</td><td>20.00</td><td>20.00</td><td>20.00</td>"
            "<td>4,999,999,999</td><td>10.00</td></tr>\n"
            "</table>\nClose price adjusted for dividends and splits.\n"));
  EXPECT_EQ(Load("^GSPC", TestConfig(kHistoryYahooHtml)), 3);  // the implausible row is skipped
  EXPECT_EQ((*series_)[1].volume, 5179990000);
  EXPECT_STREQ((*series_)[2].date, "14-Apr-20");
  EXPECT_EQ((*series_)[2].volume, 9999999998);
}

TEST_F(HistoryLoad, StopsPagingOnceTheArrayIsFull) {
  net_.server->Route(CsvQuery("MSFT", 0), Reply(200, CsvPage(200)));
  net_.server->Route(CsvQuery("MSFT", 200), Reply(200, CsvPage(200, 200)));
  EXPECT_EQ(Load("MSFT", TestConfig(), 250), 250);
  EXPECT_EQ(net_.server->requests.size(), 2u);
}

TEST_F(HistoryLoad, EdreyfusMakesNoRequest) {
  EXPECT_EQ(Load("MSFT", TestConfig(kHistoryEdreyfus)), 1);
  EXPECT_TRUE(net_.server->requests.empty());
}

class RealTimeLoad : public test::InTempDir, public ::testing::Test {
 protected:
  void SetUp() override {
    bar_.SetDate("2-Dec-04");
    bar_.open = 20;
    bar_.high = 21;
    bar_.low = 19;
    bar_.close = 20.5;
  }
  static std::string Url(const char* symbol, const char* fields) {
    return std::string(kQuotes) + "?s=" + symbol + "&f=" + fields + "&e=.csv";
  }
  int Load(const char* symbol, const SystemConfig& config = TestConfig()) {
    return LoadRealTimeQuote(symbol, net_.session, RealTimePlaces{&bar_, &extra1_, &extra2_}, config);
  }
  FakeNet net_;
  QuoteBar bar_;
  double extra1_ = 0;
  double extra2_ = 0;
};

TEST_F(RealTimeLoad, DayWatchThenRealTime) {
  net_.server->Route(Url("MSFT", "sl1d1t1c1ohgv"),
                     Reply(200, "\"MSFT\",20.80,\"12/3/2004\",\"3:59pm\",+0.30,20.60,20.90,20.40,5000\r\n"));
  net_.server->Route(Url("MSFT", "st5l9c6p4b1a3"),
                     Reply(200, "\"MSFT\",\"4:00pm\",22.00,\"+1.50\",\"+7.3%\",21.99,22.01\r\n"));
  EXPECT_EQ(Load("MSFT"), 1);
  ASSERT_EQ(net_.server->requests.size(), 2u);
  EXPECT_DOUBLE_EQ(bar_.close, 22.00);
  EXPECT_DOUBLE_EQ(bar_.open, 20.60);
  EXPECT_DOUBLE_EQ(bar_.high, 22.00);  // raised to the close afterwards
  EXPECT_DOUBLE_EQ(bar_.low, 20.40);
  EXPECT_DOUBLE_EQ(bar_.change, 1.50);
  EXPECT_DOUBLE_EQ(bar_.changePercent, 1.50 / 20.50 * 100);
  EXPECT_EQ(bar_.volume, 5000);
  EXPECT_STREQ(bar_.time, "4:00pm");
  const LocalDate today = TodayLocal();
  EXPECT_EQ(std::string(bar_.date),
            std::to_string(today.month) + "/" + std::to_string(today.day) + "/" + std::to_string(today.year));
  EXPECT_DOUBLE_EQ(extra1_, 21.99);
  EXPECT_DOUBLE_EQ(extra2_, 22.01);
}

TEST_F(RealTimeLoad, CompositeIndexTakesItsVolumeFromTheVolumeIndex) {
  net_.server->Route(Url("^IXIC", "sl1d1t1c1ohgv"),
                     Reply(200, "\"^IXIC\",2150.10,\"12/3/2004\",\"4:00pm\",+5.1,2140,2155,2139,0\n"));
  net_.server->Route(Url("^TV.O", "sl1d1t1c1ohgv"),
                     Reply(200, "\"^TV.O\",2345678901.00,\"12/3/2004\",\"4:00pm\",0,0,0,0,0\n"));
  net_.server->Route(Url("^TV.O", "sl1d1t1c1ohgv"),
                     Reply(200, "\"^TV.O\",9999999999.99,\"4/16/2020\",\"4:00pm\",N/A,N/A,N/A,N/A,N/A\n"));
  EXPECT_EQ(Load("^IXIC"), 1);
  ASSERT_EQ(net_.server->requests.size(), 2u);
  EXPECT_EQ(net_.server->requests[1].url, Url("^TV.O", "sl1d1t1c1ohgv"));
  EXPECT_EQ(bar_.volume, 2345678901);  // beyond 32 bits, every digit
  EXPECT_DOUBLE_EQ(bar_.close, 2150.10);
  EXPECT_EQ(Load("^IXIC"), 1);
  EXPECT_EQ(bar_.volume, 9999999999);
}

// The largest plausible volume is read; one share more is no volume: the
// read fails as a missing record and the volume is left alone.
TEST_F(RealTimeLoad, CompositeVolumeAtAndBeyondTheLargestPlausibleVolume) {
  net_.server->Route(Url("^TV.O", "sl1d1t1c1ohgv"), Reply(200, "\"^TV.O\",1000000000000001.00\n"));
  net_.server->Route(Url("^TV.O", "sl1d1t1c1ohgv"), Reply(200, "\"^TV.O\",1000000000000000.00\n"));
  std::int64_t volume = 7;
  EXPECT_EQ(LoadDayWatchVolume(net_.session, volume, TestConfig()), kQuoteFailed);
  EXPECT_TRUE(LogHas("Can not find day watch quote for symbol '^TV.O'"));
  EXPECT_EQ(volume, 7);
  EXPECT_EQ(LoadDayWatchVolume(net_.session, volume, TestConfig()), 1);
  EXPECT_EQ(volume, 1000000000000000);
}

TEST_F(RealTimeLoad, FailuresAndMissingRecords) {
  EXPECT_EQ(Load("NONE"), kQuoteNotFound);  // the scripted server answers 404
  EXPECT_DOUBLE_EQ(bar_.high, 21);          // no high/low rule after a failure

  net_.server->Route(Url("EMPTY", "sl1d1t1c1ohgv"), Reply(200, ""));
  EXPECT_EQ(Load("EMPTY"), kQuoteFailed);
  EXPECT_TRUE(LogHas("Can not find day watch quote for symbol 'EMPTY'"));

  net_.server->Route(Url("HALF", "sl1d1t1c1ohgv"), Reply(200, "\"HALF\",1,\"1/1/2005\",\"1:00pm\"\n"));
  net_.server->Route(Url("HALF", "st5l9c6p4b1a3"), Reply(200, ""));
  EXPECT_EQ(Load("HALF"), kQuoteFailed);
  EXPECT_TRUE(LogHas("Can not find real time quote for symbol 'HALF'"));

  FakeResponse cut = Reply(200, "\"CUT\",20.80,\"12/3/20");
  cut.readError = "transfer closed with 40 bytes remaining to read";
  net_.server->Route(Url("CUT", "sl1d1t1c1ohgv"), cut);
  bar_.close = 7;
  EXPECT_EQ(Load("CUT"), kQuoteLocalFailure);
  EXPECT_DOUBLE_EQ(bar_.close, 7);  // nothing of the cut record is applied

  net_.server->Route(Url("PROXY", "sl1d1t1c1ohgv"), Reply(502));
  EXPECT_EQ(Load("PROXY"), kQuoteProxyError);

  net_.server->Route(Url("^IXIC", "sl1d1t1c1ohgv"), Reply(200, "\"^ixic\",1,\"1/1/2005\",\"1:00pm\"\n"));
  net_.server->Route(Url("^TV.O", "sl1d1t1c1ohgv"), Reply(200, ""));
  EXPECT_EQ(Load("^IXIC"), kQuoteFailed);
  EXPECT_TRUE(LogHas("Can not find day watch quote for symbol '^TV.O'"));
}

TEST_F(RealTimeLoad, ImplausibleRecordsFailWithTheirUsualLines) {
  bar_.close = 7;
  net_.server->Route(Url("MSFT", "sl1d1t1c1ohgv"),
                     Reply(200, "\"MSFT\",1e300,\"12/3/2004\",\"4:00pm\",inf,nan,1e300,-5,1e20\n"));
  EXPECT_EQ(Load("MSFT"), kQuoteFailed);
  EXPECT_TRUE(LogHas("Can not find day watch quote for symbol 'MSFT'"));
  EXPECT_DOUBLE_EQ(bar_.close, 7);
  EXPECT_DOUBLE_EQ(bar_.high, 21);

  net_.server->Route(Url("IBM", "sl1d1t1c1ohgv"),
                     Reply(200, "\"IBM\",20.80,\"12/3/2004\",\"3:59pm\",-0.30,20.60,20.90,20.40,5000\n"));
  net_.server->Route(Url("IBM", "st5l9c6p4b1a3"),
                     Reply(200, "\"IBM\",\"4:00pm\",inf,\"+1e300\",\"x\",nan,1e300\n"));
  EXPECT_EQ(Load("IBM"), kQuoteFailed);
  EXPECT_TRUE(LogHas("Can not find real time quote for symbol 'IBM'"));
  EXPECT_DOUBLE_EQ(bar_.close, 20.80);  // the day-watch record stands; nothing of the other
  EXPECT_DOUBLE_EQ(extra1_, 0);

  net_.server->Route(Url("^IXIC", "sl1d1t1c1ohgv"), Reply(200, "\"^IXIC\",1,\"1/1/2005\",\"1:00pm\"\n"));
  net_.server->Route(Url("^TV.O", "sl1d1t1c1ohgv"), Reply(200, "\"^TV.O\",1e20\n"));
  bar_.volume = 5;
  EXPECT_EQ(Load("^IXIC"), kQuoteFailed);
  EXPECT_TRUE(LogHas("Can not find day watch quote for symbol '^TV.O'"));
  EXPECT_EQ(bar_.volume, 5);
}

TEST_F(RealTimeLoad, RecordsOfAnotherSymbolOrGarbageAreNotTaken) {
  bar_.close = 7;
  net_.server->Route(Url("MSFT", "sl1d1t1c1ohgv"),
                     Reply(200, "\"IBM\",99.00,\"12/3/2004\",\"4:00pm\",1,1,1,1,1\n"));
  EXPECT_EQ(Load("MSFT"), kQuoteFailed);
  EXPECT_TRUE(LogHas("Can not find day watch quote for symbol 'MSFT'"));

  net_.server->Route(Url("ORCL", "sl1d1t1c1ohgv"),
                     Reply(200, "\"orcl\",9.00,\"12/3/2004\",\"4:00pm\",1,1,1,1,1\n"));
  net_.server->Route(Url("ORCL", "st5l9c6p4b1a3"), Reply(200, "\x9c 12.5 \x01\x02\n"));
  EXPECT_EQ(Load("ORCL"), kQuoteFailed);
  EXPECT_TRUE(LogHas("Can not find real time quote for symbol 'ORCL'"));

  bar_.close = 7;
  net_.server->Route(Url("^IXIC", "sl1d1t1c1ohgv"), Reply(200, "\"^IXIC\",1,\"1/1/2005\",\"1:00pm\"\n"));
  net_.server->Route(Url("^TV.O", "sl1d1t1c1ohgv"), Reply(200, "\"^DJI\",123456789\n"));
  bar_.volume = 5;
  EXPECT_EQ(Load("^IXIC"), kQuoteFailed);
  EXPECT_EQ(bar_.volume, 5);  // the other symbol's number is not taken as the volume
}

}  // namespace
}  // namespace velmora
