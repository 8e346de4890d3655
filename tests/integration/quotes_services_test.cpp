// LoadHistoryQuote and LoadRealTimeQuote through the real client against the
// stand-in quote service (and a scripted server where a page must fail).

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

#include "base/text_helpers.h"
#include "net/quote_result.h"
#include "net/raw_http_server.h"
#include "quotes/quote_services.h"
#include "support/log_lines.h"
#include "support/standin_config.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::LogHas;
using test::RawHttpServer;

using test::StandinConfig;

// The request targets in the stand-in's request log, sorted: the service's
// threads write their lines in the order they finish, not in request order.
std::vector<std::string> Targets(const std::string& logPath, std::size_t atLeast) {
  std::vector<std::string> targets;
  for (int i = 0; i < 50; ++i) {
    targets.clear();
    for (const std::string& line : test::SplitLines(test::ReadFile(logPath))) {
      // TIME CLIENT METHOD TARGET STATUS ...
      std::size_t at = 0;
      for (int field = 0; field < 3 && at != std::string::npos; ++field) at = line.find(' ', at + 1);
      if (at == std::string::npos) continue;
      targets.push_back(line.substr(at + 1, line.find(' ', at + 1) - at - 1));
    }
    if (targets.size() >= atLeast) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::sort(targets.begin(), targets.end());
  return targets;
}

class QuotesServices : public test::InTempDir, public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server_.ok()) << "quote-standin did not start"; }
  int LoadThreeYears(const char* symbol, int historyServer = kHistoryYahooSpreadSheet) {
    return LoadHistoryQuote(symbol, 'd', 2002, 12, 6, 2005, 12, 6, session_, kHistoryCapacity,
                            series_->data(), StandinConfig(server_.baseUrl(), historyServer));
  }
  std::vector<std::string> Requests(std::size_t atLeast = 0) const {
    return Targets(folder_.file("requests.log"), atLeast);
  }

  test::StandinServer server_{{"--fault", "BAD=404", "--fault", "FIVE=500", "--fault", "PROXY=502", "--fault",
                               "GARB=garbage", "--fault", "TRUNC=truncated", "--fault", "EMPTY=empty",
                               "--request-log", folder_.file("requests.log")}};
  InternetSession session_;
  std::unique_ptr<QuoteSeries> series_ = std::make_unique<QuoteSeries>();
};

TEST_F(QuotesServices, ThreeYearHistoryComesInPagesNewestFirst) {
  const int result = LoadThreeYears("msft");
  ASSERT_GT(result, 700);  // about 756 trading days
  const std::vector<std::string> targets = Requests(static_cast<std::size_t>((result - 1) / 200 + 1));
  ASSERT_EQ(targets.size(), static_cast<std::size_t>((result - 1) / 200 + 1));
  // One request per page: the span-1095 query with offsets 0, 200, 400, ...
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const std::string query =
        "/table.csv?s=MSFT&d=11&e=6&f=2005&g=d&a=11&b=6&c=2002&z=1095&y=" + std::to_string(200 * i) +
        "&ignore=.csv";
    EXPECT_NE(std::find(targets.begin(), targets.end(), query), targets.end()) << query;
  }
  EXPECT_STREQ((*series_)[1].date, "6-Dec-05");
  EXPECT_STREQ((*series_)[0].date, "6-Dec-05");
  EXPECT_DOUBLE_EQ((*series_)[0].close, (*series_)[1].close);
  for (int i = 2; i < result; ++i) {
    ASSERT_LT((*series_)[i].DateKey(), (*series_)[i - 1].DateKey()) << i;
    ASSERT_GT((*series_)[i].volume, 0);
    ASSERT_STREQ((*series_)[i].time, "00:00AM");
  }
}

TEST_F(QuotesServices, HtmlHistoryGivesTheSameRows) {
  const int csv = LoadThreeYears("MSFT");
  std::vector<std::string> dates;
  for (int i = 1; i < csv; ++i) dates.emplace_back((*series_)[i].date);
  series_->ResetAll();
  const int html = LoadThreeYears("MSFT", kHistoryYahooHtml);
  EXPECT_EQ(html, csv);
  // Prices may differ: the HTML rows are always scaled to the adjusted close.
  for (int i = 1; i < html && i < csv; ++i) ASSERT_EQ((*series_)[i].date, dates[i - 1]) << i;
  const std::vector<std::string> targets = Requests(static_cast<std::size_t>(2 * ((csv - 1) / 200 + 1)));
  EXPECT_NE(std::find(targets.begin(), targets.end(),
                      "/q/hp?s=MSFT&a=11&b=6&c=2002&d=11&e=6&f=2005&g=d&z=1095&y=0"),
            targets.end());
  // Neither the page nor the converter's file is left behind.
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    EXPECT_NE(entry.path().filename().string().substr(0, 3), "aaa") << entry.path();
  }
}

TEST_F(QuotesServices, PagesOfTwoHundredAndOneHundredTwentyGive321) {
  test::WriteFile(folder_.file("PAGED.csv"), [] {
    std::string text = "Date,Open,High,Low,Close,Volume,Adj Close\n";
    int year = 2005, month = 12, day = 6;
    for (int i = 0; i < 320; ++i) {
      char line[96];
      std::snprintf(line, sizeof line, "%04d-%02d-%02d,10.00,11.00,9.00,10.50,%d,10.50\n", year, month, day,
                    1000 + i);
      text += line;
      if (--day == 0) {
        day = 28;
        if (--month == 0) month = 12, --year;
      }
    }
    return text;
  }());
  test::StandinServer files({"--data-dir", folder_.path()});
  ASSERT_TRUE(files.ok());
  EXPECT_EQ(LoadHistoryQuote("PAGED", 'd', 2002, 12, 6, 2005, 12, 6, session_, kHistoryCapacity,
                             series_->data(), StandinConfig(files.baseUrl())),
            321);
  EXPECT_EQ((*series_)[1].volume, 1000);
  EXPECT_EQ((*series_)[320].volume, 1319);
}

TEST_F(QuotesServices, FailingFirstPageGivesMinusTheStatus) {
  EXPECT_EQ(LoadThreeYears("BAD"), kQuoteNotFound);
  EXPECT_EQ(LoadThreeYears("FIVE"), -500);
  EXPECT_EQ(LoadThreeYears("PROXY"), kQuoteProxyError);
  EXPECT_TRUE(LogHas("Warnning: got status code 404 when opening URL:"));
}

TEST_F(QuotesServices, GarbageTruncatedAndEmptyBodiesGiveNoRows) {
  const int garbage = LoadThreeYears("GARB");
  EXPECT_LE(garbage, 1);
  EXPECT_EQ(LoadThreeYears("TRUNC"), kQuoteLocalFailure);
  EXPECT_EQ(LoadThreeYears("EMPTY"), 1);
  EXPECT_EQ(LoadThreeYears("GARB", kHistoryYahooHtml), 1);

  QuoteBar bar;
  bar.close = 7;
  for (const char* symbol : {"GARB", "TRUNC", "EMPTY"}) {
    EXPECT_LT(LoadRealTimeQuote(symbol, session_, RealTimePlaces{&bar}, StandinConfig(server_.baseUrl())), 0)
        << symbol;
  }
  EXPECT_DOUBLE_EQ(bar.close, 7);
}

TEST_F(QuotesServices, RealTimeQuoteAsksForBothRecords) {
  QuoteBar bar;
  bar.close = 1;
  double extra1 = 0, extra2 = 0;
  EXPECT_EQ(LoadRealTimeQuote("MSFT", session_, RealTimePlaces{&bar, &extra1, &extra2},
                              StandinConfig(server_.baseUrl())),
            1);
  const std::vector<std::string> expected{"/d/quotes.csv?s=MSFT&f=sl1d1t1c1ohgv&e=.csv",
                                          "/d/quotes.csv?s=MSFT&f=st5l9c6p4b1a3&e=.csv"};  // sorted
  EXPECT_EQ(Requests(2), expected);
  EXPECT_GT(bar.close, 1);
  EXPECT_GE(bar.high, bar.close);
  EXPECT_LE(bar.low, bar.close);
  EXPECT_GT(bar.volume, 0);
  EXPECT_GT(extra1, 0);
  EXPECT_GT(extra2, 0);
  int year = 0, month = 0, day = 0;
  ParseDate(bar.date, year, month, day);
  EXPECT_GE(month, 1);
}

TEST_F(QuotesServices, CompositeIndexMakesTwoDayWatchRequests) {
  QuoteBar bar;
  EXPECT_EQ(LoadRealTimeQuote("^IXIC", session_, RealTimePlaces{&bar}, StandinConfig(server_.baseUrl())), 1);
  const std::vector<std::string> expected{"/d/quotes.csv?s=^IXIC&f=sl1d1t1c1ohgv&e=.csv",
                                          "/d/quotes.csv?s=^TV.O&f=sl1d1t1c1ohgv&e=.csv"};  // sorted
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // a third request would show by now
  EXPECT_EQ(Requests(2), expected);
  EXPECT_GT(bar.volume, 0);
}

TEST_F(QuotesServices, MyTrackSendsNothing) {
  SystemConfig config = StandinConfig(server_.baseUrl());
  config.RealTimeQuoteServer = kRealTimeMyTrack;
  QuoteBar bar;
  bar.high = 5;
  bar.low = 5;
  bar.close = 6;
  EXPECT_EQ(LoadRealTimeQuote("MSFT", session_, RealTimePlaces{&bar}, config), 1);
  EXPECT_DOUBLE_EQ(bar.high, 6);
  EXPECT_DOUBLE_EQ(bar.low, 5);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(Requests().empty());
}

// The failing second page comes from a scripted server (the stand-in's faults
// are per symbol): the first page's rows stand.
class QuotesServicesThreads : public test::InTempDir, public ::testing::Test {};

TEST_F(QuotesServicesThreads, FailingSecondPageKeepsTheFirst) {
  RawHttpServer raw([](const std::string& head) {
    if (head.find("&y=0&") == std::string::npos) return RawHttpServer::Answer(404, "Not Found\n");
    std::string page = "Date,Open,High,Low,Close,Volume,Adj Close\n";
    for (int i = 0; i < 200; ++i) page += std::to_string(1 + i % 28) + "-Nov-05,1,2,0.5,1.5,100,1.5\n";
    return RawHttpServer::Answer(200, page);
  });
  InternetSession session;
  auto series = std::make_unique<QuoteSeries>();
  EXPECT_EQ(LoadHistoryQuote("MSFT", 'd', 2002, 12, 6, 2005, 12, 6, session, kHistoryCapacity, series->data(),
                             StandinConfig(raw.base())),
            201);
  EXPECT_EQ(raw.requests().size(), 2u);
}

}  // namespace
}  // namespace velmora
