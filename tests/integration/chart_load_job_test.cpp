// A chart's load on a thread of its own, against the real stand-in service:
// the result arrives with the news, and a cancel or the job's end stops a
// silent service's transfer at once.
#include "chart_data/chart_load_job.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "support/test_support.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

class ChartLoadJobThreads : public ::testing::Test {
 protected:
  ChartLoadJobThreads() : cwd_(folder_.path()) {}

  // The stand-in with MSFT silent; a request for `symbol` from it.
  ChartLoadRequest requestFor(const char* symbol) {
    service_ = std::make_unique<test::StandinServer>(
        std::vector<std::string>{"--now", "2026-12-07T12:00", "--fault", "MSFT=hang"});
    EXPECT_TRUE(service_->ok());
    ChartLoadRequest request;
    SetConfigDefaults(request.config);
    request.config.YahooHistoryQuoteSpreadSheetURL = service_->baseUrl() + "/table.csv";
    request.config.YahooHistoryQuoteURL = service_->baseUrl() + "/q/hp";
    request.config.YahooRealTimeQuoteSpreadSheetURL = service_->baseUrl() + "/d/quotes.csv";
    request.processProviders = false;
    request.settings.symbol = symbol;
    request.settings.startDate = "06/08/2026";
    request.settings.endDate = "12/07/2026";
    request.plotWidth = 1000;
    return request;
  }

  // The job's news: set on the loading thread.
  std::function<void()> tell() {
    return [this] {
      std::lock_guard<std::mutex> hold(lock_);
      told_ = true;
      toldChanged_.notify_all();
    };
  }
  bool waitTold(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> hold(lock_);
    return toldChanged_.wait_for(hold, limit, [this] { return told_; });
  }

  test::TempFolder folder_;
  test::ScopedCurrentDir cwd_;
  std::unique_ptr<test::StandinServer> service_;
  std::mutex lock_;
  std::condition_variable toldChanged_;
  bool told_ = false;
};

TEST_F(ChartLoadJobThreads, LoadsAwayFromTheCallerAndHandsOverTheDataOnce) {
  ChartLoadJob job(requestFor("IBM"), tell());
  ASSERT_TRUE(waitTold(std::chrono::seconds(20)));
  EXPECT_TRUE(job.Finished());
  std::unique_ptr<ChartLoadResult> result = job.TakeResult();
  ASSERT_NE(result, nullptr);
  EXPECT_TRUE(result->ok);
  EXPECT_FALSE(result->cancelled);
  EXPECT_GT(result->data->barCount(), 100);
  EXPECT_GT(result->data->visibleCount, 100);
  EXPECT_GT(result->barSpacing, 0);
  EXPECT_EQ(job.TakeResult(), nullptr) << "handed over once";
  EXPECT_TRUE(test::FileExists(folder_.file("IBM.csv"))) << "the history files are written as before";
}

TEST_F(ChartLoadJobThreads, CancelStopsASilentServiceAtOnce) {
  ChartLoadJob job(requestFor("MSFT"), tell());
  EXPECT_FALSE(waitTold(std::chrono::milliseconds(500))) << "the service says nothing";
  EXPECT_EQ(job.TakeResult(), nullptr) << "nothing before the end";
  const auto cancelled = Clock::now();
  job.Cancel();
  ASSERT_TRUE(waitTold(std::chrono::seconds(10)));
  EXPECT_LT(Clock::now() - cancelled, std::chrono::seconds(2));
  std::unique_ptr<ChartLoadResult> result = job.TakeResult();
  ASSERT_NE(result, nullptr);
  EXPECT_TRUE(result->cancelled);
  EXPECT_FALSE(result->ok);
}

TEST_F(ChartLoadJobThreads, AJobThatGoesStopsItsTransferFirst) {
  auto job = std::make_unique<ChartLoadJob>(requestFor("MSFT"), tell());
  EXPECT_FALSE(waitTold(std::chrono::milliseconds(300)));
  const auto ending = Clock::now();
  job.reset();
  EXPECT_LT(Clock::now() - ending, std::chrono::seconds(2));
}

}  // namespace
}  // namespace velmora
