#include "quotes/history_parser.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/log_lines.h"

namespace velmora {
namespace {

class HistoryCsvLine : public ::testing::Test {
 protected:
  QuoteSeries series_;
  HistoryLoadState state_;
  int Parse(const char* line, bool tens = false, int capacity = kHistoryCapacity) {
    return ParseHistoryCsvLine(line, tens, capacity, series_.data(), state_);
  }
};

TEST_F(HistoryCsvLine, StoresADataRowInTheNextSlot) {
  EXPECT_EQ(Parse("6-Dec-05,10.25,10.80,10.10,10.50,1234567,10.50\n"), 1);
  EXPECT_EQ(state_.nextSlot, 2);
  const QuoteBar& b = series_[1];
  EXPECT_STREQ(b.date, "6-Dec-05");
  EXPECT_STREQ(b.time, "00:00AM");
  EXPECT_DOUBLE_EQ(b.open, 10.25);
  EXPECT_DOUBLE_EQ(b.high, 10.80);
  EXPECT_DOUBLE_EQ(b.low, 10.10);
  EXPECT_DOUBLE_EQ(b.close, 10.50);
  EXPECT_EQ(b.volume, 1234567);
  EXPECT_EQ(b.trend, kUp);  // the rest of the bar is fresh
  EXPECT_EQ(b.breakState, kInside);
  EXPECT_STREQ(series_[0].date, "          ");  // slot 0 is not touched
}

TEST_F(HistoryCsvLine, AdjustsOnlyBeyondTenPercent) {
  EXPECT_EQ(Parse("2005-12-06,20.01,20.33,19.97,20.00,1000,10.00"), 1);
  const QuoteBar& split = series_[1];
  EXPECT_DOUBLE_EQ(split.open, 10.01);  // 10.005 rounded as "%.2lf" rounds it
  EXPECT_DOUBLE_EQ(split.high, 10.16);  // 10.165 -> 10.16 (stored below the half)
  EXPECT_DOUBLE_EQ(split.low, 9.98);    // 9.985 -> 9.98
  EXPECT_DOUBLE_EQ(split.close, 10.00);
  EXPECT_EQ(split.volume, 2000);

  EXPECT_EQ(Parse("5-Dec-05,10.40,10.60,10.30,10.50,1000,10.00"), 1);  // 4.8 %: as read
  const QuoteBar& plain = series_[2];
  EXPECT_DOUBLE_EQ(plain.open, 10.40);
  EXPECT_DOUBLE_EQ(plain.close, 10.50);
  EXPECT_EQ(plain.volume, 1000);

  EXPECT_EQ(Parse("4-Dec-05,11.00,11.00,11.00,11.00,1000,9.90"), 1);  // exactly 10 %: as read
  EXPECT_DOUBLE_EQ(series_[3].close, 11.00);
}

TEST_F(HistoryCsvLine, SixFieldLineCountsAsNotAdjusted) {
  EXPECT_EQ(Parse("6-Dec-05,20.00,21.00,19.00,20.00,5000"), 1);
  EXPECT_DOUBLE_EQ(series_[1].open, 20.00);
  EXPECT_DOUBLE_EQ(series_[1].close, 20.00);
  EXPECT_EQ(series_[1].volume, 5000);
}

TEST_F(HistoryCsvLine, ZeroVolumeIsConsumedButNotStored) {
  EXPECT_EQ(Parse("6-Dec-05,1,1,1,1,0,1"), 1);
  EXPECT_EQ(Parse("6-Dec-05,1,1,1,1,-5,1"), 1);
  EXPECT_EQ(Parse("6-Dec-05,1,1,1,1,"), 1);  // missing volume reads as 0
  EXPECT_EQ(state_.nextSlot, 1);
}

TEST_F(HistoryCsvLine, IndexVolumeInTens) {
  EXPECT_EQ(Parse("6-Dec-05,1,1,1,1,123456789,1", true), 1);
  EXPECT_EQ(series_[1].volume, 12345678);
  EXPECT_TRUE(IsVolumeInTensSymbol("^IXIC"));
  EXPECT_TRUE(IsVolumeInTensSymbol("^ixic"));
  EXPECT_FALSE(IsVolumeInTensSymbol("^IXIC2"));
  EXPECT_FALSE(IsVolumeInTensSymbol(nullptr));
}

// Index volumes pass 2^31 and 2^32 (the S&P 500 trades billions of shares a
// day): every digit is kept, through the split scaling and the division
// into tens as well.
TEST_F(HistoryCsvLine, VolumesBeyond32BitsAreKeptInFull) {
  EXPECT_EQ(Parse("16-Apr-20,2799.34,2806.51,2764.32,2799.55,5179990000,2799.55"), 1);
  EXPECT_EQ(series_[1].volume, 5179990000);
  EXPECT_EQ(Parse("6-Dec-05,1,1,1,1,9999999999,1"), 1);
  EXPECT_EQ(series_[2].volume, 9999999999);
  EXPECT_EQ(Parse("6-Dec-05,1,1,1,1,2147483648,1"), 1);
  EXPECT_EQ(series_[3].volume, 2147483648);
  EXPECT_EQ(Parse("6-Dec-05,1,1,1,1,999999999999,1"), 1);
  EXPECT_EQ(series_[4].volume, 999999999999);
  // Scaled to the adjusted close: volume x close / adjusted, truncated.
  EXPECT_EQ(Parse("6-Dec-05,20,20,20,20,2000000000,10"), 1);
  EXPECT_EQ(series_[5].volume, 4000000000);
  EXPECT_EQ(Parse("6-Dec-05,20,20,20,20,5179990001,15"), 1);
  EXPECT_EQ(series_[6].volume, 6906653334);  // 6906653334.67
  EXPECT_EQ(Parse("6-Dec-05,1,1,1,1,51799900007,1", true), 1);
  EXPECT_EQ(series_[7].volume, 5179990000);
  EXPECT_EQ(Parse("6-Dec-05,20,20,20,20,9999999999,10", true), 1);
  EXPECT_EQ(series_[8].volume, 1999999999);
  EXPECT_EQ(state_.nextSlot, 9);
}

TEST_F(HistoryCsvLine, NonDataLinesAreNotConsumed) {
  EXPECT_EQ(Parse("Date,Open,High,Low,Close,Volume,Adj Close"), 0);
  EXPECT_EQ(Parse("6-Dec-05,1,1,1,1"), 0);  // four commas
  EXPECT_EQ(Parse(" 6-Dec-05,1,1,1,1,1,1"), 0);
  EXPECT_EQ(Parse(""), 0);
  EXPECT_EQ(Parse(nullptr), 0);
  EXPECT_EQ(Parse("<html>"), 0);
  EXPECT_EQ(state_.nextSlot, 1);
}

TEST_F(HistoryCsvLine, NeverWritesAtOrBeyondTheCapacity) {
  EXPECT_EQ(Parse("6-Dec-05,1,1,1,1,10,1", false, 3), 1);
  EXPECT_EQ(Parse("5-Dec-05,1,1,1,1,10,1", false, 3), 1);
  EXPECT_EQ(state_.nextSlot, 3);
  series_[3].SetDate("sentinel");
  EXPECT_EQ(Parse("4-Dec-05,1,1,1,1,10,1", false, 3), 0);
  EXPECT_EQ(Parse("3-Dec-05,1,1,1,1,10,1", false, 3), 0);
  EXPECT_STREQ(series_[3].date, "sentinel");
}

TEST_F(HistoryCsvLine, LongAndHostileFieldsStayBounded) {
  const std::string longDate = "2" + std::string(600, '9') + ",1,1,1,1,10,1";
  EXPECT_EQ(Parse(longDate.c_str()), 1);
  EXPECT_EQ(std::string(series_[1].date), std::string(10, '9').replace(0, 1, "2"));
  EXPECT_EQ(Parse("1,1,1,1,0,10,5"), 1);  // zero close: stored as read, no division
  EXPECT_DOUBLE_EQ(series_[2].close, 0);
  EXPECT_EQ(series_[2].volume, 10);
}

// Numbers no service can mean make the row unreadable: it is consumed (it
// was one row of the page, so paging goes on) but nothing of it is stored.
TEST_F(HistoryCsvLine, UnreadableNumbersAreConsumedButNotStored) {
  for (const char* hostile : {
           "6-Dec-05,1e300,1e300,1e300,1e300,1000,1e300",  // far beyond any price
           "6-Dec-05,10,inf,9,10,1000,10",                 // not finite
           "6-Dec-05,10,11,nan,10,1000,10", "6-Dec-05,nan,inf,-inf,0,10,5",
           "6-Dec-05,10,11,9,-10,1000,-10",        // negative prices
           "6-Dec-05,10,11,9,10,1000,-10",         // negative adjusted close
           "6-Dec-05,10,11,9,1000000000.01,1000",  // just above 1e9
           "6-Dec-05,10,11,9,10,1e20,10",          // absurd volume, not a volume of 1
           "6-Dec-05,10,11,9,10,inf,10", "6-Dec-05,10,11,9,10,nan,10", "6-Dec-05,10,11,9,10,1000,inf",
           "6-Dec-05,1,1,1,10,10,0",                  // scaled to a zero adjusted close: infinite volume
           "6-Dec-05,1000,1000,1000,0.0001,10,1000",  // scaled prices beyond 1e9
       }) {
    EXPECT_EQ(Parse(hostile), 1) << hostile;
    EXPECT_EQ(state_.nextSlot, 1) << hostile;
  }
  // The limits themselves are still prices and volumes.
  EXPECT_EQ(Parse("6-Dec-05,1000000000,1000000000,0,1000000000,1000000000000000,1000000000"), 1);
  EXPECT_EQ(state_.nextSlot, 2);
  EXPECT_DOUBLE_EQ(series_[1].high, 1e9);
  EXPECT_EQ(series_[1].volume, 1000000000000000);
  EXPECT_EQ(Parse("6-Dec-05,20,20,20,20,500000000000000,10"), 1);  // scaled to the limit
  EXPECT_EQ(series_[2].volume, 1000000000000000);
  // One share more, as read or once scaled, or a volume beyond 64 bits, is
  // no volume: never clipped to a limit.
  for (const char* beyond : {
           "6-Dec-05,1,1,1,1,1000000000000001,1",
           "6-Dec-05,20,20,20,20,500000000000001,10",
           "6-Dec-05,1,1,1,1,9223372036854775807,1",
           "6-Dec-05,1,1,1,1,18446744073709551616,1",
       }) {
    EXPECT_EQ(Parse(beyond), 1) << beyond;
    EXPECT_EQ(state_.nextSlot, 3) << beyond;
  }
}

class ConvertedHistoryFile : public test::InTempDir, public ::testing::Test {
 protected:
  std::unique_ptr<QuoteSeries> series_ = std::make_unique<QuoteSeries>();
  HistoryLoadState state_;
  int Read(const std::string& text, bool tens = false, int capacity = kHistoryCapacity) {
    test::WriteFile("page.csv", text);
    return ReadConvertedHistoryFile("page.csv", tens, capacity, series_->data(), state_);
  }
};

TEST_F(ConvertedHistoryFile, ReadsRowsAfterTheHeaderAlwaysAdjusting) {
  const int n = Read(
      "6-Dec-05,9,9,9,9,9,9\n"  // before the header: skipped
      "Date,Open,High,Low,Close,Volume\n"
      "6-Dec-05,10.50,10.50,10.50,10.50,1000,10.00\n"
      "Volume only,1,1,1,1,1,1\n"
      "5-Dec-05,20.01,20.33,19.97,20.00,1000,10.00\n"
      "4-Dec-05,1,1,1,1,0,1\n"
      "3-Dec-05,7,8,6,7,300\n");
  EXPECT_EQ(n, 4);
  EXPECT_EQ(state_.nextSlot, 4);
  // 4.8 % apart is still scaled, and nothing is rounded.
  EXPECT_DOUBLE_EQ((*series_)[1].open, 10.50 * (10.00 / 10.50));
  EXPECT_DOUBLE_EQ((*series_)[1].close, 10.00);
  EXPECT_EQ((*series_)[1].volume, 1050);
  EXPECT_DOUBLE_EQ((*series_)[2].open, 20.01 * 0.5);
  EXPECT_EQ((*series_)[2].volume, 2000);
  EXPECT_STREQ((*series_)[3].date, "3-Dec-05");
  EXPECT_DOUBLE_EQ((*series_)[3].close, 7);
  EXPECT_EQ((*series_)[3].volume, 300);
}

// Each row is read on its own: a field that cannot be read is no value of
// the row before it. Such a row is consumed and not stored, as the
// spreadsheet path does with the same lines.
TEST_F(ConvertedHistoryFile, AnUnreadableFieldIsNoValueOfThePreviousRow) {
  const std::string rows =
      "6-Dec-05,10,12,8,11,5000,11\n"
      "5-Dec-05,N/A,12,8,11,6000,11\n"
      "4-Dec-05,9,10,8,9.5,N/A,9.5\n"
      "3-Dec-05,7,8,6,7,3000,7\n";
  EXPECT_EQ(Read("Date,Open,High,Low,Close,Volume\n" + rows), 4);
  EXPECT_EQ(state_.nextSlot, 3);
  EXPECT_STREQ((*series_)[1].date, "6-Dec-05");
  EXPECT_STREQ((*series_)[2].date, "3-Dec-05");
  EXPECT_DOUBLE_EQ((*series_)[2].open, 7);
  EXPECT_EQ((*series_)[2].volume, 3000);

  HistoryLoadState csv;
  auto bars = std::make_unique<QuoteSeries>();
  int consumed = 0;
  for (const std::string& line : test::SplitLines(rows))
    consumed += ParseHistoryCsvLine(line.c_str(), false, kHistoryCapacity, bars->data(), csv);
  EXPECT_EQ(consumed, 4);
  EXPECT_EQ(csv.nextSlot, 3);
  EXPECT_STREQ((*bars)[2].date, "3-Dec-05");
}

// Most rows' adjusted close equals their close: such a row keeps its volume
// to the share (volume x close / close in doubles falls just short of these).
TEST_F(ConvertedHistoryFile, AnAdjustedCloseEqualToTheCloseKeepsTheVolume) {
  EXPECT_EQ(Read("Date,Open,High,Low,Close,Volume\n"
                 "18-Jan-00,1465.15,1465.71,1449.04,1455.14,1056700000,1455.14\n"
                 "20-Mar-00,1464.47,1470.30,1448.49,1456.63,920800000,1456.63\n"
                 "15-Jul-08,1226.83,1234.35,1200.44,1214.91,7363640000,1214.91\n"
                 "27-Feb-20,3062.54,3097.07,2977.39,2978.76,7058840000,2978.76\n"),
            4);
  EXPECT_EQ((*series_)[1].volume, 1056700000);
  EXPECT_EQ((*series_)[2].volume, 920800000);
  EXPECT_EQ((*series_)[3].volume, 7363640000);
  EXPECT_EQ((*series_)[4].volume, 7058840000);
  EXPECT_DOUBLE_EQ((*series_)[4].open, 3062.54);
  EXPECT_DOUBLE_EQ((*series_)[4].close, 2978.76);
}

TEST_F(ConvertedHistoryFile, VolumesBeyond32BitsAreKeptInFull) {
  EXPECT_EQ(Read("Date,Open,High,Low,Close,Volume\n"
                 "16-Apr-20,2799.34,2806.51,2764.32,2799.55,5179990000,2799.55\n"
                 "15-Apr-20,10.50,10.50,10.50,10.50,5179990000,10.00\n"
                 "14-Apr-20,1,1,1,1,9999999999,1\n"
                 "13-Apr-20,1,1,1,1,1000000000000000,1\n"
                 "12-Apr-20,1,1,1,1,1000000000000001,1\n"
                 "11-Apr-20,1,1,1,2,600000000000000,1\n"),  // scaled beyond the limit
            6);
  EXPECT_EQ(state_.nextSlot, 5);
  EXPECT_EQ((*series_)[1].volume, 5179990000);
  EXPECT_EQ((*series_)[2].volume, 5438989500);  // x 10.50 / 10.00
  EXPECT_EQ((*series_)[3].volume, 9999999999);
  EXPECT_EQ((*series_)[4].volume, 1000000000000000);

  HistoryLoadState index;
  index.volumeInTens = true;
  state_ = index;
  EXPECT_EQ(Read("Date,Open,High,Low,Close,Volume\n16-Apr-20,1,1,1,1,51799900009,1\n", true), 1);
  EXPECT_EQ((*series_)[1].volume, 5179990000);
}

TEST_F(ConvertedHistoryFile, UnreadableNumbersAreCountedButNotStored) {
  EXPECT_EQ(Read("Date,Open,High,Low,Close,Volume\n"
                 "6-Dec-05,1e300,1e300,1e300,1e300,7000,1e300\n"
                 "5-Dec-05,10,11,9,10,1e20,10\n"
                 "4-Dec-05,10,inf,9,10,7000,10\n"
                 "3-Dec-05,10,11,9,-10,7000,10\n"
                 "2-Dec-05,1,1,1,10,10,0\n"  // scaled to a zero adjusted close
                 "1-Dec-05,7,8,6,7,3000,7\n"),
            6);
  EXPECT_EQ(state_.nextSlot, 2);
  EXPECT_STREQ((*series_)[1].date, "1-Dec-05");
}

TEST_F(ConvertedHistoryFile, CountsPastAFullArrayAndDividesIndexVolumes) {
  EXPECT_EQ(
      Read("Date,Open,High,Low,Close,Volume\n1,1,1,1,1,100,1\n2,1,1,1,1,100,1\n3,1,1,1,1,100,1\n", true, 3),
      3);
  EXPECT_EQ(state_.nextSlot, 3);
  EXPECT_EQ((*series_)[1].volume, 10);
  EXPECT_EQ(Read("Date,Open,High,Low,Close,Volume\n1,1,1,1,1,100,1\n", false, 3), 0);  // already full
}

TEST_F(ConvertedHistoryFile, MissingFileOrHeader) {
  EXPECT_EQ(ReadConvertedHistoryFile("absent.csv", false, 10, series_->data(), state_), -1);
  EXPECT_EQ(Read("1,1,1,1,1,100,1\n"), 0);
}

}  // namespace
}  // namespace velmora
