// The five reports: layouts byte for byte, list membership, replacement.
#include "monitor/report_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/monitor_fakes.h"

namespace velmora {
namespace {

using test::FileExists;
using test::ReadFile;

const std::string kHeader =
    "\n  Symbol     Time     Open     High      Low    Close     Change(%) To10D%    Above5D   Above10D   "
    "Above20D"
    "   Above50D RSI14  %K03  %D03 BS0 BS1 BS2 BS3 BS4\n";

class Reports : public ::testing::Test {
 protected:
  // Appends an entry and returns its index; `edit` changes its bars.
  template <typename Edit>
  int add(const char* symbol, Edit edit) {
    SecurityData data;
    EXPECT_TRUE(InitSecurityEntry(data, symbol, kRealTimeYahoo));
    edit(data);
    EXPECT_TRUE(store_.Append(data));
    return store_.count() - 1;
  }
  std::string rowOf(int index) {
    std::string row;
    WriteReportRow(store_.entry(index).Snapshot(), row);
    return row;
  }

  test::TempFolder folder_;
  test::ScopedCurrentDir here_{folder_.path()};
  SecurityStore store_;
};

TEST_F(Reports, EmptyStoreGivesFiveHeadersOnly) {
  EXPECT_TRUE(WriteReports(store_));
  for (const char* name :
       {kStatusReportFile, kBuyReportFile, kSellReportFile, kTrendUpReportFile, kTrendDownReportFile})
    EXPECT_EQ(ReadFile(name), kHeader) << name;
}

TEST_F(Reports, RowLayouts) {
  add("msft", [](SecurityData&) {});  // history not loaded yet: fresh bars
  add("^GSPC", [](SecurityData& d) {
    QuoteBar& b = d.bars[0];
    b.SetTime("3:59pm");
    b.open = 1265.1;
    b.high = 1270.25;
    b.low = 1260.5;
    b.close = 1268.75;
    b.change = 12.5;
    b.changePercent = 0.99;
    b.toEma10Percent = 1.234;
    b.ema5 = 1260, b.aboveEma5 = 'Y';
    b.ema10 = 1255.5, b.aboveEma10 = 'Y';
    b.ema20 = 1270, b.aboveEma20 = 'N';
    b.ema50 = 1240.12, b.aboveEma50 = 'Y';
    b.ema100 = 999, b.aboveEma100 = 'Y';  // not a report column
    b.rsi = 61.2;
    b.stochK = 85.25;
    b.stochD = 79.5;
    b.SetMark("B");
    d.bars[4].SetMark("S");
    d.bars[5].SetMark("B");  // counts for the buy list, not shown
  });
  add("IBM", [](SecurityData& d) {
    d.bars[0].change = -516.53;
    d.bars[0].changePercent = -0.93;
  });

  ASSERT_TRUE(WriteStatusReport(store_));
  const std::string unloaded =
      "    msft         "
      "     0.00     0.00     0.00     0.00   0.00  0.00%   0.00"
      "     0.00 N     0.00 N     0.00 N     0.00 N  0.00  0.00  0.00                    \n";
  const std::string full = std::string(
                               "   SP500   3:59pm  1265.10  1270.25  1260.50  1268.75  12.50  0.99%   1.23"
                               "  1260.00 Y  1255.50 Y  1270.00 N  1240.12 Y 61.20 85.25 79.50   B") +
                           std::string(15, ' ') + "S\n";
  const std::string negative =
      "     IBM         "
      "     0.00     0.00     0.00     0.00-516.53 -0.93%   0.00"
      "     0.00 N     0.00 N     0.00 N     0.00 N  0.00  0.00  0.00                    \n";
  EXPECT_EQ(ReadFile(kStatusReportFile), kHeader + unloaded + full + negative);
}

TEST_F(Reports, SignalListsLookAtTheSixNewestBars) {
  const int onBar5 = add("FIVE", [](SecurityData& d) { d.bars[5].SetMark("B"); });
  add("SIX", [](SecurityData& d) { d.bars[6].SetMark("B"); });
  const int both = add("BOTH", [](SecurityData& d) {
    d.bars[1].SetMark("B");
    d.bars[3].SetMark("S");
  });
  add("LOWER", [](SecurityData& d) { d.bars[0].SetMark("b"); });  // marks compare exactly
  const int sell = add("SELL", [](SecurityData& d) { d.bars[0].SetMark("S"); });

  ASSERT_TRUE(WriteBuyReport(store_));
  ASSERT_TRUE(WriteSellReport(store_));
  EXPECT_EQ(ReadFile(kBuyReportFile), kHeader + rowOf(onBar5) + rowOf(both));
  EXPECT_EQ(ReadFile(kSellReportFile), kHeader + rowOf(both) + rowOf(sell));
  // Bar 5's mark is not among the row's five mark columns.
  EXPECT_EQ(rowOf(onBar5).substr(rowOf(onBar5).size() - 21), std::string(20, ' ') + "\n");
}

TEST_F(Reports, TrendListsLookAtTheThreeNewestBarsAndBarZerosTrend) {
  const int downOnBar2 = add("DOWN2", [](SecurityData& d) {
    d.bars[2].trendChanged = 1;
    d.bars[0].trend = kDown;
  });
  add("DOWN3", [](SecurityData& d) {
    d.bars[3].trendChanged = 1;
    d.bars[0].trend = kDown;
  });
  const int upOnBar0 = add("UP0", [](SecurityData& d) { d.bars[0].trendChanged = 1; });
  const int upOnBar1 = add("UP1", [](SecurityData& d) {
    d.bars[1].trendChanged = 1;
    d.bars[1].trend = kDown;  // only bar 0's trend decides
  });

  ASSERT_TRUE(WriteTrendReports(store_));
  EXPECT_EQ(ReadFile(kTrendUpReportFile), kHeader + rowOf(upOnBar0) + rowOf(upOnBar1));
  EXPECT_EQ(ReadFile(kTrendDownReportFile), kHeader + rowOf(downOnBar2));
}

TEST_F(Reports, AReportThatCanNotBeWrittenKeepsTheOldOneAndThePassGoesOn) {
  add("MSFT", [](SecurityData& d) {
    d.bars[0].SetMark("S");
    d.bars[0].trendChanged = 1;
  });
  // A folder in the report's place can not be replaced by a file.
  std::filesystem::create_directory(kBuyReportFile);
  std::filesystem::create_directory(kTrendDownReportFile);
  test::WriteFile(kStatusReportFile, "old status");

  EXPECT_FALSE(WriteReports(store_));
  EXPECT_EQ(ReadFile(kStatusReportFile), kHeader + rowOf(0));
  EXPECT_TRUE(std::filesystem::is_directory(kBuyReportFile));
  EXPECT_EQ(ReadFile(kSellReportFile), kHeader + rowOf(0));
  EXPECT_EQ(ReadFile(kTrendUpReportFile), kHeader + rowOf(0));
  EXPECT_FALSE(WriteTrendReports(store_));

  // No temporary file is left behind.
  int entries = 0;
  for (const auto& item : std::filesystem::directory_iterator(".")) {
    (void)item;
    ++entries;
  }
  EXPECT_EQ(entries, 5);
}

}  // namespace
}  // namespace velmora
