// The Detail Quote model: shown texts, the what-if close and its copies.
#include "core/detail_quote_model.h"

#include <gtest/gtest.h>

#include "core/compute_indicators.h"
#include "core/signal_engine.h"
#include "support/engine_fixtures.h"

namespace velmora {
namespace {

constexpr int kConfirmDays = 2;

using test::Monitored;

Monitored monitored(std::uint32_t seed) { return test::MonitoredSecurity(seed, kConfirmDays); }

DetailQuoteModel fromList(const Monitored& m) {
  return DetailQuoteModel(m.bars, false, true, kConfirmDays, 0, m.state, kConfirmDays);
}

// An index's volumes beyond 32 bits: "Volume:", "Avg Vol:" and "Ratio:"
// from the whole numbers.
TEST(DetailQuoteText, VolumesAboveThirtyTwoBits) {
  std::vector<QuoteBar> bars(3);
  bars[0].volume = 5179990000LL;
  bars[0].volumeAvg50 = 4412345678LL;
  DetailQuoteModel model(bars, true, false, 2, 0, SignalState{}, kConfirmDays);
  EXPECT_EQ(model.texts().volume, "5179990000");
  EXPECT_EQ(model.texts().avgVolume, "4412345678");
  EXPECT_EQ(model.texts().ratio, "1.17");
}

TEST(DetailQuoteText, DirectionWordsAndSentences) {
  std::vector<QuoteBar> bars(3);
  bars[0].breakState = kInside;
  bars[0].trend = kDown;
  bars[0].volume = 500;  // no average yet
  DetailQuoteModel model(bars, false, false, 2, 0, SignalState{}, kConfirmDays);
  EXPECT_EQ(model.texts().ratio, "0.00");
  EXPECT_EQ(model.texts().trend, "Down");
  EXPECT_EQ(model.texts().breakState, "Sideline");
  EXPECT_EQ(model.texts().sentiment, "Today's sentiment is neutral.");
  EXPECT_STREQ(SentimentSentence(kUp), "Today's sentiment is bullish.");
  EXPECT_STREQ(SentimentSentence(kDown), "Today's sentiment is bearish.");
  EXPECT_STREQ(DirectionWord(kUp), "Up");
}

TEST(DetailQuoteText, ValuesOfBarZeroAndItsPredecessors) {
  std::vector<QuoteBar> bars(7);
  QuoteBar& b = bars[0];
  b.SetDate("12/6/2005");
  b.open = 10;
  b.high = 11.256;
  b.low = 9.5;
  b.close = 10.5;
  b.change = 0.504;
  b.changePercent = 5.006;
  b.volume = 150;
  b.volumeAvg50 = 100;
  b.toEma10Percent = 1.234;
  b.ema200 = 9.876;
  b.aboveEma200 = 'Y';
  b.rsi = 55.556;
  bars[1].close = 10;
  bars[1].high = 12;
  bars[1].low = 9;
  bars[1].upperBreak = 10.75;
  bars[1].lowerBreak = 9.25;
  bars[2].high = 12.5;
  bars[2].low = 9.1;
  bars[3].SetMark("B");
  bars[5].SetMark("S");
  bars[6].SetMark("B");  // the seventh bar is not shown
  DetailQuoteModel model(bars, false, false, 6, 0, SignalState{}, kConfirmDays);
  const DetailQuoteTexts& t = model.texts();
  EXPECT_EQ(t.date, "12/6/2005");
  EXPECT_EQ(t.high, "11.26");  // prices as the program shows prices, "%.2lf"
  EXPECT_EQ(t.close, "10.50");
  EXPECT_EQ(t.change, "0.50");
  EXPECT_EQ(t.changePercent, "5.01");
  EXPECT_EQ(t.volume, "150");
  EXPECT_EQ(t.avgVolume, "100");
  EXPECT_EQ(t.ratio, "1.50");
  EXPECT_EQ(t.preClose, "10.00");
  EXPECT_EQ(t.prev2High, "12.50");
  EXPECT_EQ(t.prev2Low, "9.00");
  EXPECT_EQ(t.toEma10, "1.23");
  EXPECT_EQ(t.ema[5], "9.88");
  EXPECT_EQ(t.aboveEma[5], "Y");
  EXPECT_EQ(t.aboveEma[0], "N");
  EXPECT_EQ(t.rsi, "55.56");
  EXPECT_EQ(t.bullishAbove, "10.75");
  EXPECT_EQ(t.bearishBelow, "9.25");
  const std::array<std::string, 6> marks = {"", "", "", "B", "", "S"};
  EXPECT_EQ(t.signalMarks, marks);
}

TEST(DetailQuoteWhatIf, TypedCloseRecomputesOnlyOnAFinishedNumber) {
  const Monitored m = monitored(21);
  DetailQuoteModel model = fromList(m);
  EXPECT_FALSE(model.typeClose(""));
  EXPECT_FALSE(model.typeClose("12."));
  EXPECT_FALSE(model.typeClose("12.50"));
  EXPECT_EQ(model.texts().close, "12.50");  // the box keeps the typed text
  EXPECT_NE(model.bar(0).close, 12.5);
  EXPECT_TRUE(model.typeClose("12.5"));
  EXPECT_EQ(model.close(), 12.5);
  EXPECT_EQ(model.bar(0).close, 12.5);
  // The change is recomputed against the previous close.
  EXPECT_EQ(model.bar(0).change, RoundTo2Decimals(12.5 - m.bars[1].close));
}

TEST(DetailQuoteWhatIf, AWaitingTypedNumberIsWhereTheSpinStarts) {
  const Monitored m = monitored(21);
  DetailQuoteModel model = fromList(m);
  const double opened = model.close();
  EXPECT_FALSE(model.typeClose(""));
  EXPECT_FALSE(model.typeClose("."));
  EXPECT_EQ(model.close(), opened);  // nothing readable: the close stays
  EXPECT_FALSE(model.typeClose("12.50"));
  EXPECT_EQ(model.bar(0).close, m.bars[0].close);  // not recomputed yet
  model.spinClose(-1);
  EXPECT_EQ(model.close(), 12.51);
  EXPECT_EQ(model.bar(0).close, 12.51);
  EXPECT_EQ(model.texts().close, "12.51");
  EXPECT_FALSE(model.typeClose("13."));
  model.recompute();
  EXPECT_EQ(model.bar(0).close, 13.0);
  EXPECT_EQ(model.texts().close, "13.");  // the box keeps what was typed
}

TEST(DetailQuoteWhatIf, SpinStepsTheCloseByOneCent) {
  const Monitored m = monitored(21);
  DetailQuoteModel model = fromList(m);
  const double start = m.bars[0].close;
  model.spinClose(-1);  // the up arrow
  EXPECT_EQ(model.close(), RoundTo2Decimals(start + 0.01));
  model.spinClose(3);
  EXPECT_EQ(model.close(), RoundTo2Decimals(RoundTo2Decimals(start + 0.01) - 0.03));
  const double previous = m.bars[1].close;
  char expected[32];
  std::snprintf(expected, sizeof expected, "%.2lf",
                RoundTo2Decimals((model.close() - previous) / previous * 100));
  EXPECT_EQ(model.texts().changePercent, expected);
  EXPECT_EQ(model.texts().close, [&] {
    char text[32];
    std::snprintf(text, sizeof text, "%.2lf", model.close());
    return std::string(text);
  }());
}

TEST(DetailQuoteWhatIf, NeverChangesTheCallersBarsOrState) {
  const Monitored m = monitored(21);
  const Monitored copy = m;
  DetailQuoteModel model = fromList(m);
  model.typeClose("99.9");
  for (int k = 0; k < 20; ++k) model.spinClose(-5);
  EXPECT_EQ(test::FirstDifference(m.bars, copy.bars), "");
  EXPECT_EQ(test::FirstDifference(m.state, copy.state), "");
  EXPECT_EQ(test::FirstDifference(model.storedState(), copy.state), "");
}

TEST(DetailQuoteWhatIf, EveryRecomputeStartsFromTheStoredState) {
  const Monitored m = monitored(21);
  DetailQuoteModel model = fromList(m);
  model.recompute();
  const DetailQuoteTexts first = model.texts();
  const auto firstBars = std::vector<QuoteBar>(&model.bar(0), &model.bar(0) + kMonitoredBars);
  for (int k = 0; k < 4; ++k) model.recompute();
  EXPECT_EQ(model.texts().signalMarks, first.signalMarks);
  EXPECT_EQ(
      test::FirstDifference(std::vector<QuoteBar>(&model.bar(0), &model.bar(0) + kMonitoredBars), firstBars),
      "");
  // Up and back down again gives the same values.
  model.spinClose(-40);
  model.spinClose(40);
  EXPECT_EQ(
      test::FirstDifference(std::vector<QuoteBar>(&model.bar(0), &model.bar(0) + kMonitoredBars), firstBars),
      "");
}

TEST(DetailQuoteWhatIf, RaisingTheClosePastTheUpperLevelTurnsBullish) {
  // A chart bar in a down trend: the clicked bar and all older ones.
  const test::DownTrendBar bar = test::FindDownTrendBar(kConfirmDays);
  ASSERT_GE(bar.index, 0);
  const auto& all = bar.all;
  const SignalState& chartState = bar.state;
  const int clicked = bar.index;
  std::span<const QuoteBar> fromClicked(all.data() + clicked, all.size() - clicked);
  const int count = static_cast<int>(fromClicked.size());
  DetailQuoteModel model(fromClicked, false, false, count - 1, 0, chartState, kConfirmDays);
  model.recompute();
  ASSERT_NE(model.texts().sentiment, "Today's sentiment is bullish.");
  int steps = 0;
  while (model.texts().breakState != "Up" && steps < 100000) {
    model.spinClose(-1);
    ++steps;
  }
  EXPECT_EQ(model.texts().sentiment, "Today's sentiment is bullish.");
  EXPECT_GT(model.close(), model.bar(1).upperBreak);
  // The break is judged on bar 0's own close, so the down trend turns up.
  ASSERT_EQ(model.bar(1).trend, kDown);
  EXPECT_EQ(model.texts().trend, "Up");
  EXPECT_EQ(model.bar(0).trendChanged, 1);
}

TEST(DetailQuoteModel, LongerSeriesAreCutTo1095Bars) {
  auto bars = test::MarketBars(1200, 2);
  DetailQuoteModel model(bars, false, false, 1199, 0, SignalState{}, kConfirmDays);
  EXPECT_EQ(model.barCount(), kHistoryCapacity);
  EXPECT_EQ(model.bar(1094).close, bars[1094].close);
  EXPECT_EQ(model.bar(1095).close, 0);  // a fresh bar beyond the count
  model.recompute();                    // start 1199 is taken as bar 1094
  EXPECT_EQ(model.bar(1094).change, 0);
}

}  // namespace
}  // namespace velmora
