#pragma once

// Series and references shared by the back-test tests.

#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "core/compute_indicators.h"
#include "core/quote_bar.h"
#include "support/engine_fixtures.h"
#include "support/sp500_rows.h"
#include "support/test_support.h"

namespace velmora::test {

// A bar holding only what a history file gives: date and prices.
inline QuoteBar RawCopy(const QuoteBar& from) {
  QuoteBar bar;
  bar.SetDate(from.date);
  bar.SetTime(from.time);
  bar.open = from.open;
  bar.high = from.high;
  bar.low = from.low;
  bar.close = from.close;
  bar.volume = from.volume;
  return bar;
}

// The marks by their definition: for every day t, a full computation over
// bar t and the older bars alone, and the mark it gives bar t.
inline std::vector<char> NaiveMarks(std::span<const QuoteBar> bars, bool isIndex, int confirmDays) {
  const int n = static_cast<int>(bars.size());
  std::vector<char> marks(bars.size(), 0);
  std::vector<QuoteBar> known;
  for (int t = 0; t < n; ++t) {
    known.clear();
    for (int k = t; k < n; ++k) known.push_back(RawCopy(bars[static_cast<std::size_t>(k)]));
    SignalState state;
    computeIndicators(false, isIndex, 14, 14, 3, 3, n - t - 1, 0, known, state, confirmDays);
    marks[static_cast<std::size_t>(t)] = known[0].signalMark[0];
  }
  return marks;
}

// The marks of one full computation over the whole series: what a chart
// shows today, with every older mark placed using later closes.
inline std::vector<char> HindsightMarks(std::span<const QuoteBar> bars, bool isIndex, int confirmDays) {
  std::vector<QuoteBar> all;
  for (const QuoteBar& b : bars) all.push_back(RawCopy(b));
  SignalState state;
  computeIndicators(false, isIndex, 14, 14, 3, 3, static_cast<int>(all.size()) - 1, 0, all, state,
                    confirmDays);
  std::vector<char> marks;
  for (const QuoteBar& b : all) marks.push_back(b.signalMark[0]);
  return marks;
}

// Marks as text, newest first: B, S or '.'.
inline std::string MarkText(const std::vector<char>& marks) {
  std::string text;
  for (char m : marks) text += m ? m : '.';
  return text;
}

// MarketBars with dates: one trading day after another from 2 January 2018,
// weekends left out, as "M/D/YYYY".
inline std::vector<QuoteBar> DatedMarketBars(int n, std::uint32_t seed) {
  std::vector<QuoteBar> bars = MarketBars(n, seed);
  int year = 2018, month = 1, day = 2, weekday = 2;  // a Tuesday
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int k = n - 1; k >= 0; --k) {
    char text[40];
    std::snprintf(text, sizeof text, "%d/%d/%d", month, day, year);
    bars[static_cast<std::size_t>(k)].SetDate(text);
    do {
      weekday = (weekday + 1) % 7;
      const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
      if (++day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) {
        day = 1;
        if (++month > 12) {
          month = 1;
          ++year;
        }
      }
    } while (weekday == 0 || weekday == 6);
  }
  return bars;
}

// The bars as a local history file: "date,open,high,low,close,volume"
// lines, newest first.
inline std::string HistoryFileText(std::span<const QuoteBar> bars) {
  std::string text;
  for (const QuoteBar& b : bars) {
    char line[160];
    std::snprintf(line, sizeof line, "%s,%.2f,%.2f,%.2f,%.2f,%lld\n", b.date, b.open, b.high, b.low, b.close,
                  static_cast<long long>(b.volume));
    text += line;
  }
  return text;
}

// The real S&P 500 daily history from 2000, newest first; empty when the
// file is not there.
inline std::vector<QuoteBar> Sp500Bars() {
  std::vector<QuoteBar> newestFirst;
  const std::vector<Sp500Row> rows = Sp500Rows();
  for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
    QuoteBar bar;
    bar.SetDate(row->date);
    bar.open = RoundTo2Decimals(row->open);
    bar.high = RoundTo2Decimals(row->high);
    bar.low = RoundTo2Decimals(row->low);
    bar.close = RoundTo2Decimals(row->close);
    bar.volume = row->volume;
    newestFirst.push_back(bar);
  }
  return newestFirst;
}

}  // namespace velmora::test
