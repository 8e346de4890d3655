#include "quotes/quote_records.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace velmora {
namespace {

TEST(DayWatchRecordRead, ReadsTheNineFields) {
  DayWatchRecord r;
  ParseDayWatchRecord("\"MSFT\",27.15,\"12/3/2004\",\"4:00pm\",+0.25,26.90,27.20,26.85,51234567\n", r);
  EXPECT_STREQ(r.symbol, "MSFT");
  EXPECT_DOUBLE_EQ(r.last, 27.15);
  EXPECT_STREQ(r.date, "12/3/2004");
  EXPECT_STREQ(r.time, "4:00pm");
  EXPECT_DOUBLE_EQ(r.change, 0.25);
  EXPECT_DOUBLE_EQ(r.open, 26.90);
  EXPECT_DOUBLE_EQ(r.high, 27.20);
  EXPECT_DOUBLE_EQ(r.low, 26.85);
  EXPECT_EQ(r.volume, 51234567);
  EXPECT_EQ(r.fieldsRead, 9);
}

TEST(DayWatchRecordRead, NotAvailableReadsAsZeroAndFieldsAreBounded) {
  DayWatchRecord r;
  ParseDayWatchRecord("\"XYZ\",N/A,\"N/A\",\"N/A\",N/A,N/A,N/A,N/A,N/A", r);
  EXPECT_DOUBLE_EQ(r.last, 0);
  EXPECT_STREQ(r.date, "000");
  EXPECT_DOUBLE_EQ(r.open, 0);
  EXPECT_EQ(r.fieldsRead, 9);

  const std::string longSymbol(300, 'S');
  ParseDayWatchRecord((longSymbol + ",1,12/03/2004xyz,1,1,1,1,3000000000").c_str(), r);
  EXPECT_EQ(std::string(r.symbol), std::string(63, 'S'));
  EXPECT_STREQ(r.date, "12/03/2004");  // the read stops after ten characters...
  EXPECT_STREQ(r.time, "xyz");         // ...and the rest is the next field
  EXPECT_EQ(r.volume, 3000000000);

  ParseDayWatchRecord("\"ABC\",12.5", r);
  EXPECT_EQ(r.fieldsRead, 2);
  EXPECT_FALSE(r.hasChange());
  EXPECT_FALSE(r.hasVolume());
  EXPECT_STREQ(r.date, "");
  ParseDayWatchRecord("", r);
  EXPECT_EQ(r.fieldsRead, 0);
}

TEST(RealTimeRecordRead, BlanksInsideFieldsSurvive) {
  RealTimeRecord r;
  ParseRealTimeRecord("\"MSFT\",\"4:00pm\",27.15,\"+0.25\",\"N/A - +0.93%\",27.14,27.16\n", r);
  EXPECT_STREQ(r.symbol, "MSFT");
  EXPECT_STREQ(r.time, "4:00pm");
  EXPECT_DOUBLE_EQ(r.last, 27.15);
  EXPECT_STREQ(r.changeText, "+0.25");
  EXPECT_STREQ(r.changePercentText, "000 - +0.93%");
  EXPECT_DOUBLE_EQ(r.extra1, 27.14);
  EXPECT_DOUBLE_EQ(r.extra2, 27.16);
  EXPECT_EQ(r.fieldsRead, 7);

  ParseRealTimeRecord("\"MSFT\",\"Dec 3 4:00pm\",27.15", r);
  EXPECT_STREQ(r.time, "Dec 3 4");  // cut to seven characters
  EXPECT_EQ(r.fieldsRead, 3);
}

TEST(ShortDayWatchRead, TakesTheIntegerPartOfTheLastPrice) {
  std::int64_t volume = 7;
  char symbol[64];
  EXPECT_EQ(ParseShortDayWatchVolume("\"^TV.O\",1987654321.75,\"12/3/2004\",\"4:00pm\"", symbol, volume),
            ShortVolumeRead::Read);
  EXPECT_EQ(volume, 1987654321);
  EXPECT_STREQ(symbol, "^TV.O");
  volume = 7;
  EXPECT_EQ(ParseShortDayWatchVolume("\"^TV.O\"", symbol, volume), ShortVolumeRead::Missing);
  EXPECT_EQ(volume, 7);
  for (const char* hostile : {"\"^TV.O\",1e20", "\"^TV.O\",inf", "\"^TV.O\",nan", "\"^TV.O\",-5"}) {
    EXPECT_EQ(ParseShortDayWatchVolume(hostile, symbol, volume), ShortVolumeRead::Unreadable) << hostile;
    EXPECT_EQ(volume, 7) << hostile;
  }
}

// The composite's volume passes 2^31 and 2^32 on any busy day: every digit
// is kept up to the largest plausible volume, and one share more is no
// volume at all rather than a clipped one.
TEST(RecordVolumes, VolumesBeyond32BitsAreKeptInFull) {
  DayWatchRecord day;
  for (const auto& [text, expected] : std::vector<std::pair<std::string, std::int64_t>>{
           {"2147483648", 2147483648},
           {"5179990000", 5179990000},
           {"9999999999", 9999999999},
           {"1000000000000000", 1000000000000000},
       }) {
    ParseDayWatchRecord(
        ("\"^GSPC\",2799.55,\"4/16/2020\",\"4:00pm\",+16.19,2799.34,2806.51,2764.32," + text).c_str(), day);
    EXPECT_TRUE(day.readable) << text;
    EXPECT_EQ(day.volume, expected) << text;
    QuoteBar bar;
    ApplyDayWatchRecord(day, bar);
    EXPECT_EQ(bar.volume, expected) << text;

    std::int64_t volume = 7;
    char symbol[64];
    EXPECT_EQ(ParseShortDayWatchVolume(("\"^TV.O\"," + text + ".00,\"4/16/2020\"").c_str(), symbol, volume),
              ShortVolumeRead::Read)
        << text;
    EXPECT_EQ(volume, expected) << text;
  }

  for (const char* beyond : {"1000000000000001", "9223372036854775807", "18446744073709551616"}) {
    ParseDayWatchRecord(
        (std::string("\"^GSPC\",2799.55,\"4/16/2020\",\"4:00pm\",+16.19,2799.34,2806.51,2764.32,") + beyond)
            .c_str(),
        day);
    EXPECT_FALSE(day.readable) << beyond;
    QuoteBar bar;
    bar.volume = 100;
    ApplyDayWatchRecord(day, bar);
    EXPECT_EQ(bar.volume, 100) << beyond;

    std::int64_t volume = 7;
    char symbol[64];
    EXPECT_EQ(ParseShortDayWatchVolume((std::string("\"^TV.O\",") + beyond).c_str(), symbol, volume),
              ShortVolumeRead::Unreadable)
        << beyond;
    EXPECT_EQ(volume, 7) << beyond;
  }
}

// A record holding a number no service can mean is no quote: it is marked
// unreadable and applying it changes nothing.
TEST(RecordPlausibility, NonFiniteNegativeOrAbsurdNumbersMakeARecordUnreadable) {
  const std::string good = "\"MSFT\",20.80,\"12/3/2004\",\"4:00pm\",-0.30,20.60,20.90,20.40,3000000000";
  DayWatchRecord day;
  ParseDayWatchRecord(good.c_str(), day);
  EXPECT_TRUE(day.readable);  // a negative change is a change
  EXPECT_EQ(day.volume, 3000000000);
  for (const char* hostile : {
           "\"MSFT\",1e300,\"12/3/2004\",\"4:00pm\",0,1,1,1,5000",  // last
           "\"MSFT\",inf,\"12/3/2004\",\"4:00pm\",0,1,1,1,5000",
           "\"MSFT\",20,\"12/3/2004\",\"4:00pm\",nan,1,1,1,5000",  // change
           "\"MSFT\",20,\"12/3/2004\",\"4:00pm\",-1e300,1,1,1,5000",
           "\"MSFT\",20,\"12/3/2004\",\"4:00pm\",0,-1,1,1,5000",          // open
           "\"MSFT\",20,\"12/3/2004\",\"4:00pm\",0,1,1000000001,1,5000",  // high
           "\"MSFT\",20,\"12/3/2004\",\"4:00pm\",0,1,1,-inf,5000",        // low
           "\"MSFT\",20,\"12/3/2004\",\"4:00pm\",0,1,1,1,1e20",           // volume
           "\"MSFT\",20,\"12/3/2004\",\"4:00pm\",0,1,1,1,-5",
       }) {
    ParseDayWatchRecord(hostile, day);
    EXPECT_FALSE(day.readable) << hostile;
  }

  RealTimeRecord real;
  ParseRealTimeRecord("\"MSFT\",\"4:00pm\",21.00,\"-0.50\",\"-2.3%\",20.99,21.01", real);
  EXPECT_TRUE(real.readable);
  for (const char* hostile : {
           "\"MSFT\",\"4:00pm\",1e300,\"+0.50\",\"x\",20.99,21.01",
           "\"MSFT\",\"4:00pm\",21,\"+1e300\",\"x\",20.99,21.01",
           "\"MSFT\",\"4:00pm\",21,\"inf\",\"x\",20.99,21.01",
           "\"MSFT\",\"4:00pm\",21,\"+0.50\",\"x\",nan,21.01",  // bid
           "\"MSFT\",\"4:00pm\",21,\"+0.50\",\"x\",20.99,-21",  // ask
       }) {
    ParseRealTimeRecord(hostile, real);
    EXPECT_FALSE(real.readable) << hostile;
  }

  QuoteBar bar;
  bar.close = 20.5;
  bar.volume = 100;
  double extra1 = 1, extra2 = 2;
  ParseDayWatchRecord("\"MSFT\",inf,\"12/3/2004\",\"4:00pm\",inf,inf,inf,inf,1e20", day);
  ApplyDayWatchRecord(day, bar);
  ParseDayWatchRecord(good.c_str(), day);
  ParseRealTimeRecord("\"MSFT\",\"4:00pm\",1e300,\"+1e300\",\"x\",nan,nan", real);
  ApplyRealTimeRecord(real, day, LocalDate{2004, 12, 3}, bar, &extra1, &extra2);
  EXPECT_DOUBLE_EQ(bar.close, 20.5);
  EXPECT_DOUBLE_EQ(bar.change, 0);
  EXPECT_EQ(bar.volume, 100);
  EXPECT_DOUBLE_EQ(extra1, 1);
  EXPECT_DOUBLE_EQ(extra2, 2);
}

class ApplyRecords : public ::testing::Test {
 protected:
  void SetUp() override {
    bar_.SetDate("2-Dec-04");
    bar_.SetTime("00:00AM");
    bar_.open = 20;
    bar_.high = 21;
    bar_.low = 19;
    bar_.close = 20.5;
    bar_.change = 0.5;
    bar_.volume = 100;
  }
  QuoteBar bar_;
};

TEST_F(ApplyRecords, DayWatchUpdatesAndHoldsHighLowAgainstTheOldClose) {
  DayWatchRecord r;
  ParseDayWatchRecord("\"MSFT\",20.80,\"12/3/2004\",\"4:00pm\",+0.30,20.60,20.40,20.70,5000", r);
  ApplyDayWatchRecord(r, bar_);
  EXPECT_DOUBLE_EQ(bar_.open, 20.60);
  EXPECT_DOUBLE_EQ(bar_.high, 20.50);  // the record's 20.40 is below the old close
  EXPECT_DOUBLE_EQ(bar_.low, 20.50);   // the record's 20.70 is above it
  EXPECT_DOUBLE_EQ(bar_.close, 20.80);
  EXPECT_DOUBLE_EQ(bar_.change, 0.30);
  EXPECT_EQ(bar_.volume, 5000);
  EXPECT_STREQ(bar_.date, "12/3/2004");
  EXPECT_STREQ(bar_.time, "4:00pm");
  ApplyHighLowRule(bar_);
  EXPECT_DOUBLE_EQ(bar_.high, 20.80);
  EXPECT_DOUBLE_EQ(bar_.low, 20.50);
}

TEST_F(ApplyRecords, DayWatchValuesOfZeroLeaveTheBar) {
  DayWatchRecord r;
  ParseDayWatchRecord("\"MSFT\",N/A,\"12/3/2004\",\"4:00pm\",N/A,N/A,N/A,N/A,N/A", r);
  ApplyDayWatchRecord(r, bar_);
  EXPECT_DOUBLE_EQ(bar_.open, 20);  // N/A open keeps the previous open
  EXPECT_DOUBLE_EQ(bar_.high, 21);
  EXPECT_DOUBLE_EQ(bar_.low, 19);
  EXPECT_DOUBLE_EQ(bar_.close, 20.5);
  EXPECT_STREQ(bar_.date, "2-Dec-04");
  EXPECT_DOUBLE_EQ(bar_.change, 0);  // change and volume are written as read
  EXPECT_EQ(bar_.volume, 0);

  SetUp();
  ParseDayWatchRecord("\"MSFT\",21", r);  // too short: change and volume stay
  ApplyDayWatchRecord(r, bar_);
  EXPECT_DOUBLE_EQ(bar_.close, 21);
  EXPECT_DOUBLE_EQ(bar_.change, 0.5);
  EXPECT_EQ(bar_.volume, 100);
}

TEST_F(ApplyRecords, RealTimeTimeWithColonDatesTheBarToday) {
  DayWatchRecord day;
  ParseDayWatchRecord("\"MSFT\",20.80,\"12/2/2004\",\"4:00pm\",+0.30,20.60,20.90,20.40,5000", day);
  ApplyDayWatchRecord(day, bar_);
  RealTimeRecord rt;
  ParseRealTimeRecord("\"MSFT\",\"4:00pm\",21.00,\"+0.50\",\"+2.44%\",20.99,21.01", rt);
  double extra1 = -1, extra2 = -1;
  ApplyRealTimeRecord(rt, day, LocalDate{2004, 12, 3}, bar_, &extra1, &extra2);
  EXPECT_DOUBLE_EQ(bar_.close, 21.00);
  EXPECT_STREQ(bar_.time, "4:00pm");
  EXPECT_STREQ(bar_.date, "12/3/2004");
  EXPECT_DOUBLE_EQ(bar_.change, 0.50);
  EXPECT_DOUBLE_EQ(bar_.changePercent, 0.50 / 20.50 * 100);
  EXPECT_DOUBLE_EQ(extra1, 20.99);
  EXPECT_DOUBLE_EQ(extra2, 21.01);
}

TEST_F(ApplyRecords, RealTimeWithoutPriceOrColon) {
  DayWatchRecord day;
  ParseDayWatchRecord("\"MSFT\",20.80,\"12/2/2004\",\"Close\",+0.30,20.60,20.90,20.40,5000", day);
  ApplyDayWatchRecord(day, bar_);
  RealTimeRecord rt;
  ParseRealTimeRecord("\"MSFT\",\"N/A\",N/A,\"-0.80\",\"N/A\",N/A,N/A", rt);
  ApplyRealTimeRecord(rt, day, LocalDate{2004, 12, 3}, bar_, nullptr, nullptr);
  EXPECT_DOUBLE_EQ(bar_.close, 20.80);
  EXPECT_STREQ(bar_.date, "12/2/2004");  // no ':' in "Close": the service's date stands
  EXPECT_DOUBLE_EQ(bar_.change, -0.80);
  EXPECT_DOUBLE_EQ(bar_.changePercent, -0.80 / 21.60 * 100);

  ParseRealTimeRecord("\"MSFT\",\"4:00pm\",0.50,\"+0.50\"", rt);  // previous close 0
  ApplyRealTimeRecord(rt, day, LocalDate{2004, 12, 3}, bar_, nullptr, nullptr);
  EXPECT_DOUBLE_EQ(bar_.changePercent, 0);
}

}  // namespace
}  // namespace velmora
