#include "providers/provider_bars.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "quotes/history_parser.h"
#include "quotes/quote_records.h"

namespace velmora {
namespace {

ProviderBar Bar(ProviderDate date, double open, double high, double low, double close, double volume,
                double adjClose) {
  return ProviderBar{date, open, high, low, close, adjClose, volume};
}

void ExpectSameBar(const QuoteBar& got, const QuoteBar& want) {
  EXPECT_STREQ(got.date, want.date);
  EXPECT_STREQ(got.time, want.time);
  EXPECT_EQ(got.open, want.open);  // the very same doubles
  EXPECT_EQ(got.high, want.high);
  EXPECT_EQ(got.low, want.low);
  EXPECT_EQ(got.close, want.close);
  EXPECT_EQ(got.volume, want.volume);
  EXPECT_EQ(got.change, want.change);
  EXPECT_EQ(got.changePercent, want.changePercent);
}

// The classic rows of `lines` (newest first) as the service's reader stores them.
QuoteSeries Classic(const std::vector<const char*>& lines, bool tens = false) {
  QuoteSeries series;
  HistoryLoadState state;
  for (const char* line : lines)
    EXPECT_EQ(ParseHistoryCsvLine(line, tens, kHistoryCapacity, series.data(), state), 1);
  series.count = state.nextSlot;
  if (state.nextSlot > 1) series[0].CopyFrom(series[1]);
  return series;
}

TEST(StoreProviderBars, GivesTheBarsTheClassicRowsGive) {
  // Oldest first from the provider; a 2:1 split after the first day (its
  // close twice its adjusted close), a small dividend after the last.
  const std::vector<ProviderBar> bars = {
      Bar({2005, 12, 5}, 20.01, 20.33, 19.97, 20.00, 1000, 10.00),
      Bar({2005, 12, 6}, 10.25, 10.80, 10.10, 10.50, 1234567, 10.50),
      Bar({2006, 1, 9}, 10.1, 10.9, 9.95, 10.6, 5179990001, 10.4),
  };
  QuoteSeries series;
  EXPECT_EQ(StoreProviderBars(bars, "MSFT", kHistoryCapacity, series.data()), 4);
  const QuoteSeries classic = Classic({"9-Jan-06,10.1,10.9,9.95,10.6,5179990001,10.4",
                                       "6-Dec-05,10.25,10.80,10.10,10.50,1234567,10.50",
                                       "5-Dec-05,20.01,20.33,19.97,20.00,1000,10.00"});
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ExpectSameBar(series[i], classic[i]);
  }
  EXPECT_STREQ(series[1].date, "9-Jan-06");
  EXPECT_DOUBLE_EQ(series[3].open, 10.01);  // scaled to the adjusted close and rounded
  EXPECT_EQ(series[3].volume, 2000);

  // The composite index, by its symbol or as "NASDAQ", keeps its volumes in tens.
  const std::vector<ProviderBar> index = {
      Bar({2020, 4, 16}, 2799.34, 2806.51, 2764.32, 2799.55, 5179990000, 2799.55)};
  const QuoteSeries tens = Classic({"16-Apr-20,2799.34,2806.51,2764.32,2799.55,5179990000,2799.55"}, true);
  for (const char* symbol : {"^IXIC", "nasdaq"}) {
    EXPECT_EQ(StoreProviderBars(index, symbol, kHistoryCapacity, series.data()), 2);
    ExpectSameBar(series[1], tens[1]);
  }
}

TEST(StoreProviderBars, ClassicRulesAndTheArraysBoundsHold) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<ProviderBar> bars = {
      Bar({1962, 1, 2}, 1, 1, 1, 1, 10, 1),    // before the two-digit years: left out
      Bar({2024, 6, 3}, 1, 2, 1, 2, 10, 2),    // stored
      Bar({2024, 6, 4}, 1, 2, 1, 2, 0, 2),     // no volume: the classic reader stores none
      Bar({2024, 6, 5}, nan, 2, 1, 2, 10, 2),  // no price
      Bar({2024, 6, 6}, 3, 4, 3, 4, 10, 4),    // stored
      Bar({2068, 12, 31}, 5, 6, 5, 6, 10, 6),  // the last year "d-Mon-yy" can carry
      Bar({2069, 1, 2}, 7, 8, 7, 8, 10, 8),    // read back as 1969: left out
  };
  QuoteSeries series;
  EXPECT_EQ(StoreProviderBars(bars, "X", kHistoryCapacity, series.data(), {9999, 12, 31}), 4);
  EXPECT_STREQ(series[1].date, "31-Dec-68");
  EXPECT_EQ(series[1].DateKey(), 20681231);
  EXPECT_STREQ(series[2].date, "6-Jun-24");
  EXPECT_STREQ(series[3].date, "3-Jun-24");
  EXPECT_STREQ(series[0].date, "31-Dec-68");

  // Only the newest capacity - 1 bars fit; nothing is written beyond.
  series[3].SetDate("sentinel");
  EXPECT_EQ(StoreProviderBars(bars, "X", 3, series.data(), {9999, 12, 31}), 3);
  EXPECT_STREQ(series[2].date, "6-Jun-24");
  EXPECT_STREQ(series[3].date, "sentinel");
  EXPECT_EQ(StoreProviderBars({}, "X", 3, series.data()), 1);
  EXPECT_EQ(StoreProviderBars(bars, "X", 1, series.data()), 1);
  // Prices that show as 0.00 once scaled, and a date after the latest.
  const std::vector<ProviderBar> spoilt = {Bar({2026, 12, 4}, 100, 101, 99, 100, 10, 0.001),
                                           Bar({2026, 12, 8}, 1, 2, 1, 2, 10, 2),
                                           Bar({2026, 12, 9}, 1, 2, 1, 2, 10, 2)};
  EXPECT_EQ(StoreProviderBars(spoilt, "X", kHistoryCapacity, series.data(), {2026, 12, 8}), 2);
  EXPECT_STREQ(series[1].date, "8-Dec-26");
}

class ProviderQuoteOnBar : public ::testing::Test {
 protected:
  // The current bar before the quote: a copy of yesterday's history bar.
  QuoteBar Yesterday() {
    QuoteBar bar;
    bar.SetDate("4-Dec-26");
    bar.SetTime("00:00AM");
    bar.open = 410;
    bar.high = 413;
    bar.low = 409;
    bar.close = 412.3;
    bar.volume = 19000000;
    return bar;
  }
  static ProviderQuote Quote(std::int64_t time) {
    ProviderQuote q;
    q.last = 415.2;
    q.previousClose = 412.3;
    q.open = 413.0;
    q.high = 416.0;
    q.low = 410.1;
    q.volume = 20311000;
    q.time = time;
    return q;
  }
  // What the classic day-watch and real-time records make of the same quote.
  QuoteBar Classic(const char* dayWatchLine, const char* realTimeLine, LocalDate today) {
    QuoteBar bar = Yesterday();
    DayWatchRecord dayWatch;
    RealTimeRecord realTime;
    ParseDayWatchRecord(dayWatchLine, dayWatch);
    ParseRealTimeRecord(realTimeLine, realTime);
    ApplyDayWatchRecord(dayWatch, bar);
    ApplyRealTimeRecord(realTime, dayWatch, today, bar, nullptr, nullptr);
    ApplyHighLowRule(bar);
    return bar;
  }
};

TEST_F(ProviderQuoteOnBar, LooksAsTheClassicRecordsMakeIt) {
  QuoteBar bar = Yesterday();
  ASSERT_TRUE(ApplyProviderQuote(Quote(1796677200), "MSFT", bar));  // 7 December 2026, 21:00 UTC
  ExpectSameBar(bar, Classic("\"MSFT\",415.20,\"12/7/2026\",\"4:00pm\",+2.90,413.00,416.00,410.10,20311000",
                             "\"MSFT\",\"4:00pm\",415.20,\"+2.90\",\"+0.70%\",415.00,415.40", {2026, 12, 7}));
  EXPECT_STREQ(bar.date, "12/7/2026");
  EXPECT_DOUBLE_EQ(bar.change, 2.9);

  // A quote without volume or previous close (Finnhub's has no volume): the
  // bar keeps its volume, and the change is 0 as for a classic "N/A".
  ProviderQuote bare = Quote(1783344600);  // 6 July 2026, 9:30 New York summer time
  bare.volume = 0;
  bare.previousClose = 0;
  bar = Yesterday();
  ASSERT_TRUE(ApplyProviderQuote(bare, "MSFT", bar));
  ExpectSameBar(bar, Classic("\"MSFT\",415.20,\"7/6/2026\",\"9:30am\",N/A,413.00,416.00,410.10",
                             "\"MSFT\",\"9:30am\",415.20,\"N/A\",\"N/A\"", {2026, 7, 6}));
  EXPECT_EQ(bar.volume, 19000000);
}

TEST_F(ProviderQuoteOnBar, TimeIsTheExchangesClock) {
  struct Case {
    std::int64_t time;
    const char* zone;
    bool hasOffset;
    int offset;
    const char* date;
    const char* clock;
  };
  const Case cases[] = {
      {1783344600, "America/New_York", true, -18000, "7/6/2026", "9:30am"},  // New York's own rule wins
      {1783344600, "", false, 0, "7/6/2026", "9:30am"},
      {1796677200, "Asia/Tokyo", true, 32400, "12/8/2026", "6:00am"},
      {1796677200 - 9 * 3600 + 5 * 60, "Asia/Tokyo", true, 32400, "12/7/2026", "9:05pm"},
      {1796623200, "Europe/London", true, 0, "12/7/2026", "6:00am"},
      {1796623200 + 6 * 3600, "Europe/London", true, 0, "12/7/2026", "12:00pm"},
      {1796623200 - 6 * 3600, "Europe/London", true, 0, "12/7/2026", "12:00am"},
      {1796677200, "Asia/Tokyo", false, 0, "12/7/2026", "4:00pm"},  // no offset: New York's
  };
  for (const Case& c : cases) {
    ProviderQuote q = Quote(c.time);
    q.timeZone = c.zone;
    q.hasUtcOffset = c.hasOffset;
    q.utcOffsetSeconds = c.offset;
    QuoteBar bar = Yesterday();
    ASSERT_TRUE(ApplyProviderQuote(q, "X", bar));
    EXPECT_STREQ(bar.date, c.date) << c.time << " " << c.zone;
    EXPECT_STREQ(bar.time, c.clock) << c.time << " " << c.zone;
  }
}

TEST_F(ProviderQuoteOnBar, NoPlausibleQuoteLeavesTheBar) {
  const double inf = std::numeric_limits<double>::infinity();
  for (int i = 0; i < 7; ++i) {
    ProviderQuote q = Quote(1796677200);
    if (i == 0) q.last = 0;
    if (i == 1) q.last = -415.2;
    if (i == 2) q.high = inf;
    if (i == 3) q.previousClose = std::nan("");
    if (i == 4) q.volume = 1e20;
    if (i == 5) q.low = 2e9;
    if (i == 6) q.time = 9000000000000000000;
    QuoteBar bar = Yesterday();
    EXPECT_FALSE(ApplyProviderQuote(q, "MSFT", bar)) << i;
    ExpectSameBar(bar, Yesterday());
  }
}

// Prices shown as 0.00, a high or low beyond the open, a later day: no quote.
TEST_F(ProviderQuoteOnBar, QuotesTheFileCouldNotShowAreRefused) {
  using Case = std::tuple<double ProviderQuote::*, double, int>;  // the field, its value, the latest day
  for (const auto& [field, value, latestDay] :
       {Case{&ProviderQuote::last, 1e-300, 7}, Case{&ProviderQuote::high, 412.0, 7},
        Case{&ProviderQuote::low, 413.5, 7}, Case{&ProviderQuote::last, 415.2, 6}}) {
    ProviderQuote q = Quote(1796677200);  // 7 December 2026
    q.*field = value;
    QuoteBar bar = Yesterday();
    EXPECT_FALSE(ApplyProviderQuote(q, "MSFT", bar, {2026, 12, latestDay})) << value;
    ExpectSameBar(bar, Yesterday());
  }
}

}  // namespace
}  // namespace velmora
