#include "provider_api/current_quote.h"

#include <cstdio>

#include "market/calendar.h"
#include "market/market_clock.h"
#include "provider_api/provider_splits.h"

namespace velmora::standin {

CurrentQuote MakeCurrentQuote(const QuoteSnapshot& snapshot, double previousCloseFactor) {
  CurrentQuote q;
  q.last = snapshot.last;
  q.open = snapshot.open;
  q.high = snapshot.high;
  q.low = snapshot.low;
  q.volume = snapshot.volume;
  q.previousClose = DivideCents(snapshot.previousClose, previousCloseFactor);
  q.trading = snapshot.sessionMinute >= 0 && snapshot.sessionMinute < kSessionClosed;
  q.day = snapshot.day;
  q.minuteOfDay = kSessionOpenMinute + (q.trading ? snapshot.sessionMinute : kSessionLength);
  const MarketTime local{q.day, q.minuteOfDay};
  q.unixTime = UtcFromNewYorkTime(local);
  const std::int64_t wall =
      static_cast<std::int64_t>(q.day) * 86400 + static_cast<std::int64_t>(q.minuteOfDay) * 60;
  q.utcOffsetSeconds = static_cast<int>(wall - q.unixTime);
  return q;
}

std::string QuoteTimeWithOffset(const CurrentQuote& quote) {
  int y, m, d;
  CivilFromDays(quote.day, y, m, d);
  const int offsetMinutes = quote.utcOffsetSeconds / 60;
  const int away = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:00%c%02d:%02d", y, m, d, quote.minuteOfDay / 60,
                quote.minuteOfDay % 60, offsetMinutes < 0 ? '-' : '+', away / 60, away % 60);
  return text;
}

std::int64_t SessionOpenUnixTime(int day) { return UtcFromNewYorkTime(MarketTime{day, kSessionOpenMinute}); }

}  // namespace velmora::standin
