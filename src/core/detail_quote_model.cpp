#include "core/detail_quote_model.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/text_helpers.h"
#include "core/compute_indicators.h"
#include "core/series_range.h"

namespace velmora {

namespace {

// The dialog always shows RSI 14 and stochastics 14, 3, 3.
constexpr int kRsiPeriod = 14;
constexpr int kStochLookback = 14;
constexpr int kStochSmoothing = 3;
constexpr int kStochSlowing = 3;

// Prices and levels are shown as the rest of the program shows prices.
std::string price(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2lf", v);
  return text;
}

std::string rounded(double v) { return price(RoundTo2Decimals(v)); }

std::string integer(long long v) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", v);
  return text;
}

double larger(double a, double b) { return a > b ? a : b; }
double smaller(double a, double b) { return a < b ? a : b; }

}  // namespace

const char* DirectionWord(int code) {
  if (code == kUp) return "Up";
  if (code == kDown) return "Down";
  return "Sideline";
}

const char* SentimentSentence(int breakState) {
  if (breakState == kUp) return detail_quote_text::kBullish;
  if (breakState == kDown) return detail_quote_text::kBearish;
  return detail_quote_text::kNeutral;
}

DetailQuoteModel::DetailQuoteModel(std::span<const QuoteBar> bars, bool isIndex, bool incremental, int start,
                                   int end, const SignalState& state, int confirmDays)
    : series_(std::make_unique<QuoteSeries>()),
      isIndex_(isIndex),
      incremental_(incremental),
      start_(start),
      end_(end),
      confirmDays_(confirmDays) {
  count_ = bars.size() > static_cast<std::size_t>(kHistoryCapacity) ? kHistoryCapacity
                                                                    : static_cast<int>(bars.size());
  for (int i = 0; i < count_; ++i) (*series_)[i].CopyFrom(bars[static_cast<std::size_t>(i)]);
  series_->count = count_;
  if (incremental_) state_.CopyFrom(state);
  close_ = bar(0).close;
  refill();
}

const QuoteBar& DetailQuoteModel::bar(int i) const {
  return i >= 0 && i < count_ ? (*series_)[i] : FreshBar();
}

bool DetailQuoteModel::typeClose(const std::string& text) {
  typedClose_ = text;
  texts_.close = text;
  // A number still being typed is already the close that a spin step or an
  // explicit recompute starts from; only the recompute waits.
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str()) close_ = value;
  if (text.empty() || text.back() == '.' || text.back() == '0') return false;
  recompute();
  return true;
}

void DetailQuoteModel::spinClose(int delta) {
  typedClose_.clear();
  close_ = RoundTo2Decimals(close_ - delta * 0.01);
  const double previous = bar(1).close;
  texts_.changePercent = rounded(previous == 0 ? 0 : (close_ - previous) / previous * 100);
  recompute();
}

void DetailQuoteModel::recompute() {
  if (count_ == 0) return;
  (*series_)[0].close = close_;
  SignalState work;
  work.CopyFrom(state_);
  computeIndicators(incremental_, isIndex_, kRsiPeriod, kStochLookback, kStochSmoothing, kStochSlowing,
                    start_, end_, BarsOf(*series_), work, confirmDays_);
  refill();
}

void DetailQuoteModel::refill() {
  const QuoteBar& b = bar(0);
  const QuoteBar& p1 = bar(1);
  const QuoteBar& p2 = bar(2);
  DetailQuoteTexts& t = texts_;
  t.date = b.date;
  t.open = price(b.open);
  t.high = price(b.high);
  t.low = price(b.low);
  // While the user types, the box keeps the typed text.
  t.close = typedClose_.empty() ? price(b.close) : typedClose_;
  t.change = rounded(b.change);
  t.changePercent = rounded(b.changePercent);
  t.volume = integer(b.volume);
  t.avgVolume = integer(b.volumeAvg50);
  // No average yet: the ratio is shown as 0.00.
  t.ratio = rounded(b.volumeAvg50 == 0 ? 0.0 : static_cast<double>(b.volume) / b.volumeAvg50);
  t.trend = DirectionWord(b.trend);
  t.breakState = DirectionWord(b.breakState);
  t.preClose = price(p1.close);
  t.prev2High = price(larger(p1.high, p2.high));
  t.prev2Low = price(smaller(p1.low, p2.low));
  t.toEma10 = rounded(b.toEma10Percent);
  const double averages[6] = {b.ema5, b.ema10, b.ema20, b.ema50, b.ema100, b.ema200};
  const char flags[6] = {b.aboveEma5, b.aboveEma10, b.aboveEma20, b.aboveEma50, b.aboveEma100, b.aboveEma200};
  for (int k = 0; k < 6; ++k) {
    t.ema[k] = rounded(averages[k]);
    t.aboveEma[k] = std::string(1, flags[k]);
  }
  t.rsi = rounded(b.rsi);
  t.stochK = rounded(b.stochK);
  t.stochD = rounded(b.stochD);
  for (int k = 0; k < 6; ++k) {
    const char* mark = bar(k).signalMark;
    t.signalMarks[k].assign(mark, strnlen(mark, sizeof bar(k).signalMark));
  }
  t.bullishAbove = price(p1.upperBreak);
  t.bearishBelow = price(p1.lowerBreak);
  t.sentiment = SentimentSentence(b.breakState);
}

}  // namespace velmora
