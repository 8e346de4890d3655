#include "monitor/loader_thread.h"

#include <cstdio>
#include <system_error>

#include "base/log.h"
#include "monitor/loader_pool.h"
#include "monitor/loader_steps.h"
#include "quotes/quote_result.h"

namespace velmora {

namespace {

constexpr int kHistoryTries = 3;
constexpr int kFailuresToCease = 3;

SilentLoaderListener& silentListener() {
  static SilentLoaderListener listener;
  return listener;
}

}  // namespace

CThreadLoadQuote::CThreadLoadQuote(LoaderPool& pool, int index)
    : pool_(pool), index_(index), passStartTime_(pool.clock().Now()), listener_(&silentListener()) {}

CThreadLoadQuote::~CThreadLoadQuote() {
  RequestStop();
  join();
}

void CThreadLoadQuote::assign(int first, int end) {
  first_ = first;
  end_ = end;
}

bool CThreadLoadQuote::start(LoaderListener* listener) {
  if (listener != nullptr) listener_ = listener;
  // A thread that gave up on its own may still be finishing; and a stop or
  // an earlier end must not carry over into the new run.
  join();
  stop_.Clear();
  failCount_.store(0);
  inactive_.store(0);
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    inactive_.store(1);
    listener_->ThreadStartFailed(index_);
    return false;
  }
  return true;
}

void CThreadLoadQuote::join() {
  if (thread_.joinable()) thread_.join();
}

int CThreadLoadQuote::Run() {
  inactive_.store(0);
  failCount_.store(0);
  const bool advancedTurn = historyPass();
  if (!StopRequested()) realTimePasses();
  inactive_.store(1);
  source_.reset();
  pool_.threadEnded(advancedTurn);
  LogFormat("Thread %d ceased.", index_ + 1);
  return 1;
}

void CThreadLoadQuote::RequestStop() { stop_.Set(); }

bool CThreadLoadQuote::StopRequested() {
  if (stop_.IsSet()) inactive_.store(1);
  return inactive();
}

void CThreadLoadQuote::SleepWithMessages(int ms) {
  if (ms <= 0 || stop_.IsSet()) return;
  pool_.clock().Sleep(ms, stop_);
}

bool CThreadLoadQuote::waitForTurn() {
  while (!pool_.myTurn(index_)) {
    if (StopRequested()) return false;
    stop_.WaitFor(std::chrono::milliseconds(pool_.timing().turnPollMs),
                  [this] { return pool_.myTurn(index_); });
  }
  return !StopRequested();
}

bool CThreadLoadQuote::historyPass() {
  if (!waitForTurn()) return false;
  source_ = pool_.sources().Create(stop_.flag(), *listener_);
  if (source_ == nullptr) {
    inactive_.store(1);
  } else {
    for (int i = first_; i < end_; ++i) {
      if (StopRequested()) break;
      loadHistory(i);
    }
    if (!stop_.IsSet()) pool_.historyPassDone();
    if (!inactive()) {
      pool_.completePass();
      pool_.ReportStep();
    }
  }
  pool_.advanceTurn();
  return true;
}

void CThreadLoadQuote::loadHistory(int security) {
  SecurityEntry& entry = pool_.store().entry(security);
  status("Loading history quote for symbol %s ......", entry.displaySymbol());
  int result = kQuoteFailed;
  for (int attempt = 0; attempt < kHistoryTries; ++attempt) {
    {
      std::lock_guard<std::mutex> hold(pool_.historyLock());
      result = ProcessSecurityHistory(entry, *source_, pool_.history(), pool_.clock().Now(),
                                      EffectiveConfirmDays(pool_.config()));
    }
    if (result == kQuoteOk) break;
    SleepWithMessages(pool_.timing().retryPauseMs);
    // A stop cuts the tries short; the answer of an aborted try means nothing.
    if (stop_.IsSet()) return;
  }
  if (result == kQuoteOk) {
    listener_->SecurityUpdated(security);
  } else if (result == kQuoteFailed) {
    const int failed = countFailure();
    LogFormat("Thread %d failed to process history quote of %s.Total failed: %d", index_ + 1,
              entry.displaySymbol(), failed);
  } else if (result == kQuoteNotFound) {
    LogFormat("Symbol %s not found.", entry.displaySymbol());
  }
}

void CThreadLoadQuote::realTimePasses() {
  while (!StopRequested()) {
    int refreshed = 0;
    for (int i = first_; i < end_; ++i) {
      if (!pool_.store().entry(i).historyLoaded()) continue;
      ++refreshed;
      if (!refresh(i) || StopRequested()) break;
    }
    if (inactive()) return;
    pool_.completePass();
    pool_.ReportStep();
    LoaderClock& clock = pool_.clock();
    lastPassSeconds_.store(static_cast<int>(clock.Now() - passStartTime_.load()));
    const int interval = EffectiveQuoteIntervalSeconds(pool_.config());
    if (interval > 0) {
      char text[128];
      std::snprintf(text, sizeof text, "Thread %d is sleeping %d seconds......", index_ + 1, interval);
      LogMessage(text);
      listener_->StatusText(index_, text);
      SleepWithMessages(interval * 1000);
    } else if (refreshed == 0) {
      SleepWithMessages(pool_.timing().idlePassPauseMs);
    }
    passStartTime_.store(clock.Now());
  }
}

bool CThreadLoadQuote::refresh(int security) {
  SecurityEntry& entry = pool_.store().entry(security);
  status("Loading real time quote for symbol %s ......", entry.displaySymbol());
  const int result = ProcessSecurityRealTime(entry, *source_, EffectiveConfirmDays(pool_.config()));
  if (result == kQuoteOk) {
    listener_->SecurityUpdated(security);
  } else if (result == kQuoteProxyError) {
    LogFormat("Thread %d got proxy error when processing real time quote of %s.", index_ + 1,
              entry.displaySymbol());
    char text[128];
    std::snprintf(text, sizeof text, "Thread %d will sleep 30 seconds.", index_ + 1);
    LogMessage(text);
    listener_->StatusText(index_, text);
    SleepWithMessages(pool_.timing().proxyErrorPauseMs);
  } else if (result == kQuoteFailed) {
    const int failed = countFailure();
    LogFormat("Thread %d failed to process real time quote of %s.Total failed: %d", index_ + 1,
              entry.displaySymbol(), failed);
  }
  return !inactive();
}

void CThreadLoadQuote::status(const char* format, const char* symbol) {
  char text[160];
  std::snprintf(text, sizeof text, format, symbol);
  listener_->StatusText(index_, text);
}

// Counts one failure; the third makes the thread give up.
int CThreadLoadQuote::countFailure() {
  const int failed = failCount_.fetch_add(1) + 1;
  if (failed >= kFailuresToCease) inactive_.store(1);
  return failed;
}

}  // namespace velmora
