// Which events a security's bars hold, and which of them the evening before
// the newest bar already showed.
#include "alerts/alert_events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/chart_dates.h"
#include "monitor/local_history_writer.h"
#include "support/engine_fixtures.h"

namespace velmora {
namespace {

// Dates the bars (newest first) with weekdays ending on Friday 2026-12-04.
void dateBars(std::vector<QuoteBar>& bars) {
  int day = DaysFromCivil({2026, 12, 4});
  for (QuoteBar& b : bars) {
    const CalendarDate d = CivilFromDays(day);
    char text[16];
    std::snprintf(text, sizeof text, "%d/%d/%d", d.month, d.day, d.year);
    b.SetDate(text);
    do --day;
    while ((day + 4) % 7 == 6 || (day + 4) % 7 == 0);  // 1970-01-01 was a Thursday
  }
}

std::string describe(const std::vector<AlertEvent>& events) {
  std::string out;
  for (const AlertEvent& e : events) out += e.key + "@" + std::to_string(e.bar) + " " + e.barDate + ";";
  return out;
}

TEST(AlertSignalEvents, ReadTheBarsTheBuySellAndTrendListsLookAt) {
  std::vector<QuoteBar> bars(8);
  dateBars(bars);
  bars[6].SetMark("B");  // past the six bars of the buy list
  bars[5].SetMark("B");
  bars[4].SetMark("S");
  bars[3].trendChanged = 1;  // past the three bars of the trend lists
  bars[2].trendChanged = 1;
  bars[2].trend = kUp;
  bars[0].trendChanged = 1;
  bars[0].trend = kDown;
  bars[0].SetMark("S");

  const std::vector<AlertEvent> events = SignalEvents(bars);
  // Oldest bar first; a bar's trend change before its mark.
  EXPECT_EQ(describe(events),
            "buy@5 11/27/2026;sell@4 11/30/2026;trend-up@2 12/2/2026;trend-down@0 12/4/2026;"
            "sell@0 12/4/2026;");
  EXPECT_EQ(events[0].kind, AlertKind::kBuy);
  EXPECT_EQ(events[0].text, "buy signal");
  EXPECT_EQ(events[0].dateKey, 20261127);
  EXPECT_EQ(events[2].kind, AlertKind::kTrendUp);
  EXPECT_EQ(events[3].text, "trend down");

  // A bar without a date (a security not loaded yet) holds no event, and a
  // series shorter than the lists is read as far as it goes.
  std::vector<QuoteBar> fresh(2);
  fresh[0].SetMark("B");
  EXPECT_TRUE(SignalEvents(fresh).empty());
  EXPECT_TRUE(SignalEvents({}).empty());
}

// Marks of the same market series cut at different days: a mark of the
// newest bar is new that day, a mark of an older bar than the confirmation
// reaches was already there the evening before.
TEST(AlertPreviousDayEvents, HoldTheMarksOfOlderBarsButNotTheNewestBarsOwn) {
  int newestMarks = 0;
  int olderMarks = 0;
  for (const std::uint32_t seed : {3u, 7u, 11u}) {
    std::vector<QuoteBar> all = test::MarketBars(420, seed);
    dateBars(all);
    for (int cut = 0; cut < 60; ++cut) {
      std::vector<QuoteBar> bars(all.begin() + cut, all.end());
      const std::vector<QuoteBar> raw = bars;
      SignalState state;
      computeIndicators(false, false, kLoaderRsiPeriod, kLoaderStochLookback, kLoaderStochSmoothing,
                        kLoaderStochSlowing, static_cast<int>(bars.size()) - 1, 0, bars, state, 2);
      const std::vector<AlertEvent> previous = PreviousDayEvents(raw, false, 2);
      for (const AlertEvent& e : SignalEvents(bars)) {
        if (e.bar == 0) {
          ++newestMarks;
          EXPECT_FALSE(HasEvent(previous, e)) << seed << " " << cut << " " << e.key;
        } else if (e.bar > 2) {
          ++olderMarks;
          EXPECT_TRUE(HasEvent(previous, e)) << seed << " " << cut << " " << e.key << "@" << e.bar;
        }
      }
    }
  }
  // The series did have both kinds of marks.
  EXPECT_GT(newestMarks, 0);
  EXPECT_GT(olderMarks, 10);

  std::vector<QuoteBar> two(2);
  EXPECT_TRUE(PreviousDayEvents(two, false, 2).empty());
}

TEST(AlertPriceRuleEvents, FireOnTheNewestBarStrictlyBeyondTheLevel) {
  QuoteBar newest;
  newest.SetDate("12/8/2026");
  newest.close = 420.50;
  newest.changePercent = -2.5;
  const std::vector<PriceRule> rules = {
      {"MSFT", AlertKind::kAbove, 420.50, 1}, {"MSFT", AlertKind::kAbove, 420.49, 2},
      {"MSFT", AlertKind::kBelow, 420.51, 3}, {"MSFT", AlertKind::kMove, 2.5, 4},
      {"MSFT", AlertKind::kMove, 2.49, 5},    {"MSFT", AlertKind::kAbove, 420.49, 6}};  // the same rule twice
  const std::vector<AlertEvent> events = PriceRuleEvents(rules, newest);
  ASSERT_EQ(events.size(), 3u) << describe(events);
  EXPECT_EQ(events[0].key, "above:420.49");
  EXPECT_EQ(events[0].text, "above 420.49");
  EXPECT_EQ(events[0].kind, AlertKind::kAbove);
  EXPECT_EQ(events[1].key, "below:420.51");
  EXPECT_EQ(events[2].key, "move:2.49");
  EXPECT_EQ(events[2].text, "move beyond 2.49%");
  EXPECT_EQ(events[2].dateKey, 20261208);

  // No quote yet: no date, no price, nothing fires (not even "below").
  QuoteBar fresh;
  EXPECT_TRUE(PriceRuleEvents(rules, fresh).empty());
  fresh.SetDate("12/8/2026");
  EXPECT_TRUE(PriceRuleEvents(std::vector<PriceRule>{{"MSFT", AlertKind::kBelow, 10, 1}}, fresh).empty());
}

}  // namespace
}  // namespace velmora
