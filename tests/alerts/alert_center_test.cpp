// The alert center as the loader drives it: history loads and real-time
// updates of a security over a generated market, its memory across
// restarts, the price rules and the day's list.
#include "alerts/alert_center.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <ctime>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "alerts/alert_files.h"
#include "alerts/alert_memory.h"
#include "alerts/alert_pending.h"
#include "alerts/alert_rules.h"
#include "alerts/alert_sinks.h"
#include "core/chart_dates.h"
#include "monitor/loader_pool.h"
#include "monitor/loader_steps.h"
#include "monitor/local_history_writer.h"
#include "monitor/security_store.h"
#include "support/engine_fixtures.h"
#include "support/log_lines.h"
#include "support/monitor_fakes.h"
#include "support/test_support.h"

namespace velmora {
namespace {

constexpr int kConfirmDays = 2;
constexpr int kMarketBars = 300;

std::string dateText(int days) {
  const CalendarDate d = CivilFromDays(days);
  char text[16];
  std::snprintf(text, sizeof text, "%d/%d/%d", d.month, d.day, d.year);
  return text;
}

// A generated market of weekdays ending on Tuesday 2026-12-08, served one
// day at a time as the quote service would: the history up to the day
// before, then quotes of the day (by default its own close).
class Market : public QuoteSource {
 public:
  explicit Market(std::uint32_t seed) : bars_(test::MarketBars(kMarketBars, seed)) {
    int day = DaysFromCivil({2026, 12, 8});
    for (QuoteBar& b : bars_) {
      b.SetDate(dateText(day).c_str());
      b.SetTime("00:00AM");
      do --day;
      while ((day + 4) % 7 == 6 || (day + 4) % 7 == 0);
    }
  }

  // `day` counts back from the newest bar of the market.
  void SetDay(int day) {
    day_ = day;
    close_ = bars_[static_cast<std::size_t>(day)].close;
  }
  void SetClose(double close) { close_ = close; }
  double Close(int day) const { return bars_[static_cast<std::size_t>(day)].close; }
  std::string Date(int day) const { return bars_[static_cast<std::size_t>(day)].date; }

  // The series a history load of `day` computes, with today's close.
  std::vector<QuoteBar> View(int day, double close) const {
    std::vector<QuoteBar> view(bars_.begin() + day, bars_.end());
    view[0].close = close;
    SignalState state;
    computeIndicators(false, false, kLoaderRsiPeriod, kLoaderStochLookback, kLoaderStochSmoothing,
                      kLoaderStochSlowing, static_cast<int>(view.size()) - 1, 0, view, state, kConfirmDays);
    return view;
  }

  int LoadHistory(const char*, int, int, int, int, int, int, int capacity, QuoteBar* bars) override {
    const int rows = std::min(kMarketBars - day_ - 1, capacity - 1);
    for (int i = 0; i < rows; ++i) bars[i + 1].CopyFrom(bars_[static_cast<std::size_t>(day_ + 1 + i)]);
    bars[0].CopyFrom(bars[1]);
    return rows + 1;
  }
  int LoadRealTime(const char*, const RealTimePlaces& places) override {
    const QuoteBar& today = bars_[static_cast<std::size_t>(day_)];
    QuoteBar& b = *places.bar;
    b.open = today.open;
    b.high = std::max(today.high, close_);
    b.low = std::min(today.low, close_);
    b.close = close_;
    b.volume = today.volume;
    b.SetDate(today.date);
    b.SetTime("4:00pm");
    return 1;
  }

 private:
  std::vector<QuoteBar> bars_;
  int day_ = 0;
  double close_ = 0;
};

// A market day whose close gives the newest bar a mark that the previous
// close (an unchanged quote) does not, and whose mark stays on its bar
// three days later.
struct MarkDay {
  std::uint32_t seed = 0;
  int day = 0;
  char mark = 0;
};

MarkDay findMarkDay() {
  for (std::uint32_t seed = 1; seed < 60; ++seed) {
    const Market market(seed);
    for (int day = 40; day >= 4; --day) {
      const char mark = market.View(day, market.Close(day))[0].signalMark[0];
      if (mark == 0 || market.View(day, market.Close(day + 1))[0].signalMark[0] != 0) continue;
      if (market.View(day - 3, market.Close(day - 3))[3].signalMark[0] != mark) continue;
      return {seed, day, mark};
    }
  }
  return {};
}

// Every alert it is handed, in order.
class RecordingSink : public AlertSink {
 public:
  void Deliver(const Alert& alert) override {
    std::lock_guard<std::mutex> hold(lock_);
    alerts_.push_back(alert);
  }
  std::vector<Alert> alerts() {
    std::lock_guard<std::mutex> hold(lock_);
    return alerts_;
  }

 private:
  std::mutex lock_;
  std::vector<Alert> alerts_;
};

std::time_t localTime(int year, int month, int day, int hour, int minute) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

class AlertCenterThreads : public test::InTempDir, public ::testing::Test {
 protected:
  void SetUp() override {
    found_ = findMarkDay();
    ASSERT_NE(found_.mark, 0) << "no market day with a new mark";
    market_ = std::make_unique<Market>(found_.seed);
    SecurityData data;
    ASSERT_TRUE(InitSecurityEntry(data, "MSFT", kRealTimeYahoo));
    entry_.Assign(data);
  }

  std::unique_ptr<AlertCenter> makeCenter(std::time_t now = localTime(2026, 12, 8, 15, 31)) {
    AlertSettings settings;
    settings.clock = [now] { return now; };
    return MakeAlertCenter(settings);
  }

  // A fresh history load of `day` with `close`, as at a start or a reload.
  void load(AlertCenter& center, int day, double close) {
    SecurityData data = entry_.Snapshot();
    data.historyLoaded = 0;
    entry_.PublishHistory(data);
    market_->SetDay(day);
    market_->SetClose(close);
    ASSERT_EQ(ProcessSecurityHistory(entry_, *market_, *history_, 0, kConfirmDays, &center), kQuoteOk);
  }
  void refresh(AlertCenter& center, double close) {
    market_->SetClose(close);
    ASSERT_EQ(ProcessSecurityRealTime(entry_, *market_, kConfirmDays, nullptr, &center), kQuoteOk);
  }
  char newestMark() const { return entry_.Snapshot().bars[0].signalMark[0]; }
  AlertKind markKind() const { return found_.mark == 'B' ? AlertKind::kBuy : AlertKind::kSell; }

  static int count(const std::vector<Alert>& alerts, AlertKind kind, const std::string& barDate) {
    return static_cast<int>(std::count_if(alerts.begin(), alerts.end(), [&](const Alert& a) {
      return a.kind == kind && a.barDate == barDate;
    }));
  }

  MarkDay found_;
  std::unique_ptr<Market> market_;
  SecurityEntry entry_;
  std::unique_ptr<QuoteSeries> history_ = std::make_unique<QuoteSeries>();
};

TEST_F(AlertCenterThreads, ANewMarkFiresOnceThroughEveryRecomputationOfTheDay) {
  const int day = found_.day;
  const double close = market_->Close(day);
  const double unchanged = market_->Close(day + 1);
  const std::string date = market_->Date(day);
  auto sink = std::make_shared<RecordingSink>();
  {
    auto center = makeCenter();
    center->AddSink(sink);
    // The morning: no change yet, no mark.
    load(*center, day, unchanged);
    EXPECT_EQ(newestMark(), 0);
    const std::size_t before = center->Recent().size();

    // The close that makes the mark: one alert.
    refresh(*center, close);
    ASSERT_EQ(newestMark(), found_.mark);
    const std::vector<Alert> recent = center->Recent();
    ASSERT_EQ(recent.size(), before + 1);
    const Alert& alert = recent.front();  // newest first
    EXPECT_EQ(alert.symbol, "MSFT");
    EXPECT_EQ(alert.kind, markKind());
    EXPECT_EQ(alert.event, found_.mark == 'B' ? "buy signal" : "sell signal");
    EXPECT_EQ(alert.barDate, date);
    EXPECT_EQ(alert.price, close);
    EXPECT_EQ(alert.time, "2026-12-08 15:31:00");

    // The mark goes with the next quote and comes back with the one after:
    // each update recomputes the newest bars on the rolled-back state.
    refresh(*center, unchanged);
    EXPECT_EQ(newestMark(), 0);
    refresh(*center, close);
    EXPECT_EQ(newestMark(), found_.mark);
    refresh(*center, close);
    EXPECT_EQ(center->Recent().size(), before + 1);
    // A reload of the list in the same run loads the history again.
    load(*center, day, close);
    EXPECT_EQ(center->Recent().size(), before + 1);
  }
  // Destroying the center delivered everything it had raised.
  EXPECT_EQ(count(sink->alerts(), markKind(), date), 1);
  EXPECT_EQ(test::LogCountOf(AlertLogText(sink->alerts().back())), 1);
  const std::string state = test::ReadFile(kAlertStateFile);
  EXPECT_NE(state.find(std::string("MSFT ") + (found_.mark == 'B' ? "buy " : "sell ")), std::string::npos)
      << state;
  const auto rows = test::SplitLines(test::ReadFile(kAlertReportFile));
  ASSERT_EQ(rows.size(), sink->alerts().size() + 1);
  EXPECT_EQ(rows[0] + "\n", AlertReportHeader());
  EXPECT_EQ(rows.back() + "\n", AlertReportRow(sink->alerts().back()));
}

TEST_F(AlertCenterThreads, ARestartRemembersWhatWasRaisedAndOlderMarksDoNotFire) {
  const int day = found_.day;
  const std::string date = market_->Date(day);
  {
    auto center = makeCenter();
    load(*center, day, market_->Close(day));
    EXPECT_EQ(count(center->Recent(), markKind(), date), 1);
  }
  {
    // The same day again after a restart: remembered.
    auto center = makeCenter();
    load(*center, day, market_->Close(day));
    EXPECT_EQ(count(center->Recent(), markKind(), date), 0);
  }
  {
    // A first run with no memory three days later: the mark is on bar 3
    // now, older than the newest trading day, and does not fire.
    test::TempFolder other;
    test::ScopedCurrentDir there(other.path());
    auto center = makeCenter();
    load(*center, day - 3, market_->Close(day - 3));
    ASSERT_EQ(entry_.Snapshot().bars[3].signalMark[0], found_.mark);
    EXPECT_EQ(count(center->Recent(), markKind(), date), 0);
  }
}

TEST_F(AlertCenterThreads, APriceRuleFiresOncePerDayAndListsItsProblemsOnce) {
  const int day = found_.day;
  const double level = market_->Close(day + 1) + 0.5;
  test::WriteFile(kAlertRulesFile, "# levels\nmsft above " + std::to_string(level) +
                                       "\nIBM below 10\nMSFT under 3\n^GSPC move 0.01\n");
  auto store = std::make_unique<SecurityStore>();
  SecurityData msft;
  ASSERT_TRUE(InitSecurityEntry(msft, "MSFT", kRealTimeYahoo));
  ASSERT_TRUE(store->Append(msft));
  SecurityData sp500;
  ASSERT_TRUE(InitSecurityEntry(sp500, "^GSPC", kRealTimeYahoo));
  ASSERT_TRUE(store->Append(sp500));

  auto center = makeCenter();
  center->ListLoaded(*store);
  center->ListLoaded(*store);  // a reload of the list says nothing new
  EXPECT_EQ(test::LogCountOf("Alerts.dat line 3: IBM is not in the security list; the rule is not checked."),
            1);
  EXPECT_EQ(
      test::LogCountOf("Alerts.dat line 4: 'MSFT under 3' needs above, below or move after the symbol; the "
                       "line is skipped."),
      1);

  const auto above = [&] {
    int n = 0;
    for (const Alert& a : center->Recent()) n += a.kind == AlertKind::kAbove ? 1 : 0;
    return n;
  };
  load(*center, day, level - 1);
  EXPECT_EQ(above(), 0);
  refresh(*center, level + 0.01);
  EXPECT_EQ(above(), 1);
  EXPECT_EQ(center->Recent().front().event, PriceRuleText({"", AlertKind::kAbove, level, 0}));
  refresh(*center, level - 1);
  refresh(*center, level + 2);  // crosses again the same day: nothing
  EXPECT_EQ(above(), 1);
  // The next trading day it may fire again.
  load(*center, day - 1, level + 3);
  EXPECT_EQ(above(), 2);
  EXPECT_EQ(center->Recent().front().barDate, market_->Date(day - 1));
}

TEST_F(AlertCenterThreads, ASinkGetsTheAlertsRaisedAfterItWasAdded) {
  auto early = std::make_shared<RecordingSink>();
  auto late = std::make_shared<RecordingSink>();
  std::size_t before = 0;
  std::size_t raised = 0;
  {
    auto center = makeCenter();
    center->AddSink(early);
    load(*center, found_.day + 1, market_->Close(found_.day + 1));
    before = center->Recent().size();
    center->AddSink(late);
    load(*center, found_.day, market_->Close(found_.day));  // the mark's day
    raised = center->Recent().size();
    ASSERT_GT(raised, before);
  }
  EXPECT_EQ(early->alerts().size(), raised);
  EXPECT_EQ(late->alerts().size(), raised - before);
}

TEST_F(AlertCenterThreads, AlertsTxtKeepsTheRowsOfTheDayFromAnEarlierRun) {
  test::WriteFile(kAlertReportFile, AlertReportHeader() +
                                        "2026-12-07 16:00:00 IBM        buy signal      1.00  0.00  0.00%\n"
                                        "2026-12-08 09:45:00 IBM        sell signal     1.00  0.00  0.00%\n");
  {
    auto center = makeCenter();
    load(*center, found_.day, market_->Close(found_.day));
  }
  const auto rows = test::SplitLines(test::ReadFile(kAlertReportFile));
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[0] + "\n", AlertReportHeader());
  EXPECT_EQ(rows[1], "2026-12-08 09:45:00 IBM        sell signal     1.00  0.00  0.00%");
  for (std::size_t i = 2; i < rows.size(); ++i) EXPECT_EQ(rows[i].rfind("2026-12-08 15:31:00 MSFT", 0), 0u);

  // The next day's first run starts the list again.
  { auto center = makeCenter(localTime(2026, 12, 9, 9, 0)); }
  EXPECT_EQ(test::ReadFile(kAlertReportFile), AlertReportHeader());
}

// What the loader threads tell a center, and whether each entry was
// published by then.
class ListeningCenter : public AlertCenter {
 public:
  explicit ListeningCenter(const SecurityStore& store) : store_(store) {}
  void AddSink(std::shared_ptr<AlertSink>) override {}
  std::vector<Alert> Recent() const override { return {}; }
  void ListLoaded(const SecurityStore& store) override { listed_ = store.count(); }
  void SecurityLoaded(const SecurityData& data, std::span<const QuoteBar> history, int confirmDays) override {
    std::lock_guard<std::mutex> hold(lock_);
    ++loads_[data.displaySymbol];
    historyBars_ = static_cast<int>(history.size());
    confirmDays_ = confirmDays;
    unpublished_ += isPublished(data) ? 0 : 1;
  }
  void SecurityRefreshed(const SecurityData& data) override {
    std::lock_guard<std::mutex> hold(lock_);
    ++refreshes_[data.displaySymbol];
    unpublished_ += isPublished(data) ? 0 : 1;
  }

  int listed() const { return listed_.load(); }
  int loads(const std::string& symbol) {
    std::lock_guard<std::mutex> hold(lock_);
    return loads_[symbol];
  }
  int refreshes(const std::string& symbol) {
    std::lock_guard<std::mutex> hold(lock_);
    return refreshes_[symbol];
  }
  int historyBars() {
    std::lock_guard<std::mutex> hold(lock_);
    return historyBars_;
  }
  int confirmDays() {
    std::lock_guard<std::mutex> hold(lock_);
    return confirmDays_;
  }
  int unpublished() {
    std::lock_guard<std::mutex> hold(lock_);
    return unpublished_;
  }

 private:
  // The entry a reader sees holds what the center was told.
  bool isPublished(const SecurityData& data) const {
    for (int i = 0; i < store_.count(); ++i) {
      if (std::string(store_.entry(i).displaySymbol()) != data.displaySymbol) continue;
      const SecurityData seen = store_.entry(i).Snapshot();
      return seen.historyLoaded != 0 && seen.bars[0].close == data.bars[0].close;
    }
    return false;
  }

  const SecurityStore& store_;
  std::atomic<int> listed_{0};
  std::mutex lock_;
  std::map<std::string, int> loads_;
  std::map<std::string, int> refreshes_;
  int historyBars_ = 0;
  int confirmDays_ = -1;
  int unpublished_ = 0;
};

TEST(AlertLoaderThreads, TellTheProcessCenterOfTheListEachLoadAndEachUpdateOncePublished) {
  test::TempFolder folder;
  test::ScopedCurrentDir here(folder.path());
  SystemConfig config;
  SetConfigDefaults(config);
  config.TrendChangeConfirmDays = 3;
  SecurityStore store;
  test::FillStore(store, test::NumberedSymbols(12));
  test::FakeQuoteService service;
  test::FakeClock clock;
  ListeningCenter center(store);
  // The programs hand their center to the loader before the list is loaded.
  {
    LoaderEnvironment env;
    env.events = &center;
    env.config = &config;
    env.sources = &service;
    env.clock = &clock;
    env.writeReports = [](const SecurityStore&) {};
    LoaderPool pool(store, env);
    pool.AssignSecurityRanges(store.count(), 2);
    EXPECT_EQ(center.listed(), 12);
    test::RecordingListener listener;
    ASSERT_EQ(pool.StartLoaderThreads(&listener), 2);
    ASSERT_TRUE(test::WaitUntil([&] {
      for (const std::string& s : test::NumberedSymbols(12))
        if (center.refreshes(s) < 2) return false;
      return true;
    }));
    pool.StopLoaderThreads();
  }
  for (const std::string& s : test::NumberedSymbols(12)) EXPECT_EQ(center.loads(s), 1) << s;
  EXPECT_EQ(center.historyBars(), test::FakeQuoteService::kHistoryBars + 1);
  EXPECT_EQ(center.confirmDays(), 3);
  EXPECT_EQ(center.unpublished(), 0);
}

std::unique_ptr<SecurityStore> storeOfMsft() {
  auto store = std::make_unique<SecurityStore>();
  SecurityData msft;
  EXPECT_TRUE(InitSecurityEntry(msft, "MSFT", kRealTimeYahoo));
  EXPECT_TRUE(store->Append(msft));
  return store;
}

// A FIFO in the place of a file the alerts read or append to holds nothing
// up: the center starts, reads the rules, delivers and goes.
TEST(AlertFilesThreads, AFifoInAFilesPlaceIsNotWaitedFor) {
  for (const std::string name :
       {kAlertStateFile, kAlertPendingFile, kAlertReportFile, kAlertRulesFile, "a.jsonl"}) {
    test::InTempDir here;
    ASSERT_EQ(::mkfifo(name.c_str(), 0644), 0);
    const auto store = storeOfMsft();
    AlertSettings settings;
    settings.jsonLines = "a.jsonl";
    auto done = std::async(std::launch::async, [&] {
      auto center = MakeAlertCenter(settings);
      center->ListLoaded(*store);
      JsonLinesSink("a.jsonl").Deliver(Alert{});
    });
    EXPECT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready) << name;
    // A reader or writer that waits for the FIFO's other end is let go.
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
      const int fd = ::open(name.c_str(), O_RDWR | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
    }
    EXPECT_TRUE(test::LogHas(name == "a.jsonl"
                                 ? "Can not append alerts to 'a.jsonl' (No such device or address)."
                                 : NotRegularFileText(name)))
        << name;
  }
}

// Alerts.dat of 100,000 rules that do not read, or that name securities not
// in the list, gives a few log lines and one count, once.
TEST(AlertFilesThreads, ThousandsOfBadRulesGiveAFewLinesAndOneCount) {
  const struct {
    const char* line;
    const char* count;
  } cases[] = {
      {"MSFT over 1\n", "Alerts.dat: 99990 more lines can not be read and are skipped."},
      {"IBM above 1\n",
       "Alerts.dat: 99990 more rules name securities not in the security list; they are not checked."},
  };
  for (const auto& c : cases) {
    test::InTempDir here;
    std::string text;
    for (int i = 0; i < 100000; ++i) text += c.line;
    test::WriteFile(kAlertRulesFile, text);
    const auto store = storeOfMsft();
    auto center = MakeAlertCenter(AlertSettings{});
    center->ListLoaded(*store);
    center->ListLoaded(*store);
    const auto texts = test::LogTexts();
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) { return t.rfind("Alerts.dat", 0) == 0; }),
              static_cast<long>(kShownRuleProblems) + 1)
        << c.line;
    EXPECT_EQ(test::LogCountOf(c.count), 1) << c.line;
  }
}

}  // namespace
}  // namespace velmora
