#include "providers/history_overlap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmora {
namespace {

QuoteBar bar(const char* date, double close, std::int64_t volume = 1000) {
  QuoteBar b;
  b.SetDate(date);
  b.open = close - 1;
  b.high = close + 2;
  b.low = close - 2;
  b.close = close;
  b.volume = volume;
  return b;
}

// The trading days of late 2026 around Thanksgiving (26 Nov), newest first.
const std::vector<std::string> kDays = {"3-Dec-26",  "2-Dec-26",  "1-Dec-26",  "30-Nov-26", "27-Nov-26",
                                        "25-Nov-26", "24-Nov-26", "23-Nov-26", "20-Nov-26", "19-Nov-26"};

// The file: kDays with closes 100, 99, 98, ... and its newest bar taken
// during 3 Dec (a quote date and an intraday price).
std::vector<QuoteBar> fileBars() {
  std::vector<QuoteBar> bars;
  for (std::size_t i = 0; i < kDays.size(); ++i) bars.push_back(bar(kDays[i].c_str(), 100.0 - i));
  bars[0].SetDate("12/3/2026");
  bars[0].close = 100.55;
  return bars;
}

// What a provider answers from 26 Nov on: the final bar of 3 Dec and the
// days before it, as the file has them.
std::vector<QuoteBar> answerBars() {
  std::vector<QuoteBar> bars;
  for (std::size_t i = 0; i < 5; ++i) bars.push_back(bar(kDays[i].c_str(), 100.0 - i));
  bars[0].close = 101.25;
  return bars;
}

constexpr int kAskedFrom = 20261126;  // seven days before 3 Dec

OverlapCheck check(const std::vector<QuoteBar>& answer, const std::vector<QuoteBar>& known) {
  return CheckOverlap(answer.data(), static_cast<int>(answer.size()), known.data(),
                      static_cast<int>(known.size()), kAskedFrom);
}

// The answer's bars in bars[1..], as the hub has them before the merge.
int placed(std::vector<QuoteBar>& bars, const std::vector<QuoteBar>& answer) {
  for (std::size_t i = 0; i < answer.size(); ++i) bars[i + 1] = answer[i];
  return static_cast<int>(answer.size()) + 1;
}

int extend(std::vector<QuoteBar>& bars, int next, int capacity, const std::vector<QuoteBar>& known,
           int fromKey, int toKey) {
  return ExtendWithKnownBars(bars.data(), next, capacity, known.data(), static_cast<int>(known.size()),
                             fromKey, toKey);
}

TEST(HistoryOverlap, AgreeingDaysLetTheAnswerReplaceTheIntradayBar) {
  EXPECT_EQ(AddCalendarDays(ProviderDate{2027, 1, 3}, -kOverlapDays).key(), 20261227);
  const std::vector<QuoteBar> known = fileBars();
  std::vector<QuoteBar> answer = answerBars();
  // Prices as a file of two decimals gives them back; large ones by a
  // relative margin.
  answer[2].close += 0.004;
  answer[3].high -= 0.003;
  EXPECT_TRUE(check(answer, known).agrees) << check(answer, known).reason;
  EXPECT_TRUE(SamePrice(12345678.0, 12345679.0));
  EXPECT_FALSE(SamePrice(100.0, 100.007));

  // The intraday bar is not compared; the answer's final bar replaces it,
  // and the file's older bars follow as the history reader makes bars.
  std::vector<QuoteBar> bars(16);
  const int next = extend(bars, placed(bars, answer), 16, known, 20261101, 20261203);
  ASSERT_EQ(next, 11);
  for (int i = 1; i < next; ++i) EXPECT_STREQ(bars[i].date, kDays[i - 1].c_str()) << i;
  EXPECT_DOUBLE_EQ(bars[1].close, 101.25);
  EXPECT_DOUBLE_EQ(bars[0].close, 101.25);
  EXPECT_DOUBLE_EQ(bars[6].close, 95.0);
  EXPECT_EQ(bars[6].volume, 1000);
  EXPECT_STREQ(bars[6].time, "00:00AM");

  // A day the file lacks (written before it came in) is filled by the answer.
  std::vector<QuoteBar> gap = known;
  gap.erase(gap.begin() + 1);
  EXPECT_TRUE(check(answer, gap).agrees);
  EXPECT_EQ(extend(bars, placed(bars, answer), 16, gap, 0, 99999999), 11);
  EXPECT_STREQ(bars[2].date, "2-Dec-26");
}

TEST(HistoryOverlap, ChangesUnderTheFileAskForAFullReload) {
  const std::vector<QuoteBar> known = fileBars();
  std::vector<QuoteBar> split = answerBars();  // two for one on 1 Dec halves every earlier price
  for (std::size_t i = 3; i < split.size(); ++i) {
    for (double* price : {&split[i].open, &split[i].high, &split[i].low, &split[i].close}) *price /= 2;
  }
  EXPECT_EQ(check(split, known).reason, "the open of 30-Nov-26 is 48.00 in the answer, 96.00 in the file");
  std::vector<QuoteBar> corrected = answerBars();
  corrected[1].close = 99.01;
  EXPECT_EQ(check(corrected, known).reason,
            "the close of 2-Dec-26 is 99.01 in the answer, 99.00 in the file");
  std::vector<QuoteBar> missing = answerBars();
  missing.erase(missing.begin() + 2);
  EXPECT_EQ(check(missing, known).reason, "1-Dec-26 of the file is missing in the answer");
  std::vector<QuoteBar> newestOnly = answerBars();
  newestOnly.resize(1);
  EXPECT_EQ(check(newestOnly, known).reason, "no day of the answer is in the file");
  EXPECT_EQ(check({}, known).reason, "no day of the answer is in the file");
  EXPECT_FALSE(check(answerBars(), {}).agrees);
}

TEST(HistoryOverlap, MergedBarsKeepToTheRangeAndTheCapacity) {
  const std::vector<QuoteBar> known = fileBars();
  std::vector<QuoteBar> bars(8);
  // From 23 Nov to 2 Dec: the answer's 3 Dec and the file's 20 and 19 Nov go.
  ASSERT_EQ(extend(bars, placed(bars, answerBars()), 8, known, 20261123, 20261202), 8);
  EXPECT_STREQ(bars[0].date, "2-Dec-26");
  EXPECT_STREQ(bars[7].date, "23-Nov-26");
  // A small array keeps the newest.
  placed(bars, answerBars());
  ASSERT_EQ(extend(bars, 4, 4, known, 0, 99999999), 4);
  EXPECT_STREQ(bars[3].date, "1-Dec-26");
  // Nothing at all: nothing stored, bars[0] left alone.
  bars[0].SetDate("keep");
  EXPECT_EQ(ExtendWithKnownBars(bars.data(), 1, 8, nullptr, 0, 0, 99999999), 1);
  EXPECT_STREQ(bars[0].date, "keep");
}

}  // namespace
}  // namespace velmora
