#pragma once

#include <string>

#include "core/chart_data.h"
#include "core/chart_dates.h"
#include "core/chart_settings.h"

namespace velmora {

// Where the extents of a chart window start before any bar widens them.
inline constexpr double kPriceMaxStart = 0;
inline constexpr double kPriceMinStart = 9999999999.99;
inline constexpr std::int64_t kVolumeMaxStart = 0;
inline constexpr std::int64_t kVolumeMinStart = 99999999;

// The history request's period letter: 'd' for "Daily", 'w' for "Weekly",
// 'm' for anything else.
char PeriodLetter(const std::string& period);

// A symbol beginning with '^' names a market index.
bool IsIndexSymbol(const std::string& symbol);
// A chart of a monitored security keeps that security's index flag; any
// other chart goes by its symbol.
bool IsIndexChart(const ChartSettings& settings);

// The dates a chart asks the history service for.
struct HistoryRequestSpan {
  CalendarDate start;
  CalendarDate end;
};

// From the chart's start and end dates: the request ends at the end date
// and begins 3 (daily), 8 (weekly) or 40 (monthly) years earlier, or at the
// start date if that is earlier still, so the long averages have settled
// when the window begins. Year, month and day are each the smaller of
// their own two values.
HistoryRequestSpan HistoryRequestSpanFor(char periodLetter, const CalendarDate& start,
                                         const CalendarDate& end);

// The calendar day of a bar's "date time" text.
CalendarDate BarDate(const QuoteBar& bar);

// Decides how the real-time bar 0 enters the picture and which bars fall
// into the settings' date window (the start date minus 7 to the end date
// plus 7, compared as date keys); sets newestVisible, oldestVisible,
// visibleCount and the price and volume extents of the window. A weekly
// chart merges a bar 0 of the current week into bar 1. `data.bars.count`
// must hold the bar count; the indicators must already be computed.
void FixChartWindow(const ChartSettings& settings, ChartData& data);

// Pixels per bar slot: the plot width between the margins shared by the
// visible bars; 0 when no bar is visible.
double ChartBarSpacing(int plotWidth, int visibleCount);

}  // namespace velmora
