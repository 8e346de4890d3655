// A chart's data preparation against the real stand-in quote service, its
// clock fixed with --now.
#include "chart_data/chart_data_prep.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "support/test_support.h"

namespace velmora {
namespace {

using test::FileExists;
using test::ReadFile;
using test::ScopedCurrentDir;
using test::SplitLines;
using test::StandinServer;
using test::TempFolder;
using test::WriteFile;

constexpr int kPlotWidth = 1000;

// The real quote services, seen from a client whose calendar shows
// `clientToday` (a real-time time of day dates the quote by the client's
// calendar, which the test fixes instead of the machine's clock). Records
// the history request and its result.
class ClientAtDate : public ChartQuoteSource {
 public:
  ClientAtDate(const SystemConfig& config, CalendarDate clientToday)
      : ChartQuoteSource(config), today_(clientToday) {}
  int LoadHistory(const char* symbol, char letter, const HistoryRequestSpan& span, InternetSession& session,
                  int capacity, QuoteBar* bars) override {
    requested = span;
    historyResult = ChartQuoteSource::LoadHistory(symbol, letter, span, session, capacity, bars);
    return historyResult;
  }
  int LoadRealTime(const char* symbol, InternetSession& session, QuoteBar& bar) override {
    const int result = ChartQuoteSource::LoadRealTime(symbol, session, bar);
    if (result > 0 && std::strchr(bar.time, ':') != nullptr) {
      char date[16];
      std::snprintf(date, sizeof date, "%d/%d/%d", today_.month, today_.day, today_.year);
      bar.SetDate(date);
    }
    return result;
  }
  HistoryRequestSpan requested;
  int historyResult = 0;

 private:
  CalendarDate today_;
};

class ChartDataPrep : public ::testing::Test {
 protected:
  // Starts the stand-in at New York time `now` ("2026-12-07T12:00").
  void startService(const std::string& now, std::vector<std::string> extra = {}) {
    extra.insert(extra.end(), {"--now", now, "--request-log", folder.file("requests.log")});
    service = std::make_unique<StandinServer>(extra);
    ASSERT_TRUE(service->ok());
    SetConfigDefaults(config);
    config.YahooHistoryQuoteSpreadSheetURL = service->baseUrl() + "/table.csv";
    config.YahooHistoryQuoteURL = service->baseUrl() + "/q/hp";
    config.YahooRealTimeQuoteSpreadSheetURL = service->baseUrl() + "/d/quotes.csv";
  }
  static ChartSettings settings(const char* symbol, const char* duration, const char* period,
                                const char* start, const char* end) {
    ChartSettings s;
    s.symbol = symbol;
    s.duration = duration;
    s.period = period;
    s.startDate = start;
    s.endDate = end;
    return s;
  }
  bool prepare(const ChartSettings& s, CalendarDate clientToday) {
    source = std::make_unique<ClientAtDate>(config, clientToday);
    return PrepareChartData(s, session, kPlotWidth, data, barSpacing, *source);
  }
  int key(int i) const { return data.bars[i].DateKey(); }

  TempFolder folder;
  ScopedCurrentDir inFolder{folder.path()};
  std::unique_ptr<StandinServer> service;
  SystemConfig config;
  InternetSession session;
  std::unique_ptr<ClientAtDate> source;
  ChartData data;
  double barSpacing = -1;
};

TEST_F(ChartDataPrep, DailyChartAsksThreeYearsBeforeItsWindowAndShowsTodaysQuote) {
  startService("2026-12-07T12:00");  // a Monday
  ASSERT_TRUE(prepare(settings("MSFT", "1 year", "Daily", "03/15/2025", "12/06/2026"), {2026, 12, 7}));
  EXPECT_EQ(DateKeyOf(source->requested.start), 20230306);
  EXPECT_EQ(DateKeyOf(source->requested.end), 20261206);
  bool asked = false;
  for (const std::string& line : SplitLines(ReadFile(folder.file("requests.log"))))
    asked |= line.find("/table.csv?s=MSFT&d=11&e=6&f=2026&g=d&a=2&b=6&c=2023&") != std::string::npos;
  EXPECT_TRUE(asked);

  EXPECT_EQ(data.barCount(), source->historyResult);
  EXPECT_EQ(key(0), 20261207) << "today's quote";
  EXPECT_EQ(key(1), 20261204) << "the newest history row, the Friday before";
  EXPECT_EQ(data.newestVisible, 0);
  EXPECT_EQ(key(data.oldestVisible), 20250307) << "the first bar on or before 20250308";
  EXPECT_EQ(data.visibleCount, data.oldestVisible + 1);
  EXPECT_DOUBLE_EQ(barSpacing, static_cast<double>(kPlotWidth) / data.visibleCount);
  EXPECT_GE(data.priceMax, data.bars[0].close);
  EXPECT_GT(data.bars[1].ema10, 0) << "indicators computed";

  // The series became the security's history files, bar 0 first.
  const auto rows = SplitLines(ReadFile(folder.file("MSFT.csv")));
  ASSERT_EQ(static_cast<int>(rows.size()), data.barCount());
  EXPECT_EQ(rows[0].rfind("12/7/2026,", 0), 0u);
  EXPECT_TRUE(FileExists(folder.file("MSFT.txt")));
}

TEST_F(ChartDataPrep, QuoteDatedTheNewestHistoryDayIsNotShown) {
  startService("2026-12-04T12:00");  // Friday; the history ends on Thursday
  ASSERT_TRUE(prepare(settings("IBM", "6 months", "Daily", "06/01/2026", "12/04/2026"), {2026, 12, 3}));
  ASSERT_EQ(key(0), key(1));
  EXPECT_EQ(data.newestVisible, 1);
  EXPECT_NE(data.bars[1].close, data.bars[0].close) << "the history bar keeps its own close";
}

TEST_F(ChartDataPrep, WeeklyQuoteMergesOnThursdayAndIsItsOwnWeekTheNextTuesday) {
  const ChartSettings weekly = settings("MSFT", "2 years", "Weekly", "12/03/2024", "12/03/2026");
  startService("2026-12-03T12:00");  // Thursday
  ASSERT_TRUE(prepare(weekly, {2026, 12, 3}));
  EXPECT_EQ(key(1), 20261130) << "the week's bar is dated its Monday";
  EXPECT_EQ(data.newestVisible, 1);
  EXPECT_DOUBLE_EQ(data.bars[1].close, data.bars[0].close);
  EXPECT_GE(data.bars[1].high, data.bars[0].high);
  EXPECT_LE(data.bars[1].low, data.bars[0].low);

  // The same settings the next Tuesday: the history still ends with the week
  // of 30 November, eight days before the quote.
  startService("2026-12-08T12:00");
  ASSERT_TRUE(prepare(weekly, {2026, 12, 8}));
  EXPECT_EQ(key(1), 20261130);
  EXPECT_EQ(data.newestVisible, 0);
  EXPECT_NE(data.bars[1].close, data.bars[0].close);
}

TEST_F(ChartDataPrep, CustomizedRangeNeverShowsTodaysQuote) {
  startService("2026-12-07T12:00");
  ASSERT_TRUE(prepare(settings("MSFT", "Customize", "Daily", "06/01/2026", "12/07/2026"), {2026, 12, 7}));
  EXPECT_NE(key(0), key(1));
  EXPECT_EQ(data.newestVisible, 1);
  EXPECT_EQ(data.visibleCount, data.oldestVisible);
}

TEST_F(ChartDataPrep, ShortHistoryPutsTheOldestBarAtTheLeftEdge) {
  // Thirty trading days of a security that began trading in November.
  std::string csv = "Date,Open,High,Low,Close,Volume\n";
  CalendarDate day{2026, 10, 26};
  for (int n = 0; n < 30; day = AddDays(day, 1)) {
    if (const int w = (DaysFromCivil(day) + 4) % 7; w == 0 || w == 6) continue;
    char row[96];
    std::snprintf(row, sizeof row, "%04d-%02d-%02d,10.00,11.00,9.00,10.50,%d\n", day.year, day.month, day.day,
                  1000 + n);
    csv += row;
    ++n;
  }
  WriteFile(folder.file("SHORT.csv"), csv);
  startService("2026-12-07T12:00", {"--data-dir", folder.path()});
  ASSERT_TRUE(prepare(settings("SHORT", "6 months", "Daily", "06/04/2026", "12/07/2026"), {2026, 12, 7}));
  EXPECT_EQ(data.barCount(), 31) << "the 30 rows, all before the quote day, and the quote";
  EXPECT_EQ(data.oldestVisible, data.barCount() - 1);
  EXPECT_EQ(key(data.oldestVisible), 20261026);
}

TEST_F(ChartDataPrep, HistoryWithoutRowsStillChartsTodaysQuote) {
  startService("2026-12-07T12:00");
  ASSERT_TRUE(prepare(settings("MSFT", "6 months", "Daily", "01/05/2031", "06/05/2031"), {2026, 12, 7}));
  EXPECT_EQ(source->historyResult, 1);
  EXPECT_EQ(data.barCount(), 1);
  EXPECT_EQ(key(0), 20261207);
  EXPECT_GT(data.bars[0].close, 0);
  EXPECT_EQ(data.newestVisible, 0);
  EXPECT_EQ(data.visibleCount, 1);
  // The quote's high and low are held against the close the bar had before
  // the quote, which for an empty history is 0: the low stays 0.
  EXPECT_GE(data.priceMax, data.bars[0].close);
  EXPECT_EQ(data.priceMin, data.bars[0].low);
  EXPECT_DOUBLE_EQ(barSpacing, kPlotWidth);
}

TEST_F(ChartDataPrep, FailedQuoteFailsTheLoadThoughTheHistoryCame) {
  // The composite's volume comes from ^TV.O, which fails here.
  startService("2026-12-07T12:00", {"--fault", "^TV.O=404"});
  EXPECT_FALSE(prepare(settings("^IXIC", "6 months", "Daily", "06/04/2026", "12/07/2026"), {2026, 12, 7}));
  EXPECT_GT(source->historyResult, 100);
  EXPECT_FALSE(FileExists(folder.file("NASDAQ.csv")));

  startService("2026-12-07T12:00", {"--fault", "NOSUCH=404"});
  EXPECT_FALSE(prepare(settings("NOSUCH", "6 months", "Daily", "06/04/2026", "12/07/2026"), {2026, 12, 7}));
  EXPECT_EQ(source->historyResult, -404);
}

TEST_F(ChartDataPrep, LocalFileLeavesItsLastEntryOutAndWritesNothing) {
  // Oldest first with a header: eleven entries, the header last.
  std::string csv = "Date,Open,High,Low,Close,Volume\n";
  for (int d = 1; d <= 10; ++d) {
    char row[64];
    std::snprintf(row, sizeof row, "2026-11-%02d,10,12,8,%d,500\n", d, 10 + d);
    csv += row;
  }
  WriteFile(folder.file("mine.csv"), csv);
  ChartSettings s = settings("MINE", "Customize", "Daily", "11/01/2026", "11/10/2026");
  s.source = 1;
  s.filePath = folder.file("mine.csv");
  ChartQuoteSource services(systemConfig());
  ASSERT_TRUE(PrepareChartData(s, session, kPlotWidth, data, barSpacing, services));
  EXPECT_EQ(data.barCount(), 10);
  EXPECT_EQ(key(0), 20261110);
  EXPECT_EQ(data.newestVisible, 1) << "a custom range never shows bar 0";
  EXPECT_EQ(data.oldestVisible, 9);
  EXPECT_FALSE(FileExists(folder.file("MINE.csv")));

  s.filePath = folder.file("missing.csv");
  EXPECT_FALSE(PrepareChartData(s, session, kPlotWidth, data, barSpacing, services));
}

}  // namespace
}  // namespace velmora
