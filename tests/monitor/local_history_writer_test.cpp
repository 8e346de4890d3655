// The local history files "<symbol>.csv" and "<symbol>.txt", byte for byte.
#include "monitor/local_history_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "quotes/local_history_reader.h"
#include "support/monitor_fakes.h"

namespace velmora {
namespace {

using test::FileExists;
using test::LogTexts;
using test::ReadFile;

void setAverages(QuoteBar& b, double e5, char f5, double e10, char f10, double e20, char f20, double e50,
                 char f50, double e100, char f100, double e200, char f200) {
  b.ema5 = e5;
  b.aboveEma5 = f5;
  b.ema10 = e10;
  b.aboveEma10 = f10;
  b.ema20 = e20;
  b.aboveEma20 = f20;
  b.ema50 = e50;
  b.aboveEma50 = f50;
  b.ema100 = e100;
  b.aboveEma100 = f100;
  b.ema200 = e200;
  b.aboveEma200 = f200;
}

// Two bars, newest first, with every column set and the volume limits near.
void twoBars(QuoteBar* bars, std::int64_t newestVolume, std::int64_t newestAverage) {
  QuoteBar& b = bars[0];
  b.Reset();
  b.SetDate("12/6/2005");
  b.trend = kUp;
  b.breakState = kInside;
  b.upperBreak = 27.5;
  b.lowerBreak = 26.25;
  b.open = 27.1;
  b.high = 27.6;
  b.low = 26.9;
  b.close = 27.35;
  b.volume = newestVolume;
  b.volumeAvg50 = newestAverage;
  b.changePercent = 1.3;
  b.toEma10Percent = -2.5;
  setAverages(b, 27.2, 'Y', 27.0, 'Y', 26.5, 'Y', 28.0, 'N', 29.25, 'N', 30.0, 'N');
  b.rsi = 55.55;
  b.stochK = 80;
  b.stochD = 75.5;
  b.SetMark("B");

  QuoteBar& o = bars[1];
  o.Reset();
  o.SetDate("12/5/2005");
  o.trend = kDown;
  o.breakState = kDown;
  o.upperBreak = 28;
  o.lowerBreak = 26;
  o.open = 26.8;
  o.high = 27.2;
  o.low = 26.6;
  o.close = 27;
  o.volume = 99999998;
  o.volumeAvg50 = 50000000;
  o.changePercent = -0.5;
}

TEST(LocalHistoryText, StockLayout) {
  QuoteBar bars[2];
  twoBars(bars, 123456789, 0);
  const std::string expected =
      "File Name: MSFT.txt\n"
      "\n"
      "     Date     UBreak DBreak   Open   High    Low  Close    Volume  Volume 50DAvg     Change(%) To10D%"
      "  Above5D Above10D Above20D Above50DAbove100DAbove200D RSI14  %K14  %D03 BS0\n"
      // volume in thousands, no average: ratio 0.00
      "12/6/2005 U -  27.50  26.25  27.10  27.60  26.90  27.35   123456K        0  0.00    0.35  1.30  -2.50"
      "  27.20 Y  27.00 Y  26.50 Y  28.00 N  29.25 N  30.00 N 55.55 80.00 75.50   B\n"
      // the oldest bar has no change; 99999998 is shown in full
      "12/5/2005 D D  28.00  26.00  26.80  27.20  26.60  27.00  99999998 50000000  2.00    0.00 -0.50   0.00"
      "   0.00 N   0.00 N   0.00 N   0.00 N   0.00 N   0.00 N  0.00  0.00  0.00    \n";
  EXPECT_EQ(FormatLocalHistoryText("MSFT.txt", false, 2, bars), expected);
}

TEST(LocalHistoryText, IndexPricesTwoWiderAveragesOneWider) {
  QuoteBar bars[2];
  // 99999999 is the first volume shown in thousands and the last average
  // shown in full.
  twoBars(bars, 99999999, 99999999);
  bars[1].volumeAvg50 = 100000000;
  const std::string expected =
      "File Name: DJIA.txt\n"
      "\n"
      "     Date       UBreak   DBreak     Open     High      Low    Close    Volume  Volume 50DAvg     "
      "Change(%)"
      " To10D%   Above5D  Above10D  Above20D  Above50D Above100D Above200D RSI14  %K14  %D03 BS0\n"
      "12/6/2005 U -    27.50    26.25    27.10    27.60    26.90    27.35    99999K 99999999  1.00    0.35  "
      "1.30"
      "  -2.50   27.20 Y   27.00 Y   26.50 Y   28.00 N   29.25 N   30.00 N 55.55 80.00 75.50   B\n"
      "12/5/2005 D D    28.00    26.00    26.80    27.20    26.60    27.00  99999998  100000K  1.00    0.00 "
      "-0.50"
      "   0.00    0.00 N    0.00 N    0.00 N    0.00 N    0.00 N    0.00 N  0.00  0.00  0.00    \n";
  EXPECT_EQ(FormatLocalHistoryText("DJIA.txt", true, 2, bars), expected);
}

TEST(LocalHistoryCsv, OneLinePerBarNewestFirstNoHeader) {
  QuoteBar bars[2];
  twoBars(bars, 1234, 0);
  EXPECT_EQ(FormatLocalHistoryCsv(2, bars),
            "12/6/2005,27.10,27.60,26.90,27.35,1234\n"
            "12/5/2005,26.80,27.20,26.60,27.00,99999998\n");
  EXPECT_EQ(FormatLocalHistoryCsv(0, bars), "");
}

class LocalHistoryFiles : public ::testing::Test {
 protected:
  test::TempFolder folder_;
  test::ScopedCurrentDir here_{folder_.path()};
};

// Volumes past 32 bits are written whole and read back whole.
TEST_F(LocalHistoryFiles, VolumesAboveThirtyTwoBitsRoundTrip) {
  QuoteBar bars[2];
  twoBars(bars, 5179990000LL, 0);
  bars[1].volume = 9999999999LL;
  SecurityData entry;
  ASSERT_TRUE(InitSecurityEntry(entry, "^GSPC", kRealTimeYahoo));
  ASSERT_TRUE(WriteLocalHistoryFiles(entry, 2, bars));
  const std::string csv = ReadFile("SP500.csv");
  EXPECT_EQ(csv,
            "12/6/2005,27.10,27.60,26.90,27.35,5179990000\n"
            "12/5/2005,26.80,27.20,26.60,27.00,9999999999\n");
  QuoteBar back[4] = {};
  ASSERT_EQ(ReadLocalHistoryFile("SP500.csv", 4, back), 1);  // both stored, the last outside the count
  EXPECT_EQ(back[0].volume, 5179990000LL);
  EXPECT_EQ(back[1].volume, 9999999999LL);
  EXPECT_NE(ReadFile("SP500.txt").find("5179990K"), std::string::npos);
}

TEST_F(LocalHistoryFiles, BothFilesReplacedWholeWithNothingLeftBeside) {
  QuoteBar bars[2];
  twoBars(bars, 1000, 10);
  SecurityData entry;
  EXPECT_TRUE(InitSecurityEntry(entry, "^GSPC", kRealTimeYahoo));
  test::WriteFile("SP500.csv", "old content that is longer than the new one\n");
  ASSERT_TRUE(WriteLocalHistoryFiles(entry, 2, bars));
  EXPECT_EQ(ReadFile("SP500.csv"), FormatLocalHistoryCsv(2, bars));
  EXPECT_EQ(ReadFile("SP500.txt"), FormatLocalHistoryText("SP500.txt", true, 2, bars));
  int files = 0;
  for (const auto& item : std::filesystem::directory_iterator(".")) {
    (void)item;
    ++files;
  }
  EXPECT_EQ(files, 2);
}

TEST_F(LocalHistoryFiles, SymbolThatWouldLeaveTheFolderIsRefused) {
  QuoteBar bars[1];
  SecurityData entry;
  std::snprintf(entry.displaySymbol, sizeof entry.displaySymbol, "../escape");
  EXPECT_FALSE(WriteLocalHistoryFiles(entry, 1, bars));
  EXPECT_FALSE(FileExists("../escape.csv"));
  ASSERT_EQ(LogTexts().size(), 1u);
  EXPECT_EQ(
      LogTexts()[0],
      "Local history files of symbol '../escape' are not written: the symbol can not name a file here.");
}

TEST_F(LocalHistoryFiles, UnwritableFileEndsTheProcessWithTheFatalMessage) {
  QuoteBar bars[1];
  SecurityData entry;
  EXPECT_TRUE(InitSecurityEntry(entry, "IBM", kRealTimeYahoo));
  std::filesystem::create_directory("IBM.csv");  // a file can not replace a folder
  EXPECT_EXIT((void)WriteLocalHistoryFiles(entry, 1, bars), ::testing::ExitedWithCode(1),
              ": Error: can not open file 'IBM\\.csv'\\.");
  const std::string log = ReadFile(LogFileName());
  EXPECT_NE(log.find(": Error: can not open file 'IBM.csv'.\n\n"), std::string::npos) << log;
}

}  // namespace
}  // namespace velmora
