#include "chart/data/chart_load_job.h"

#include <utility>

namespace velmora {

ChartLoadJob::ChartLoadJob(ChartLoadRequest request, std::function<void()> finished)
    : onFinished_(std::move(finished)) {
  thread_ = std::thread([this, r = std::move(request)] { run(r); });
}

ChartLoadJob::~ChartLoadJob() {
  Cancel();
  if (thread_.joinable()) thread_.join();
}

bool ChartLoadJob::Finished() const {
  std::lock_guard<std::mutex> hold(lock_);
  return finished_;
}

std::unique_ptr<ChartLoadResult> ChartLoadJob::TakeResult() {
  std::lock_guard<std::mutex> hold(lock_);
  return finished_ ? std::move(result_) : nullptr;
}

void ChartLoadJob::run(const ChartLoadRequest& request) {
  auto result = std::make_unique<ChartLoadResult>();
  {
    // The session and its connections belong to this thread alone.
    InternetSession session;
    session.setMaxConnectionsPerHost(EffectiveMaxConnectionsPerHost(request.config));
    session.setStopFlag(&stop_);
    if (request.credentials) session.setCredentialPrompt(request.credentials);
    ChartQuoteSource source(request.config, request.processProviders);
    result->ok = PrepareChartData(request.settings, session, request.plotWidth, *result->data,
                                  result->barSpacing, source, request.historyFiles);
  }
  result->cancelled = stop_.load();
  if (result->cancelled) result->ok = false;
  {
    std::lock_guard<std::mutex> hold(lock_);
    result_ = std::move(result);
    finished_ = true;
  }
  if (onFinished_) onFinished_();
}

}  // namespace velmora
