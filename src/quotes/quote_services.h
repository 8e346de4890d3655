#pragma once

#include <cstdint>
#include <string>

#include "base/system_config.h"
#include "core/quote_bar.h"
#include "net/internet_session.h"

namespace velmora {

// The service's page length: a page of exactly this many rows asks for the next.
inline constexpr int kServicePageRows = 200;

// The composite index (its current volume comes from kCompositeVolumeSymbol's
// last price) and the index whose last price is that volume.
inline constexpr const char* kCompositeSymbol = "^IXIC";
inline constexpr const char* kCompositeVolumeSymbol = "^TV.O";

// Where LoadRealTimeQuote writes: the current bar (its close, change, change
// percent, date, time, volume, open, high and low) and the security's two
// further values (either may be null).
struct RealTimePlaces {
  QuoteBar* bar = nullptr;
  double* extra1 = nullptr;
  double* extra2 = nullptr;
};

// Approximate calendar days from start to end: 365 a year, 31 a month.
int HistorySpan(int startYear, int startMonth, int startDay, int endYear, int endMonth, int endDay);

// The history request URL for the configured service; months count from 0,
// `span` is HistorySpan, `offset` the rows already read. The query is cut
// at 255 characters.
void BuildHistoryUrl(const char* symbol, int endMonth0, int endDay, int endYear, char period, int startMonth0,
                     int startDay, int startYear, int span, int offset, std::string& out,
                     const SystemConfig& config);

// Bars of a date range (months 1-12, period 'd', 'w' or 'm'), newest first,
// into bars[1..capacity-1], page after page; bars[0] becomes a copy of the
// newest row. Returns the next free slot (1 when no row was stored) or a
// negative result code (quote_result.h). The "Edreyfus" service makes no
// request and gives 1.
[[nodiscard]] int LoadHistoryQuote(const char* symbol, char period, int startYear, int startMonth,
                                   int startDay, int endYear, int endMonth, int endDay,
                                   InternetSession& session, int capacity, QuoteBar* bars,
                                   const SystemConfig& config);

// Today's quote of `symbol` into the places: the day-watch record, then the
// real-time record (or, for the composite index, its volume). 1 on success,
// else a negative result code. The "MyTrack" service makes no request.
[[nodiscard]] int LoadRealTimeQuote(const char* symbol, InternetSession& session,
                                    const RealTimePlaces& places, const SystemConfig& config);

// The composite index's volume: the integer part of the last price of the
// kCompositeVolumeSymbol day-watch record. 1 or a negative result code.
[[nodiscard]] int LoadDayWatchVolume(InternetSession& session, std::int64_t& volume,
                                     const SystemConfig& config);

}  // namespace velmora
