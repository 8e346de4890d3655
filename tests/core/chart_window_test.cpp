// Chart dates, the history request span and the visible window of a chart.
#include "core/chart_window.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace velmora {
namespace {

// ---- dates and durations ---------------------------------------------------

TEST(ChartDates, SettingsDatesReadMonthDayYearAndWriteTwoDigitFields) {
  const CalendarDate d = ParseSettingsDate("03/15/2025");
  EXPECT_EQ(d.year, 2025);
  EXPECT_EQ(d.month, 3);
  EXPECT_EQ(d.day, 15);
  EXPECT_EQ(DateKeyOf(ParseSettingsDate("3/5/2025")), 20250305);
  EXPECT_EQ(FormatSettingsDate({2025, 3, 5}), "03/05/2025");
  // Free text of a custom range: whatever is not there reads as 0.
  EXPECT_EQ(DateKeyOf(ParseSettingsDate("mm/dd/yyyy")), 0);
  EXPECT_EQ(DateKeyOf(ParseSettingsDate("12/24")), 1224);
}

TEST(ChartDates, CalendarArithmeticCrossesMonthsLeapDaysAndDaylightSaving) {
  EXPECT_EQ(DateKeyOf(AddDays({2024, 3, 1}, -1)), 20240229);
  EXPECT_EQ(DateKeyOf(AddDays({2025, 3, 1}, -1)), 20250228);
  EXPECT_EQ(DateKeyOf(AddDays({2026, 12, 31}, 1)), 20270101);
  EXPECT_EQ(DaysFromCivil({1970, 1, 1}), 0);
  // 8 March 2026 is a 23-hour day in New York; it is still one day.
  EXPECT_EQ(DaysFromCivil({2026, 3, 9}) - DaysFromCivil({2026, 3, 2}), 7);
}

TEST(ChartDates, PresetDurationsGiveTheirSpansBackFromToday) {
  const CalendarDate today{2026, 12, 7};
  std::string start = "keep", end = "keep";
  ASSERT_TRUE(DatesForDuration("6 months", today, start, end));
  EXPECT_EQ(end, "12/07/2026");
  EXPECT_EQ(start, FormatSettingsDate(AddDays(today, -186)));
  EXPECT_EQ(start, "06/04/2026");
  const struct {
    const char* name;
    int days;
  } spans[] = {{"1 month", 31},  {"3 months", 93},  {"6 months", 186}, {"1 year", 365},
               {"2 years", 730}, {"3 years", 1095}, {"4 years", 1460}, {"5 years", 1825}};
  for (const auto& s : spans) {
    ASSERT_TRUE(DatesForDuration(s.name, today, start, end)) << s.name;
    EXPECT_EQ(DaysFromCivil(today) - DaysFromCivil(ParseSettingsDate(start)), s.days) << s.name;
  }
  // A custom range, or a duration that is no preset, keeps its dates.
  start = end = "keep";
  EXPECT_FALSE(DatesForDuration("Customize", today, start, end));
  EXPECT_FALSE(DatesForDuration("7 weeks", today, start, end));
  EXPECT_EQ(start + end, "keepkeep");
}

TEST(ChartDates, DurationsUpToSixMonthsAreDailyFromTwoYearsWeekly) {
  EXPECT_EQ(PeriodForDuration("1 month", "Monthly"), "Daily");
  EXPECT_EQ(PeriodForDuration("6 months", "Weekly"), "Daily");
  EXPECT_EQ(PeriodForDuration("1 year", "Weekly"), "Weekly");
  EXPECT_EQ(PeriodForDuration("1 year", "Daily"), "Daily");
  EXPECT_EQ(PeriodForDuration("2 years", "Daily"), "Weekly");
  EXPECT_EQ(PeriodForDuration("5 years", "Monthly"), "Weekly");
  EXPECT_EQ(PeriodForDuration("Customize", "Monthly"), "Monthly");
}

// ---- request span ----------------------------------------------------------

TEST(ChartRequestSpan, GoesBackThreeEightOrFortyYearsFieldByField) {
  EXPECT_EQ(PeriodLetter("Daily"), 'd');
  EXPECT_EQ(PeriodLetter("Weekly"), 'w');
  EXPECT_EQ(PeriodLetter("Monthly"), 'm');
  EXPECT_EQ(PeriodLetter("daily"), 'm');

  const CalendarDate start = ParseSettingsDate("03/15/2025");
  const CalendarDate end = ParseSettingsDate("12/06/2026");
  HistoryRequestSpan span = HistoryRequestSpanFor('d', start, end);
  EXPECT_EQ(DateKeyOf(span.start), 20230306);
  EXPECT_EQ(DateKeyOf(span.end), 20261206);
  EXPECT_EQ(HistoryRequestSpanFor('w', start, end).start.year, 2018);
  EXPECT_EQ(HistoryRequestSpanFor('m', start, end).start.year, 1986);
  // An earlier start date wins; the month and day are still each the smaller.
  span = HistoryRequestSpanFor('d', ParseSettingsDate("01/20/2010"), end);
  EXPECT_EQ(DateKeyOf(span.start), 20100106);
}

// ---- visible window --------------------------------------------------------

// A series of daily bars, newest first: bar 0 on `newest`, then one bar per
// weekday before it (bar 1 is the newest history row). Prices rise towards
// the newest bar so every bar has its own high and low.
class ChartWindowTest : public ::testing::Test {
 protected:
  void build(CalendarDate newest, CalendarDate newestHistory, int count) {
    data.bars.ResetAll();
    data.bars.count = count;
    setBar(0, newest, 500.0, 1000);
    CalendarDate d = newestHistory;
    for (int i = 1; i < count; ++i) {
      setBar(i, d, 100.0 - i * 0.05, 100 + i);
      do d = AddDays(d, -1);
      while (weekday(d) == 0 || weekday(d) == 6);  // skip Sunday and Saturday
    }
  }
  static int weekday(CalendarDate d) { return (DaysFromCivil(d) + 4) % 7; }  // 0 Sunday
  void setBar(int i, CalendarDate d, double close, int volume) {
    QuoteBar& b = data.bars[i];
    char text[16];
    std::snprintf(text, sizeof text, "%d/%d/%d", d.month, d.day, d.year);
    b.SetDate(text);
    b.open = close;
    b.close = close;
    b.high = close + 1;
    b.low = close - 1;
    b.volume = volume;
  }
  int indexOf(int key) const {
    for (int i = 0; i < data.barCount(); ++i)
      if (data.bars[i].DateKey() == key) return i;
    return -1;
  }
  ChartSettings settings(const char* duration, const char* period, const char* start, const char* end) {
    ChartSettings s;
    s.duration = duration;
    s.period = period;
    s.startDate = start;
    s.endDate = end;
    return s;
  }
  ChartData data;
};

TEST_F(ChartWindowTest, DailyQuoteOfANewDayStartsTheWindowWithItsOwnExtents) {
  build({2026, 12, 7}, {2026, 12, 4}, 300);
  data.bars[0].high = 499.0;  // the close is higher than the quote's high
  data.bars[0].low = 498.0;
  FixChartWindow(settings("6 months", "Daily", "06/04/2026", "12/07/2026"), data);
  EXPECT_EQ(data.newestVisible, 0);
  EXPECT_DOUBLE_EQ(data.priceMax, 500.0);
  EXPECT_DOUBLE_EQ(data.priceMin, data.bars[data.oldestVisible].low);
  EXPECT_EQ(data.volumeMax, 1000);
  EXPECT_EQ(data.visibleCount, data.oldestVisible + 1);
}

TEST_F(ChartWindowTest, QuoteOfTheNewestHistoryDayIsNotShown) {
  build({2026, 12, 4}, {2026, 12, 4}, 300);
  FixChartWindow(settings("6 months", "Daily", "06/04/2026", "12/04/2026"), data);
  EXPECT_EQ(data.newestVisible, 1);
  EXPECT_LT(data.priceMax, 500.0);
  EXPECT_LT(data.volumeMax, 1000);
}

TEST_F(ChartWindowTest, CustomizeNeverShowsTheQuote) {
  for (const char* period : {"Daily", "Weekly", "Monthly"}) {
    build({2026, 12, 7}, {2026, 11, 20}, 300);
    FixChartWindow(settings("Customize", period, "06/04/2026", "12/07/2026"), data);
    EXPECT_EQ(data.newestVisible, 1) << period;
    EXPECT_DOUBLE_EQ(data.bars[1].close, 100.0 - 0.05) << "never merged";
  }
}

TEST_F(ChartWindowTest, WeeklyQuoteMergesIntoItsWeekUntilMoreThanSixDaysLater) {
  // Thursday's quote belongs to the week of Monday's bar.
  build({2026, 12, 3}, {2026, 11, 30}, 200);
  data.bars[0].high = 99.0;
  data.bars[0].low = 80.0;
  data.bars[0].close = 99.5;
  const double weekHigh = data.bars[1].high;
  FixChartWindow(settings("2 years", "Weekly", "12/03/2024", "12/03/2026"), data);
  EXPECT_EQ(data.newestVisible, 1);
  EXPECT_DOUBLE_EQ(data.bars[1].high, std::max(weekHigh, 99.5));
  EXPECT_DOUBLE_EQ(data.bars[1].low, 80.0);
  EXPECT_DOUBLE_EQ(data.bars[1].close, 99.5);
  EXPECT_DOUBLE_EQ(data.priceMin, 80.0) << "the merged week is in the extents";

  // Six days later still merges; the next Tuesday is a week of its own.
  build({2026, 12, 6}, {2026, 11, 30}, 200);
  FixChartWindow(settings("2 years", "Weekly", "12/03/2024", "12/03/2026"), data);
  EXPECT_EQ(data.newestVisible, 1);
  build({2026, 12, 8}, {2026, 11, 30}, 200);
  FixChartWindow(settings("2 years", "Weekly", "12/03/2024", "12/03/2026"), data);
  EXPECT_EQ(data.newestVisible, 0);
  EXPECT_DOUBLE_EQ(data.bars[1].close, 100.0 - 0.05);
  // A week later across the spring clock change is a new week too.
  build({2026, 3, 9}, {2026, 3, 2}, 200);
  FixChartWindow(settings("2 years", "Weekly", "03/09/2024", "03/09/2026"), data);
  EXPECT_EQ(data.newestVisible, 0);
}

TEST_F(ChartWindowTest, MonthlyQuoteIsNeitherShownNorMerged) {
  build({2026, 12, 3}, {2026, 12, 1}, 200);
  FixChartWindow(settings("5 years", "Monthly", "12/03/2021", "12/03/2026"), data);
  EXPECT_EQ(data.newestVisible, 1);
  EXPECT_DOUBLE_EQ(data.bars[1].close, 100.0 - 0.05);
}

TEST_F(ChartWindowTest, WindowRunsFromStartMinusSevenToEndPlusSevenAsKeys) {
  build({2026, 12, 7}, {2026, 12, 4}, 600);
  data.bars[indexOf(20261201)].high = 900;  // inside the window
  // Keys as numbers: 03/01/2026 - 7 is 20260294, so the window reaches back
  // only to the last bar of February.
  FixChartWindow(settings("Customize", "Daily", "03/01/2026", "11/20/2026"), data);
  EXPECT_EQ(data.newestVisible, indexOf(20261127)) << "the newest bar on or before 20261127";
  EXPECT_EQ(data.oldestVisible, indexOf(20260227));
  EXPECT_DOUBLE_EQ(data.priceMax, data.bars[data.newestVisible].high) << "bars after the window do not count";
  EXPECT_DOUBLE_EQ(data.priceMin, data.bars[data.oldestVisible].low);
  EXPECT_EQ(data.visibleCount, data.oldestVisible - data.newestVisible + 1);
}

TEST_F(ChartWindowTest, WindowReachesTheOldestBarWhenNoBarIsOldEnough) {
  build({2026, 12, 7}, {2026, 12, 4}, 40);
  FixChartWindow(settings("6 months", "Daily", "06/04/2026", "12/07/2026"), data);
  EXPECT_EQ(data.newestVisible, 0);
  EXPECT_EQ(data.oldestVisible, 39);
  EXPECT_EQ(data.visibleCount, 40);
}

TEST_F(ChartWindowTest, AQuoteWithoutHistoryIsTheWholeChart) {
  for (const char* duration : {"6 months", "Customize"}) {
    build({2026, 12, 7}, {2026, 12, 4}, 1);
    data.bars[1].Reset();  // nothing beyond the series may be read or merged into
    FixChartWindow(settings(duration, "Monthly", "06/04/2026", "12/07/2026"), data);
    EXPECT_EQ(data.newestVisible, 0);
    EXPECT_EQ(data.oldestVisible, 0);
    EXPECT_EQ(data.visibleCount, 1);
    EXPECT_DOUBLE_EQ(data.priceMax, 501.0);
    EXPECT_DOUBLE_EQ(data.priceMin, 499.0);
    EXPECT_DOUBLE_EQ(data.bars[1].close, 0.0);
  }
}

TEST_F(ChartWindowTest, FlatQuietWindowKeepsEqualExtentsAndAFiniteSpacing) {
  build({2026, 12, 4}, {2026, 12, 4}, 30);
  for (int i = 0; i < 30; ++i) {
    QuoteBar& b = data.bars[i];
    b.open = b.high = b.low = b.close = 10.0;
    b.volume = 0;
  }
  FixChartWindow(settings("1 month", "Daily", "11/03/2026", "12/04/2026"), data);
  EXPECT_DOUBLE_EQ(data.priceMax, 10.0);
  EXPECT_DOUBLE_EQ(data.priceMin, 10.0);
  EXPECT_EQ(data.volumeMax, 0);
  EXPECT_EQ(data.volumeMin, 0);
  EXPECT_DOUBLE_EQ(ChartBarSpacing(1000, data.visibleCount), 1000.0 / data.visibleCount);
}

TEST_F(ChartWindowTest, SeriesNewerThanTheWindowStillGetsItsOwnExtents) {
  build({2026, 12, 7}, {2026, 12, 4}, 20);
  FixChartWindow(settings("Customize", "Daily", "01/05/2026", "02/02/2026"), data);
  EXPECT_EQ(data.newestVisible, 0);
  EXPECT_EQ(data.oldestVisible, 19);
  EXPECT_DOUBLE_EQ(data.priceMax, 501.0);
  EXPECT_DOUBLE_EQ(data.priceMin, data.bars[19].low);
}

TEST(ChartBarSpacing, SharesThePlotWidthAmongTheVisibleBars) {
  EXPECT_DOUBLE_EQ(ChartBarSpacing(800, 3), 800.0 / 3);
  EXPECT_DOUBLE_EQ(ChartBarSpacing(800, 0), 0.0);
}

}  // namespace
}  // namespace velmora
