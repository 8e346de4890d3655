#include <gtest/gtest.h>

#include <cstring>

#include "core/quote_bar.h"

namespace velmora {
namespace {

TEST(QuoteBarRecord, FreshValues) {
  QuoteBar bar;
  EXPECT_EQ(bar.breakState, kInside);
  EXPECT_EQ(bar.trend, kUp);
  EXPECT_EQ(bar.trendChanged, 0);
  EXPECT_EQ(bar.barsSinceChange, 0);
  EXPECT_STREQ(bar.date, "          ");  // ten blanks, not empty
  EXPECT_STREQ(bar.time, "       ");     // seven blanks
  EXPECT_STREQ(bar.signalMark, "");
  for (char flag :
       {bar.aboveEma5, bar.aboveEma10, bar.aboveEma20, bar.aboveEma50, bar.aboveEma100, bar.aboveEma200})
    EXPECT_EQ(flag, 'N');
  for (double v :
       {bar.upperBreak, bar.lowerBreak,    bar.open,           bar.high,  bar.low,        bar.close,
        bar.change,     bar.changePercent, bar.toEma10Percent, bar.ema5,  bar.ema10,      bar.ema20,
        bar.ema50,      bar.ema100,        bar.ema200,         bar.rsi,   bar.rsiAvgGain, bar.rsiAvgLoss,
        bar.stochRawK,  bar.stochSlowRaw,  bar.stochK,         bar.stochD})
    EXPECT_EQ(v, 0.0);
  EXPECT_EQ(bar.volume, 0);
  EXPECT_EQ(bar.volumeAvg50, 0);
}

TEST(QuoteBarRecord, ResetCopyAndBoundedTexts) {
  QuoteBar a, b;
  a.SetMark("B");
  a.close = 12.5;
  a.SetDate("6-Dec-05");
  b.SetMark("S");
  b.CopyFrom(a);
  EXPECT_STREQ(b.signalMark, "B");
  EXPECT_EQ(b.close, 12.5);
  EXPECT_STREQ(b.date, "6-Dec-05");

  b.SetDate("2005-12-06 and much more text");
  EXPECT_STREQ(b.date, "2005-12-06");
  b.SetTime("12:34:56pm");
  EXPECT_STREQ(b.time, "12:34:5");
  b.SetMark("TOOLONG");
  EXPECT_STREQ(b.signalMark, "TOOLO");

  b.Reset();
  EXPECT_STREQ(b.signalMark, "");
  EXPECT_EQ(b.close, 0.0);
}

TEST(QuoteBarRecord, DateKeyJoinsDateAndTime) {
  QuoteBar bar;
  bar.SetDate("6-Dec-05");
  bar.SetTime("00:00AM");
  EXPECT_EQ(bar.DateKey(), 20051206);
  bar.SetDate("12/6/2005");
  bar.SetTime("4:00pm");
  EXPECT_EQ(bar.DateKey(), 20051206);
  bar.SetDate("2019-03-15");
  EXPECT_EQ(bar.DateKey(), 20190315);
}

TEST(QuoteBarRecord, SeriesCapacities) {
  QuoteSeries history;
  MonitoredSeries monitored;
  EXPECT_EQ(QuoteSeries::kCapacity, 1095);
  EXPECT_EQ(MonitoredSeries::kCapacity, 32);
  EXPECT_EQ(history.count, 0);
  EXPECT_EQ(history[1094].breakState, kInside);  // every element starts fresh
  monitored[31].close = 1;
  monitored.ResetAll();
  EXPECT_EQ(monitored[31].close, 0.0);
}

}  // namespace
}  // namespace velmora
