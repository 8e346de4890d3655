// History rows of the stand-in service: layout, paging, aggregation, data shape.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <regex>

#include "standin/standin_client.h"
#include "standin/standin_helpers.h"
#include "support/test_support.h"

namespace velmora::test {
namespace {

using std::chrono::sys_days;
using std::chrono::weekday;

class StandinHistory : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<StandinServer>(std::vector<std::string>{"--now", "2005-12-06T17:00"});
  }
  static void TearDownTestSuite() { server_.reset(); }
  void SetUp() override { ASSERT_TRUE(server_->ok()) << "quote-standin did not start"; }
  static int port() { return server_->port(); }
  static std::string get(const std::string& target) {
    const HttpReply r = HttpGet(port(), target);
    EXPECT_EQ(r.status, 200) << target << "\n" << r.body;
    return r.body;
  }
  static std::vector<HistoryRow> rows(const std::string& body) {
    std::vector<HistoryRow> out;
    for (const auto& line : CsvDataLines(body)) {
      HistoryRow row;
      EXPECT_TRUE(ParseHistoryRow(line, row)) << line;
      out.push_back(row);
    }
    return out;
  }
  // Every row of a range, page after page as the program reads them.
  static std::vector<HistoryRow> allRows(const std::string& symbol, int y0, int m0, int d0, int y1, int m1,
                                         int d1, char period = 'd') {
    std::vector<HistoryRow> out;
    for (int offset = 0;; offset += 200) {
      const auto page = rows(get(CsvHistoryTarget(symbol, y0, m0, d0, y1, m1, d1, period, offset)));
      out.insert(out.end(), page.begin(), page.end());
      if (page.size() != 200) return out;
    }
  }
  static std::unique_ptr<StandinServer> server_;
};
std::unique_ptr<StandinServer> StandinHistory::server_;

// MSFT's row of 5 December 2005, as the service has always generated it.
const char* const kMsftGolden = "5-Dec-05,31.25,32.47,30.72,32.02,2354899,32.02";

const std::regex kCsvRow(
    R"(\d{1,2}-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-\d\d(,\d+\.\d\d){4},\d+,\d+\.\d\d)");

TEST_F(StandinHistory, CsvPageHasTheServiceLayoutNewestFirst) {
  const HttpReply r = HttpGet(port(), CsvHistoryTarget("MSFT", 2002, 12, 6, 2005, 12, 6));
  ASSERT_EQ(r.status, 200);
  EXPECT_EQ(r.header("content-type"), "text/csv");
  ASSERT_EQ(r.body.rfind("Date,Open,High,Low,Close,Volume,Adj Close\n", 0), 0u);
  ASSERT_EQ(r.body.back(), '\n');
  const auto lines = CsvDataLines(r.body);
  ASSERT_EQ(lines.size(), 200u);
  for (const auto& line : lines) EXPECT_TRUE(std::regex_match(line, kCsvRow)) << line;

  const auto list = rows(r.body);
  // The quote's day is 6 December, so the history ends on Monday the 5th.
  EXPECT_EQ(list.front().date, "5-Dec-05");
  for (std::size_t i = 0; i < list.size(); ++i) {
    const HistoryRow& row = list[i];
    const weekday wd{row.day};
    EXPECT_TRUE(wd != std::chrono::Saturday && wd != std::chrono::Sunday) << row.date;
    EXPECT_LE(row.low, std::min(row.open, row.close)) << row.date;
    EXPECT_GE(row.high, std::max(row.open, row.close)) << row.date;
    EXPECT_GT(row.volume, 0) << row.date;
    if (i == 0) continue;
    EXPECT_LT(row.day, list[i - 1].day) << row.date;
    if (weekday{list[i - 1].day} != std::chrono::Monday) {
      EXPECT_EQ(list[i - 1].day - row.day, std::chrono::days(1))
          << "missing trading day before " << list[i - 1].date;
    }
  }
}

TEST_F(StandinHistory, HtmlPageConvertsToTheSameRows) {
  const std::string csv = get(CsvHistoryTarget("IBM", 2004, 1, 5, 2005, 6, 30));
  const HttpReply page = HttpGet(port(), HtmlHistoryTarget("IBM", 2004, 1, 5, 2005, 6, 30));
  ASSERT_EQ(page.status, 200);
  EXPECT_NE(page.header("content-type").find("text/html"), std::string::npos);
  EXPECT_NE(
      page.body.find("\n<tr><td>Date</td><td>Open</td><td>High</td><td>Low</td><td>Close</td><td>Volume</td>"
                     "<td>Adj Close*</td></tr>\n"),
      std::string::npos);
  EXPECT_NE(
      page.body.find("</table>\n<p class=\"note\">* Close price adjusted for dividends and splits.</p>"),
      std::string::npos);
  // One row per line, cells side by side, volumes with thousands separators.
  const std::regex htmlRow(
      R"(<tr><td>\d{1,2}-[A-Z][a-z]{2}-\d\d</td>(<td>\d+\.\d\d</td>){4}<td>\d{1,3}(,\d{3})*</td><td>\d+\.\d\d</td></tr>)");
  int htmlRows = 0;
  for (const auto& line : SplitLines(page.body)) {
    if (line.rfind("<tr><td>", 0) == 0 && line.find("Date") == std::string::npos) {
      EXPECT_TRUE(std::regex_match(line, htmlRow)) << line;
      ++htmlRows;
    }
  }
  EXPECT_EQ(htmlRows, 200);

  const auto converted = ConvertHistoryPage(page.body);
  ASSERT_FALSE(converted.empty());
  EXPECT_EQ(converted.front(), "Date,Open,High,Low,Close,Volume,Adj Close*");
  std::vector<std::string> data;
  for (std::size_t i = 1; i < converted.size(); ++i) {
    if (!converted[i].empty()) data.push_back(converted[i]);
  }
  EXPECT_EQ(data, CsvDataLines(csv));
}

TEST_F(StandinHistory, PagesFollowTheOffsetAndPageSize) {
  StandinServer wide({"--now", "2005-12-06T17:00", "--page-size", "5000"});
  ASSERT_TRUE(wide.ok());
  const std::string whole = HttpGet(wide.port(), CsvHistoryTarget("KO", 2002, 12, 6, 2005, 12, 6)).body;
  const auto all = CsvDataLines(whole);
  ASSERT_GT(all.size(), 600u);

  std::vector<std::string> paged;
  int pages = 0;
  for (int offset = 0;; offset += 200) {
    const auto lines = CsvDataLines(get(CsvHistoryTarget("KO", 2002, 12, 6, 2005, 12, 6, 'd', offset)));
    ++pages;
    paged.insert(paged.end(), lines.begin(), lines.end());
    if (lines.size() != 200) break;
  }
  EXPECT_EQ(paged, all);
  EXPECT_EQ(pages, static_cast<int>(all.size() / 200 + 1));

  EXPECT_EQ(get(CsvHistoryTarget("KO", 2002, 12, 6, 2005, 12, 6, 'd', 100000)),
            "Date,Open,High,Low,Close,Volume,Adj Close\n");
  EXPECT_EQ(get(CsvHistoryTarget("KO", 2002, 12, 6, 2005, 12, 6, 'd', 2147483647)),
            "Date,Open,High,Low,Close,Volume,Adj Close\n");

  StandinServer small({"--now", "2005-12-06T17:00", "--page-size", "7"});
  ASSERT_TRUE(small.ok());
  const auto seven =
      CsvDataLines(HttpGet(small.port(), CsvHistoryTarget("KO", 2002, 12, 6, 2005, 12, 6, 'd', 3)).body);
  EXPECT_EQ(seven, std::vector<std::string>(all.begin() + 3, all.begin() + 10));
}

TEST_F(StandinHistory, RangeEndsAreHonoured) {
  // A range reaching past the quote's day still ends the day before it.
  EXPECT_EQ(rows(get(CsvHistoryTarget("XOM", 2005, 11, 1, 2009, 1, 1))).front().date, "5-Dec-05");
  // Data begins on 1 January 1970.
  const auto early = rows(get(CsvHistoryTarget("XOM", 1960, 1, 1, 1970, 1, 9)));
  ASSERT_EQ(early.size(), 7u);
  EXPECT_EQ(early.back().date, "1-Jan-70");
  EXPECT_EQ(early.front().date, "9-Jan-70");
  // Start after end: no rows. 31 February counts on to 3 March.
  EXPECT_EQ(get(CsvHistoryTarget("XOM", 2005, 6, 1, 2005, 5, 1)),
            "Date,Open,High,Low,Close,Volume,Adj Close\n");
  EXPECT_EQ(rows(get(CsvHistoryTarget("XOM", 2005, 2, 31, 2005, 3, 4))).back().date, "3-Mar-05");
}

// Weekly and monthly bars: first open, highest high, lowest low, last close
// and adjusted close, summed volume of their days (in full, also beyond 32
// bits); dated by their first day.
void expectAggregate(const HistoryRow& bar, const std::vector<HistoryRow>& days) {
  ASSERT_FALSE(days.empty()) << bar.date;
  EXPECT_EQ(bar.date, days.back().date);
  EXPECT_EQ(bar.open, days.back().open) << bar.date;
  EXPECT_EQ(bar.close, days.front().close) << bar.date;
  EXPECT_EQ(bar.adjClose, days.front().adjClose) << bar.date;
  double high = 0, low = 1e18;
  long long volume = 0;
  for (const auto& d : days) {
    high = std::max(high, d.high);
    low = std::min(low, d.low);
    volume += d.volume;
  }
  EXPECT_EQ(bar.high, high) << bar.date;
  EXPECT_EQ(bar.low, low) << bar.date;
  EXPECT_EQ(bar.volume, volume) << bar.date;
}

TEST_F(StandinHistory, WeeklyAndMonthlyBarsAgreeWithTheDailyOnes) {
  const auto daily = allRows("^GSPC", 2004, 1, 1, 2005, 12, 6);
  const auto weekly = allRows("^GSPC", 2004, 6, 1, 2005, 12, 6, 'w');
  const auto monthly = allRows("^GSPC", 2004, 6, 1, 2005, 12, 6, 'm');
  ASSERT_GT(weekly.size(), 70u);
  ASSERT_EQ(monthly.size(), 19u);
  EXPECT_EQ(weekly.front().date, "5-Dec-05");  // the week in progress, up to the history's end
  EXPECT_EQ(monthly.front().date, "1-Dec-05");
  EXPECT_EQ(monthly.back().date, "1-Jun-04");
  for (const auto& week : weekly) {
    EXPECT_EQ(weekday{week.day}, std::chrono::Monday) << week.date;
    std::vector<HistoryRow> days;
    for (const auto& d : daily) {
      if (d.day >= week.day && d.day < week.day + std::chrono::days(7)) days.push_back(d);
    }
    expectAggregate(week, days);
  }
  for (const auto& month : monthly) {
    const std::chrono::year_month ym{std::chrono::year_month_day{month.day}.year(),
                                     std::chrono::year_month_day{month.day}.month()};
    std::vector<HistoryRow> days;
    for (const auto& d : daily) {
      const std::chrono::year_month_day ymd{d.day};
      if (ymd.year() == ym.year() && ymd.month() == ym.month()) days.push_back(d);
    }
    expectAggregate(month, days);
  }
  // An index's month of trading passes 2^31 shares.
  EXPECT_TRUE(std::any_of(monthly.begin(), monthly.end(),
                          [](const HistoryRow& month) { return month.volume > 2147483647LL; }));
}

TEST_F(StandinHistory, SameSymbolSameDataInEveryRun) {
  StandinServer other({"--now", "2005-12-06T17:00"});
  ASSERT_TRUE(other.ok());
  for (const char* symbol : {"MSFT", "^IXIC", "BRK-B"}) {
    const std::string target = CsvHistoryTarget(symbol, 1995, 3, 1, 2005, 12, 6, 'd', 400);
    EXPECT_EQ(get(target), HttpGet(other.port(), target).body) << symbol;
  }
  // The seed is the upper-case symbol; different symbols differ.
  EXPECT_EQ(get(CsvHistoryTarget("msft", 2005, 1, 1, 2005, 12, 6)),
            get(CsvHistoryTarget("MSFT", 2005, 1, 1, 2005, 12, 6)));
  EXPECT_NE(CsvDataLines(get(CsvHistoryTarget("MSFT", 2005, 1, 1, 2005, 12, 6))),
            CsvDataLines(get(CsvHistoryTarget("MSFS", 2005, 1, 1, 2005, 12, 6))));
  // Fixed values: the generator must not drift between versions, or users'
  // stored histories would stop matching the service.
  EXPECT_EQ(CsvDataLines(get(CsvHistoryTarget("MSFT", 2005, 12, 5, 2005, 12, 5))).at(0), kMsftGolden);
}

TEST_F(StandinHistory, DataHasTrendsGapsSplitsAndDividends) {
  int splitStocks = 0;
  StandinServer wide({"--now", "2005-12-06T17:00", "--page-size", "20000"});
  ASSERT_TRUE(wide.ok());
  auto history = [&](const std::string& symbol) {
    return rows(HttpGet(wide.port(), CsvHistoryTarget(symbol, 1970, 1, 1, 2005, 12, 6)).body);
  };
  bool dividendSeen = false;
  for (const char* symbol : {"MSFT", "IBM", "GE", "KO", "INTC", "ORCL", "T", "PG", "JNJ", "XOM"}) {
    const auto list = history(symbol);  // newest first
    ASSERT_GT(list.size(), 9000u);
    bool split = false;
    for (std::size_t i = 0; i + 1 < list.size(); ++i) {
      const HistoryRow& after = list[i];
      const HistoryRow& before = list[i + 1];
      // A split: the close falls by a third or more while the adjusted close hardly moves,
      // and the older adjusted close is more than 10 % off its close.
      if (after.close < before.close * 0.7 && after.adjClose > before.adjClose * 0.8 &&
          std::abs(before.close - before.adjClose) / before.close > 0.1) {
        split = true;
      }
      // A dividend: adjusted close below the close with no split after it.
      if (i < 300 && after.adjClose == after.close && before.adjClose < before.close &&
          before.adjClose > before.close * 0.97) {
        dividendSeen = true;
      }
    }
    splitStocks += split ? 1 : 0;
  }
  EXPECT_GE(splitStocks, 2);
  EXPECT_TRUE(dividendSeen);

  for (const char* index : {"^IXIC", "^DJI", "^GSPC"}) {
    const auto list = history(index);
    for (const auto& row : list) ASSERT_EQ(row.adjClose, row.close) << index << " " << row.date;
    // Three years hold rallies, declines and opening gaps.
    const std::vector<HistoryRow> recent(list.begin(), list.begin() + 756);
    double worstDrop = 0, bestRise = 0, peak = 0, trough = 1e18;
    int gaps = 0;
    for (std::size_t i = recent.size(); i-- > 0;) {
      peak = std::max(peak, recent[i].close);
      trough = std::min(trough, recent[i].close);
      worstDrop = std::max(worstDrop, 1 - recent[i].close / peak);
      bestRise = std::max(bestRise, recent[i].close / trough - 1);
      if (i + 1 < recent.size() && std::abs(recent[i].open / recent[i + 1].close - 1) > 0.015) ++gaps;
    }
    EXPECT_GT(worstDrop, 0.08) << index;
    EXPECT_GT(bestRise, 0.10) << index;
    EXPECT_GT(gaps, 3) << index;
  }
}

}  // namespace
}  // namespace velmora::test
