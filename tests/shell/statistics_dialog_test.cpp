// The Statistics dialog over a loader pool with scripted quote services.
#include "monitor_view/statistics_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "monitor_view/qt_loader_listener.h"
#include "shell/velmora_view.h"
#include "support/monitor_fakes.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using test::FakeClock;
using test::FakeQuoteService;
using test::Script;

template <typename Done>
bool waitFor(Done done, std::chrono::milliseconds limit = 10s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(2ms);
  }
  return done();
}

// 25 securities on 4 configured threads: 3 threads in use (10, 10 and 5).
class StatisticsThreads : public ::testing::Test {
 protected:
  StatisticsThreads() : cwd_(folder_.path()) {
    test::FillStore(store_, test::NumberedSymbols(25));
    config_.ThreadLoadQuoteNum = 4;
    LoaderEnvironment environment;
    environment.config = &config_;
    environment.sources = &service_;
    environment.clock = &clock_;
    environment.writeReports = [](const SecurityStore&) {};
    pool_ = std::make_unique<LoaderPool>(store_, environment);
    pool_->AssignSecurityRanges(store_.count(), config_.ThreadLoadQuoteNum);
  }
  ~StatisticsThreads() override { pool_->StopLoaderThreads(); }

  test::TempFolder folder_;  // local history files land here
  test::ScopedCurrentDir cwd_;
  SecurityStore store_;
  SystemConfig config_;
  FakeQuoteService service_;
  FakeClock clock_;
  test::RecordingListener listener_;
  std::unique_ptr<LoaderPool> pool_;
};

const QRegularExpression kPassTime(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d  \\d\\d:\\d\\d:\\d\\d [AP]M$"));

TEST_F(StatisticsThreads, BeforeTheThreadsStart) {
  CStatisticsDialog dialog(*pool_, store_.count(), &listener_);
  EXPECT_EQ(dialog.windowTitle(), "Staticsitc");
  EXPECT_EQ(dialog.securityCountText(), "25");
  EXPECT_EQ(dialog.threadCountText(), "3");
  EXPECT_EQ(dialog.activeText(), "0");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(dialog.statusText(i), "Not Active") << i;
    EXPECT_EQ(dialog.intervalText(i), "0");
    EXPECT_EQ(dialog.errorsText(i), "0");
  }
  for (int i = 3; i < 16; ++i) EXPECT_EQ(dialog.statusText(i), "Unused") << i;
  EXPECT_TRUE(dialog.startButton()->isEnabled());
  EXPECT_EQ(dialog.startButton()->text(), "&Start");
}

TEST_F(StatisticsThreads, StartRunsTheThreadsAndRowsShowTheirPasses) {
  service_.set("S22", Script::kRealTimeFailed);  // thread 3 gives up after three failures
  {
    CStatisticsDialog dialog(*pool_, store_.count(), &listener_);
    QTest::mouseClick(dialog.startButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.activeText(), "0");  // the dialog never refreshes
  }
  ASSERT_TRUE(waitFor([&] { return pool_->thread(2).failCount() >= 3 && pool_->LoaderTurn() == 2; }));
  ASSERT_TRUE(waitFor([&] { return pool_->CompleteReportPasses() > 0; }));

  CStatisticsDialog dialog(*pool_, store_.count(), &listener_);
  EXPECT_EQ(dialog.threadCountText(), "3");
  EXPECT_EQ(dialog.activeText(), "2");
  EXPECT_TRUE(kPassTime.match(dialog.statusText(0)).hasMatch()) << dialog.statusText(0).toStdString();
  EXPECT_TRUE(kPassTime.match(dialog.statusText(1)).hasMatch()) << dialog.statusText(1).toStdString();
  EXPECT_EQ(dialog.statusText(2), "Not Active");
  EXPECT_EQ(dialog.errorsText(2), "3");
  EXPECT_EQ(dialog.errorsText(0), "0");
  EXPECT_EQ(dialog.statusText(3), "Unused");
  EXPECT_TRUE(dialog.startButton()->isEnabled());  // 3 threads, 2 active
}

TEST_F(StatisticsThreads, StartDisabledWhileEveryThreadIsActive) {
  pool_->StartLoaderThreads(&listener_);
  ASSERT_TRUE(waitFor([&] { return pool_->LoaderTurn() == 3; }));
  CStatisticsDialog dialog(*pool_, store_.count(), &listener_);
  EXPECT_EQ(dialog.activeText(), "3");
  EXPECT_FALSE(dialog.startButton()->isEnabled());
}

// The monitor view's timer 101 starts the pool, and the threads' row notices
// come back through the Qt listener and redraw rows of the view.
TEST_F(StatisticsThreads, MonitorTimerStartsTheLoadersAndRowsUpdate) {
  QtLoaderListener listener;
  ViewContext context;
  context.store = &store_;
  context.pool = pool_.get();
  context.config = &config_;
  context.listener = &listener;
  CVelmoraView view(context);
  listener.setRowSink(&view, [&view](int index) { view.onSecurityUpdated(index); });
  view.resize(1200, 8 + 31 * 15);
  view.show();
  view.renderIfNeeded();
  view.armLoaderStart(100);
  EXPECT_TRUE(view.loaderStartArmed());
  EXPECT_EQ(pool_->RunningThreadCount(), 0);
  ASSERT_TRUE(waitFor([&] { return pool_->RunningThreadCount() == 3; }));
  EXPECT_FALSE(view.loaderStartArmed());  // killed at its first tick
  ASSERT_TRUE(waitFor([&] { return view.rowUpdatesDrawn() >= 30 && view.fullPaints() >= 3; }));

  // At exit the notices stop before the threads are waited for.
  listener.beginShutdown();
  pool_->StopLoaderThreads();
  const int drawn = view.rowUpdatesDrawn();
  QApplication::processEvents();
  EXPECT_EQ(view.rowUpdatesDrawn(), drawn);
}

}  // namespace
}  // namespace velmora
