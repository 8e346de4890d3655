#pragma once

#include <array>
#include <memory>
#include <span>
#include <string>

#include "core/quote_bar.h"
#include "core/signal_state.h"

namespace velmora {

// Fixed texts of the Detail Quote dialog.
namespace detail_quote_text {
inline constexpr const char* kTitle = "Detail Quote";
inline constexpr const char* kTradeGroup = "Today's Trade Information";
inline constexpr const char* kPreviousGroup = "Previous 2 Days/Weeks";
inline constexpr const char* kAverageGroup = "Moving Average";
inline constexpr const char* kIndicatorGroup = "Technical Indicators";
inline constexpr const char* kSignalGroup = "Buy/Sell Signal";
inline constexpr const char* kDate = "Date:";
inline constexpr const char* kOpen = "Open:";
inline constexpr const char* kHigh = "High:";
inline constexpr const char* kLow = "Low:";
inline constexpr const char* kClose = "Close:";
inline constexpr const char* kChange = "Change:";
inline constexpr const char* kChangePercent = "Change%:";
inline constexpr const char* kVolume = "Volume:";
inline constexpr const char* kAvgVolume = "Avg Vol:";
inline constexpr const char* kRatio = "Ratio:";
inline constexpr const char* kTrend = "Cur.Trend:";
inline constexpr const char* kPreClose = "Pre Close:";
inline constexpr const char* kPrev2High = "Prev 2 High:";
inline constexpr const char* kPrev2Low = "Prev 2 Low:";
inline constexpr const char* kToEma10 = "To EMA10:";
inline constexpr const char* kPercentSign = "%";
inline constexpr std::array<const char*, 6> kEma = {
    "EMA5:", "EMA10:", "EMA20:", "EMA50:", "EMA100:", "EMA200:"};
inline constexpr const char* kRsi = "RSI(14):";
inline constexpr const char* kStochK = "%K(14):";
inline constexpr const char* kStochD = "%D(3):";
inline constexpr std::array<const char*, 6> kSignals = {"BS0", "BS1", "BS2", "BS3", "BS4", "BS5"};
inline constexpr const char* kBullishIf = "Bullish if closing above:";
inline constexpr const char* kBearishIf = "Bearish if closing below:";
inline constexpr const char* kBullish = "Today's sentiment is bullish.";
inline constexpr const char* kNeutral = "Today's sentiment is neutral.";
inline constexpr const char* kBearish = "Today's sentiment is bearish.";
}  // namespace detail_quote_text

// "Up", "Sideline" or "Down" for a trend or break-state code.
const char* DirectionWord(int code);
// The sentiment sentence for bar 0's break state.
const char* SentimentSentence(int breakState);

// Everything the dialog shows, as the texts of its boxes.
struct DetailQuoteTexts {
  std::string date, open, high, low, close, change, changePercent, volume, avgVolume, ratio;
  std::string trend, breakState;  // "Cur.Trend:" and the box beside it
  std::string preClose, prev2High, prev2Low, toEma10;
  std::array<std::string, 6> ema, aboveEma;  // 5, 10, 20, 50, 100, 200 bars
  std::string rsi, stochK, stochD;
  std::array<std::string, 6> signalMarks;  // "BS0".."BS5": marks of bars 0 to 5 (not "signals": a Qt keyword)
  std::string bullishAbove, bearishBelow, sentiment;
};

// The Detail Quote dialog without its window: its own copy of up to 1095
// bars (bar 0 is the bar shown) and of the signal state, and the what-if
// operations on bar 0's close. The caller's bars and state are never changed.
class DetailQuoteModel {
 public:
  // `state` is copied when `incremental` (the monitored-list case); a full
  // computation (the chart case) starts from a fresh state. Bars beyond
  // 1095 are dropped (the oldest ones).
  DetailQuoteModel(std::span<const QuoteBar> bars, bool isIndex, bool incremental, int start, int end,
                   const SignalState& state, int confirmDays);

  const DetailQuoteTexts& texts() const { return texts_; }
  int barCount() const { return count_; }
  const QuoteBar& bar(int i) const;  // a fresh bar beyond the count
  const SignalState& storedState() const { return state_; }
  double close() const { return close_; }

  // The "Close:" box changed: recomputes with the typed value unless the
  // text is empty or ends in '.' or '0' (more digits may follow). A waiting
  // number still becomes the close that spinClose and recompute use.
  // Returns whether it recomputed.
  bool typeClose(const std::string& text);

  // One spin of the close: close - delta * 0.01 rounded to two decimals
  // (the up arrow gives -1 and raises the close by 0.01), then recomputes.
  void spinClose(int delta);

  // Puts the current close into bar 0 and runs the engine on the dialog's
  // bars from a copy of the stored state; the stored state never changes.
  void recompute();

 private:
  void refill();

  std::unique_ptr<QuoteSeries> series_;
  int count_ = 0;
  SignalState state_;
  bool isIndex_;
  bool incremental_;
  int start_;
  int end_;
  int confirmDays_;
  double close_ = 0;
  std::string typedClose_;  // kept in the box while the user types
  DetailQuoteTexts texts_;
};

}  // namespace velmora
