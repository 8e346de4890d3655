#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "base/system_config.h"
#include "chart_data/chart_data_prep.h"
#include "chart_data/chart_load_failure.h"
#include "core/chart_data.h"
#include "core/chart_settings.h"
#include "net/internet_session.h"

namespace velmora {

// What a chart needs to load its data away from the window.
struct ChartLoadRequest {
  ChartSettings settings;
  // A copy: the user may change the settings while the chart loads.
  SystemConfig config;
  // Whether the program's market-data providers serve it (the program's
  // own settings) or the classic services alone (a test's settings).
  bool processProviders = true;
  int plotWidth = 0;
  // Whether the loaded series may become history files (ChartHistoryFilesFor).
  ChartHistoryFiles historyFiles = ChartHistoryFiles::kWrite;
  // Asked on the loading thread when a service answers 401; none: the 401 stands.
  InternetSession::CredentialPrompt credentials;
};

// A finished load: the data as the chart's data preparation left it.
struct ChartLoadResult {
  bool ok = false;
  bool cancelled = false;  // stopped on request; nothing to report
  double barSpacing = 0;
  std::unique_ptr<ChartData> data = std::make_unique<ChartData>();
  // Why it failed (when not ok and not cancelled).
  ChartLoadFailure failure;
};

// One chart's data preparation on a thread of its own, so the windows keep
// answering while a slow or silent quote service is asked. Cancel stops the
// transfer in flight (within about a second) and every request after it.
class ChartLoadJob {
 public:
  // Starts at once; `finished` runs on the loading thread when the result
  // is in (it must only hand the news on, e.g. post an event).
  ChartLoadJob(ChartLoadRequest request, std::function<void()> finished);
  // Cancels and waits for the thread.
  ~ChartLoadJob();
  ChartLoadJob(const ChartLoadJob&) = delete;
  ChartLoadJob& operator=(const ChartLoadJob&) = delete;

  void Cancel() { stop_.store(true); }
  bool Cancelled() const { return stop_.load(); }
  bool Finished() const;
  // The result once finished, once; null before.
  std::unique_ptr<ChartLoadResult> TakeResult();

 private:
  void run(const ChartLoadRequest& request);

  std::atomic<bool> stop_{false};
  mutable std::mutex lock_;
  bool finished_ = false;
  std::unique_ptr<ChartLoadResult> result_;
  std::function<void()> onFinished_;
  std::thread thread_;
};

}  // namespace velmora
