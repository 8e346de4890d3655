// Volumes of billions of shares from the stand-in quote service's data folder
// through the program's history and quote loads, on both history services.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "quotes/quote_services.h"
#include "support/log_lines.h"
#include "support/standin_config.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::StandinConfig;

class LargeVolumes : public test::InTempDir, public ::testing::Test {
 protected:
  void Start(const char* now) {
    server_ = std::make_unique<test::StandinServer>(
        std::vector<std::string>{"--data-dir", data_.path(), "--now", now});
    ASSERT_TRUE(server_->ok()) << "quote-standin did not start";
  }
  int LoadHistory(const char* symbol, int historyServer, int startYear, int startMonth, int startDay,
                  int endYear, int endMonth, int endDay) {
    return LoadHistoryQuote(symbol, 'd', startYear, startMonth, startDay, endYear, endMonth, endDay, session_,
                            kHistoryCapacity, series_->data(),
                            StandinConfig(server_->baseUrl(), historyServer));
  }

  test::TempFolder data_;
  std::unique_ptr<test::StandinServer> server_;
  InternetSession session_;
  std::unique_ptr<QuoteSeries> series_ = std::make_unique<QuoteSeries>();
};

TEST_F(LargeVolumes, HistoryAndQuotesKeepEveryDigit) {
  test::WriteFile(data_.file("^GSPC.csv"),
                  "Date,Open,High,Low,Close,Volume,Adj Close\n"
                  "2020-04-14,2805.10,2851.85,2805.10,2846.06,5567400000,2846.06\n"
                  "2020-04-15,2795.64,2801.88,2761.54,2783.36,2147483648,2783.36\n"
                  "2020-04-16,2799.34,2806.51,2764.32,2799.55,5179990000,2799.55\n"
                  "2020-04-17,2842.43,2879.22,2830.88,2874.56,9999999999,2874.56\n");
  test::WriteFile(data_.file("^IXIC.csv"),
                  "Date,Open,High,Low,Close,Volume\n"
                  "2020-04-15,8300.00,8400.00,8200.00,8350.00,4294967296\n"
                  "2020-04-16,8400.00,8500.00,8300.00,8450.00,51799900009\n"
                  "2020-04-17,8500.00,8600.00,8400.00,8550.00,8888888888\n");
  Start("2020-04-17T17:00");

  for (const int service : {kHistoryYahooSpreadSheet, kHistoryYahooHtml}) {
    SCOPED_TRACE(service);
    ASSERT_EQ(LoadHistory("^GSPC", service, 2020, 1, 1, 2020, 4, 17), 4);
    EXPECT_STREQ((*series_)[1].date, "16-Apr-20");
    EXPECT_EQ((*series_)[0].volume, 5179990000);
    EXPECT_EQ((*series_)[1].volume, 5179990000);
    EXPECT_EQ((*series_)[2].volume, 2147483648);
    EXPECT_EQ((*series_)[3].volume, 5567400000);

    // The composite's history volumes are kept in tens.
    ASSERT_EQ(LoadHistory("^IXIC", service, 2020, 1, 1, 2020, 4, 17), 3);
    EXPECT_EQ((*series_)[1].volume, 5179990000);
    EXPECT_EQ((*series_)[2].volume, 429496729);
  }

  const SystemConfig config = StandinConfig(server_->baseUrl(), kHistoryYahooSpreadSheet);
  QuoteBar bar;
  ASSERT_EQ(LoadRealTimeQuote("^GSPC", session_, RealTimePlaces{&bar}, config), 1);
  EXPECT_DOUBLE_EQ(bar.close, 2874.56);
  EXPECT_EQ(bar.volume, 9999999999);
  // The composite's current volume is the last price of the volume index.
  QuoteBar composite;
  ASSERT_EQ(LoadRealTimeQuote("^IXIC", session_, RealTimePlaces{&composite}, config), 1);
  EXPECT_DOUBLE_EQ(composite.close, 8550.00);
  EXPECT_EQ(composite.volume, 8888888888);
}

// Three years of the real S&P 500 up to its last row, every volume as the
// file holds it.
TEST_F(LargeVolumes, RealSP500HistoryComesBackAsStored) {
  const std::string source =
      std::string(VELMORA_SOURCE_DIR) + "/build/test-data/node_modules/vega-datasets/data/sp500-2000.csv";
  if (!test::FileExists(source)) {
    GTEST_SKIP() << "no S&P 500 data at " << source << " (run scripts/fetch-test-data.sh, which needs npm)";
  }
  const std::string text = test::ReadFile(source);
  test::WriteFile(data_.file("^GSPC.csv"), text);
  // date,open,high,low,close,adjclose,volume; dates as the service writes them.
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::map<std::string, std::int64_t> volumes;
  for (const std::string& line : test::SplitLines(text)) {
    int y = 0, m = 0, d = 0;
    long long volume = 0;
    if (std::sscanf(line.c_str(), "%d-%d-%d,%*f,%*f,%*f,%*f,%*f,%lld", &y, &m, &d, &volume) != 4) continue;
    if (m < 1 || m > 12) continue;
    volumes[std::to_string(d) + "-" + kMonths[m - 1] + "-" + std::to_string(y % 100 + 100).substr(1)] =
        volume;
  }
  ASSERT_EQ(volumes.at("16-Apr-20"), 5179990000);
  Start("2020-04-17T17:00");

  for (const int service : {kHistoryYahooSpreadSheet, kHistoryYahooHtml}) {
    SCOPED_TRACE(service);
    const int next = LoadHistory("^GSPC", service, 2017, 4, 17, 2020, 4, 17);
    ASSERT_GT(next, 700);
    int beyond32Bits = 0;
    for (int i = 1; i < next; ++i) {
      const QuoteBar& bar = (*series_)[i];
      const auto stored = volumes.find(bar.date);
      ASSERT_NE(stored, volumes.end()) << bar.date;
      ASSERT_EQ(bar.volume, stored->second) << bar.date;
      beyond32Bits += bar.volume > 4294967295;
    }
    EXPECT_STREQ((*series_)[1].date, "16-Apr-20");
    EXPECT_EQ((*series_)[1].volume, 5179990000);
    EXPECT_GT(beyond32Bits, 50);
  }
}

}  // namespace
}  // namespace velmora
