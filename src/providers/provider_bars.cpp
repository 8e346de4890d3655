#include "providers/provider_bars.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "base/text_helpers.h"
#include "providers/provider_symbols.h"
#include "providers/provider_time.h"
#include "quotes/history_parser.h"
#include "quotes/plausible_number.h"
#include "quotes/quote_records.h"

namespace velmora {

namespace {

constexpr const char* kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// "d-Mon-yy" reads back through the two-digit year rule (69-99 as 19xx,
// 00-68 as 20xx): only the years 1969 to 2068 keep their century.
bool hasDateText(ProviderDate date) { return date.year >= 1969 && date.year <= 2068 && IsCalendarDate(date); }

// The shortest text that reads back as the same double, in "C" form
// whatever the locale.
char* appendNumber(char* at, char* end, double value) {
  *at++ = ',';
  const auto result = std::to_chars(at, end, value);
  return result.ec == std::errc() ? result.ptr : at;
}

// The classic history row of a bar: "d-Mon-yy,open,high,low,close,volume,adjclose".
void rowText(const ProviderBar& bar, char (&line)[256]) {
  char* const end = line + sizeof line - 1;
  char* at = line + std::snprintf(line, 32, "%d-%s-%02d", bar.date.day, kMonthNames[bar.date.month - 1],
                                  bar.date.year % 100);
  for (const double value : {bar.open, bar.high, bar.low, bar.close, bar.volume, bar.adjClose})
    at = appendNumber(at, end, value);
  *at = '\0';
}

// The composite index, by its own symbol or as the list's "NASDAQ".
bool volumeInTens(const char* symbol) {
  if (IsVolumeInTensSymbol(symbol)) return true;
  return symbol != nullptr && ShapeOfSymbol(symbol).text == "NASDAQ";
}

// The offset the exchange's clock had at `time`: New York's own rule for
// New York (and where the answer names no zone), else the offset the answer
// gave, else New York's.
int exchangeOffset(const ProviderQuote& quote, std::int64_t time) {
  const bool newYork = quote.timeZone.empty() || quote.timeZone == "America/New_York";
  if (!newYork && quote.hasUtcOffset && std::abs(quote.utcOffsetSeconds) <= 14 * 3600)
    return quote.utcOffsetSeconds;
  return NewYorkUtcOffsetSeconds(time);
}

// Quote times before 2100.
constexpr std::int64_t kLatestQuoteTime = 4102444800;

// A price the quote may leave out (0), else one the files can show.
bool givenPriceOrNone(double value) { return value == 0 || IsStorablePrice(value); }

// The last price's own range is the classic rule's (it widens the high and
// low to the last price); the open must lie within the high and low given.
bool plausibleQuote(const ProviderQuote& q) {
  return q.time >= 0 && q.time < kLatestQuoteTime && IsStorablePrice(q.last) &&
         givenPriceOrNone(q.previousClose) && givenPriceOrNone(q.open) && givenPriceOrNone(q.high) &&
         givenPriceOrNone(q.low) && IsPlausibleVolume(q.volume) && HighLowHold(q.open, q.high, q.low, 0);
}

// A stored bar as the files will show it.
bool storedBarSound(const QuoteBar& bar) {
  return IsStorablePrice(bar.open) && IsStorablePrice(bar.high) && IsStorablePrice(bar.low) &&
         IsStorablePrice(bar.close) && HighLowHold(bar.open, bar.high, bar.low, bar.close);
}

ProviderDate tomorrow() {
  return LatestBarDate(LocalDateAt(static_cast<std::int64_t>(std::time(nullptr))), 'd');
}

}  // namespace

ProviderDate LatestBarDate(ProviderDate today, ProviderPeriod period) {
  const int days = period == 'w' ? 7 : period == 'm' ? 31 : 1;
  return DateOfDays(DaysSinceEpoch(today) + days);
}

int StoreProviderBars(const std::vector<ProviderBar>& bars, const char* symbol, int capacity, QuoteBar* out) {
  return StoreProviderBars(bars, symbol, capacity, out, tomorrow());
}

int StoreProviderBars(const std::vector<ProviderBar>& bars, const char* symbol, int capacity, QuoteBar* out,
                      ProviderDate latest) {
  if (out == nullptr || capacity <= 1) return 1;
  HistoryLoadState state;
  state.volumeInTens = volumeInTens(symbol);
  char line[256];
  for (auto it = bars.rbegin(); it != bars.rend() && state.nextSlot < capacity; ++it) {
    if (!hasDateText(it->date) || it->date.key() > latest.key()) continue;
    rowText(*it, line);
    // The reader consumes every data row; a row it finds unreadable is left
    // out exactly as a classic row would be, and so is one that scaling to
    // the adjusted close turned into prices of 0.00.
    const int slot = state.nextSlot;
    (void)ParseHistoryCsvLine(line, state.volumeInTens, capacity, out, state);
    if (state.nextSlot > slot && !storedBarSound(out[slot])) state.nextSlot = slot;
  }
  if (state.nextSlot > 1) out[0].CopyFrom(out[1]);
  return state.nextSlot;
}

bool ApplyProviderQuote(const ProviderQuote& quote, const char* symbol, QuoteBar& bar) {
  return ApplyProviderQuote(quote, symbol, bar, tomorrow());
}

bool ApplyProviderQuote(const ProviderQuote& quote, const char* symbol, QuoteBar& bar, ProviderDate latest) {
  if (!plausibleQuote(quote)) return false;
  // A quote that names no time is taken as of now.
  const std::int64_t time = quote.time > 0 ? quote.time : static_cast<std::int64_t>(std::time(nullptr));
  const ExchangeClock clock = ClockAt(time, exchangeOffset(quote, time));
  if (quote.time > 0 && clock.date.key() > latest.key()) return false;
  const double change = quote.previousClose > 0 ? RoundTo2Decimals(quote.last - quote.previousClose) : 0;

  DayWatchRecord dayWatch;
  CopyBounded(dayWatch.symbol, sizeof dayWatch.symbol, symbol != nullptr ? symbol : "");
  dayWatch.last = quote.last;
  char text[40];
  std::snprintf(text, sizeof text, "%d/%d/%d", clock.date.month, clock.date.day, clock.date.year);
  CopyBounded(dayWatch.date, sizeof dayWatch.date, text);
  const int hour12 = clock.hour % 12 == 0 ? 12 : clock.hour % 12;
  std::snprintf(text, sizeof text, "%d:%02d%s", hour12, clock.minute, clock.hour < 12 ? "am" : "pm");
  CopyBounded(dayWatch.time, sizeof dayWatch.time, text);
  dayWatch.change = change;
  dayWatch.open = quote.open;
  dayWatch.high = quote.high;
  dayWatch.low = quote.low;
  dayWatch.volume = StoredVolume(quote.volume);
  // Without a volume the record ends before it, and the bar keeps its own.
  dayWatch.fieldsRead = quote.volume > 0 ? 9 : 8;

  RealTimeRecord realTime;
  CopyBounded(realTime.symbol, sizeof realTime.symbol, dayWatch.symbol);
  CopyBounded(realTime.time, sizeof realTime.time, dayWatch.time);
  realTime.last = quote.last;
  std::snprintf(realTime.changeText, sizeof realTime.changeText, "%.2f", change);
  const double previous = quote.last - change;
  std::snprintf(realTime.changePercentText, sizeof realTime.changePercentText, "%.2f%%",
                previous != 0 ? change / previous * 100 : 0.0);
  realTime.fieldsRead = 5;

  ApplyDayWatchRecord(dayWatch, bar);
  ApplyRealTimeRecord(realTime, dayWatch, LocalDate{clock.date.year, clock.date.month, clock.date.day}, bar,
                      nullptr, nullptr);
  ApplyHighLowRule(bar);
  return true;
}

}  // namespace velmora
