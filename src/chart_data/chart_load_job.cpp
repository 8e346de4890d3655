#include "chart_data/chart_load_job.h"

#include <utility>

#include "chart_data/chart_transfer_record.h"

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
    // The session and its connections belong to this thread alone. Its
    // transfers are watched, so that a failure can say whose it was.
    const std::shared_ptr<HttpTransport> network = DefaultHttpTransport();
    const auto recorder = network != nullptr ? std::make_shared<RecordingTransport>(network) : nullptr;
    InternetSession session(recorder);
    session.setMaxConnectionsPerHost(EffectiveMaxConnectionsPerHost(request.config));
    session.setStopFlag(&stop_);
    if (request.credentials) session.setCredentialPrompt(request.credentials);
    ChartQuoteSource source(request.config, request.processProviders);
    int failureCode = 0;
    result->ok = PrepareChartData(request.settings, session, request.plotWidth, *result->data,
                                  result->barSpacing, source, request.historyFiles, &failureCode);
    if (!result->ok)
      result->failure =
          ClassifyChartFailure(failureCode, recorder != nullptr ? recorder->last() : TransferRecord{});
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
