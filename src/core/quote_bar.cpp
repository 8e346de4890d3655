#include "core/quote_bar.h"

#include <cstdio>
#include <cstring>

#include "base/text_helpers.h"

namespace velmora {

void QuoteBar::Reset() {
  breakState = kInside;
  trend = kUp;
  trendChanged = 0;
  barsSinceChange = 0;
  upperBreak = 0;
  lowerBreak = 0;
  std::memset(date, ' ', 10);
  date[10] = '\0';
  std::memset(time, ' ', 7);
  time[7] = '\0';
  open = high = low = close = 0;
  volumeAvg50 = 0;
  change = changePercent = toEma10Percent = 0;
  volume = 0;
  ema5 = ema10 = ema20 = ema50 = ema100 = ema200 = 0;
  aboveEma5 = aboveEma10 = aboveEma20 = aboveEma50 = aboveEma100 = aboveEma200 = 'N';
  rsi = rsiAvgGain = rsiAvgLoss = 0;
  stochRawK = stochSlowRaw = stochK = stochD = 0;
  std::memset(signalMark, 0, sizeof signalMark);
}

void QuoteBar::CopyFrom(const QuoteBar& other) {
  if (this != &other) *this = other;
}

int QuoteBar::DateKey() const {
  char text[sizeof date + sizeof time + 1];
  std::snprintf(text, sizeof text, "%s %s", date, time);
  int year = 0, month = 0, day = 0;
  ParseDate(text, year, month, day);
  return DateKeyFromParts(year, month, day);
}

void QuoteBar::SetDate(const char* text) { CopyBounded(date, sizeof date, text); }
void QuoteBar::SetTime(const char* text) { CopyBounded(time, sizeof time, text); }
void QuoteBar::SetMark(const char* text) {
  std::memset(signalMark, 0, sizeof signalMark);
  CopyBounded(signalMark, sizeof signalMark, text);
}

}  // namespace velmora
