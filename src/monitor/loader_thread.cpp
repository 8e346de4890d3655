#include "monitor/loader_thread.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "base/log.h"
#include "monitor/loader_pool.h"
#include "monitor/loader_steps.h"
#include "net/quote_result.h"

namespace velmora {

namespace {

constexpr int kHistoryTries = 3;
constexpr int kFailuresToCease = 3;

SilentLoaderListener& silentListener() {
  static SilentLoaderListener listener;
  return listener;
}

// Passes every request on and counts it, and those that never reached the
// service, in the thread's tally.
class TallyingSource : public QuoteSource {
 public:
  TallyingSource(std::unique_ptr<QuoteSource> inner, CThreadLoadQuote::RequestTally& tally)
      : inner_(std::move(inner)), tally_(tally) {}

  int LoadHistory(const char* symbol, int startYear, int startMonth, int startDay, int endYear, int endMonth,
                  int endDay, int capacity, QuoteBar* bars) override {
    return count(inner_->LoadHistory(symbol, startYear, startMonth, startDay, endYear, endMonth, endDay,
                                     capacity, bars));
  }
  int LoadRealTime(const char* symbol, const RealTimePlaces& places) override {
    return count(inner_->LoadRealTime(symbol, places));
  }
  void ForSecurity(const char* displaySymbol) override { inner_->ForSecurity(displaySymbol); }
  std::string ServiceAddress(bool history) const override { return inner_->ServiceAddress(history); }
  bool ServiceAnswered(int result) const override { return inner_->ServiceAnswered(result); }

 private:
  int count(int result) {
    ++tally_.made;
    if (!inner_->ServiceAnswered(result)) ++tally_.unreached;
    return result;
  }

  std::unique_ptr<QuoteSource> inner_;
  CThreadLoadQuote::RequestTally& tally_;
};

// Why a real-time try brought no quote, for the monitor's stale rows.
std::string missReason(int result, bool answered) {
  if (result == kQuoteRateLimited) return "the quote providers are out of their request budgets";
  // A service that answered and then broke off is reachable.
  if (result == kQuoteLocalFailure && answered) return "the transfer failed";
  return QuoteFailureReason(result);
}

}  // namespace

// A history load waits at most this many pauses for the providers' budgets
// (a quarter of an hour at the usual 5 s) before it counts as failed.
constexpr int kMaxBudgetWaits = 180;

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
  tally_ = {};
  unreachable_ = false;
  const bool pastHistory = historyPass();
  if (!StopRequested()) realTimePasses();
  inactive_.store(1);
  source_.reset();
  pool_.threadEnded(pastHistory);
  LogFormat("Thread %d ceased.", index_ + 1);
  return 1;
}

void CThreadLoadQuote::RequestStop() { stop_.Set(); }

bool CThreadLoadQuote::StopRequested() {
  if (stop_.IsSet()) inactive_.store(1);
  return inactive();
}

void CThreadLoadQuote::SleepWithMessages(std::int64_t ms) {
  if (ms <= 0 || stop_.IsSet()) return;
  pool_.clock().Sleep(std::chrono::milliseconds(ms), stop_);
}

bool CThreadLoadQuote::historyPass() {
  // The thread's own 1095-bar buffer, for this pass only: no other thread
  // waits for it, so a slow or hung service holds this range alone.
  const std::unique_ptr<QuoteSeries> history(new (std::nothrow) QuoteSeries);
  if (history == nullptr) {
    inactive_.store(1);
    return false;
  }
  pool_.historyPassStarted();
  std::unique_ptr<QuoteSource> source = pool_.sources().Create(stop_.flag(), *listener_);
  if (source == nullptr) {
    inactive_.store(1);
  } else {
    source_ = std::make_unique<TallyingSource>(std::move(source), tally_);
    // A security whose first try stalled waits until the rest of the share
    // is loaded, then has its further tries: a service that hangs on one
    // symbol costs the others of the share one stall, not three.
    std::vector<int> putOff;
    const bool skipLoaded = pool_.SkipsLoadedHistory();
    for (int i = first_; i < end_; ++i) {
      if (StopRequested()) break;
      // After the list was read again, the securities kept keep their history.
      if (skipLoaded && pool_.store().entry(i).historyLoaded()) continue;
      if (!loadHistory(i, *history, 0)) putOff.push_back(i);
    }
    for (const int i : putOff) {
      if (StopRequested()) break;
      SleepWithMessages(pool_.timing().retryPauseMs);
      if (stop_.IsSet()) break;
      (void)loadHistory(i, *history, 1);
    }
    reportReachability(true);
    if (!stop_.IsSet()) pool_.historyPassDone();
    if (!inactive()) {
      pool_.completePass();
      pool_.ReportStep();
    }
  }
  pool_.historyPassEnded();
  return true;
}

bool CThreadLoadQuote::loadHistory(int security, QuoteSeries& history, int firstAttempt) {
  SecurityEntry& entry = pool_.store().entry(security);
  status("Loading history quote for symbol %s ......", entry.displaySymbol());
  // A history already in place is not loaded again, and brings no quote.
  const bool hadHistory = entry.historyLoaded();
  int result = kQuoteFailed;
  int budgetWaits = 0;
  for (int attempt = firstAttempt; attempt < kHistoryTries; ++attempt) {
    const auto started = std::chrono::steady_clock::now();
    result = ProcessSecurityHistory(entry, *source_, history, pool_.clock().Now(),
                                    EffectiveConfirmDays(pool_.config()), pool_.events());
    if (result == kQuoteOk) break;
    // A stop cuts the tries short; the answer of an aborted try means nothing.
    if (stop_.IsSet()) return true;
    // The providers are out of their budgets: waiting for a place is no
    // failed try (every other security of the share would meet the same).
    if (result == kQuoteRateLimited && budgetWaits < kMaxBudgetWaits) {
      if (budgetWaits++ == 0)
        LogFormat("Thread %d: the quote providers are out of their request budgets; %s waits.", index_ + 1,
                  entry.displaySymbol());
      status("Waiting for the quote providers' request budgets (%s) ......", entry.displaySymbol());
      SleepWithMessages(pool_.timing().rateLimitPauseMs);
      --attempt;
      continue;
    }
    if (attempt == 0 &&
        std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(pool_.timing().stalledTryMs))
      return false;
    SleepWithMessages(pool_.timing().retryPauseMs);
    if (stop_.IsSet()) return true;
  }
  if (result == kQuoteOk) {
    if (!hadHistory) entry.NoteQuoteRefreshed(pool_.clock().Now());
    listener_->SecurityUpdated(security);
    return true;
  }
  pool_.noteHistoryFailure(entry.displaySymbol(), result, source_->ServiceAnswered(result));
  if (result == kQuoteFailed) {
    const int failed = countFailure();
    LogFormat("Thread %d failed to process history quote of %s.Total failed: %d", index_ + 1,
              entry.displaySymbol(), failed);
  } else if (result == kQuoteNotFound) {
    LogFormat("Symbol %s not found.", entry.displaySymbol());
  }
  return true;
}

void CThreadLoadQuote::realTimePasses() {
  while (!StopRequested()) {
    const auto started = std::chrono::steady_clock::now();
    int refreshed = 0;
    bool news = false;
    for (int i = first_; i < end_; ++i) {
      if (!pool_.store().entry(i).historyLoaded()) continue;
      ++refreshed;
      if (!refresh(i, news) || StopRequested()) break;
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
    }
    // Shown after the sleeping line, so it is what the status bar keeps.
    reportReachability(false);
    if (refreshed == 0 && interval == 0) {
      SleepWithMessages(pool_.timing().idlePassPauseMs);
    } else {
      const std::int64_t pause = pauseAfterPass(interval, news, std::chrono::steady_clock::now() - started);
      if (pause > static_cast<std::int64_t>(interval) * 1000) {
        paceWhileHistoryLoads(pause);
      } else {
        SleepWithMessages(pause);
      }
    }
    passStartTime_.store(clock.Now());
  }
}

// The pacing pause ends early once the last history pass is over, so the
// first pass over the whole list is not held up by it.
void CThreadLoadQuote::paceWhileHistoryLoads(std::int64_t ms) {
  constexpr std::int64_t kSliceMs = 100;
  for (std::int64_t left = ms; left > 0 && pool_.HistoryPassesRunning() > 0 && !stop_.IsSet();
       left -= kSliceMs)
    SleepWithMessages(std::min(left, kSliceMs));
}

std::int64_t CThreadLoadQuote::pauseAfterPass(int intervalSeconds, bool broughtNews,
                                              std::chrono::steady_clock::duration passLength) const {
  const std::int64_t interval = static_cast<std::int64_t>(intervalSeconds) * 1000;
  const std::int64_t pacing = pool_.timing().historyPacingMs;
  if (interval >= pacing || pool_.HistoryPassesRunning() == 0) return interval;
  // Another range is still loading its history: no back-to-back passes.
  const bool quick = passLength < std::chrono::milliseconds(pacing);
  return quick || !broughtNews ? pacing : interval;
}

bool CThreadLoadQuote::refresh(int security, bool& news) {
  SecurityEntry& entry = pool_.store().entry(security);
  status("Loading real time quote for symbol %s ......", entry.displaySymbol());
  bool changed = false;
  const int result = ProcessSecurityRealTime(entry, *source_, EffectiveConfirmDays(pool_.config()), &changed,
                                             pool_.events());
  if (result != kQuoteRateLimited) rateLimited_ = false;
  // Each try is one pass of this security. A stop aborts the transfer, and
  // its answer says nothing about the quote.
  if (result == kQuoteOk) {
    entry.NoteQuoteRefreshed(pool_.clock().Now());
  } else if (!stop_.IsSet()) {
    const int missed =
        entry.NoteQuoteMissed(pool_.clock().Now(), missReason(result, source_->ServiceAnswered(result)));
    // Its row turns stale now: the monitor draws it again.
    if (missed == kStaleQuotePasses) listener_->SecurityUpdated(security);
  }
  if (result == kQuoteOk) {
    if (changed) news = true;
    listener_->SecurityUpdated(security);
  } else if (result == kQuoteProxyError) {
    LogFormat("Thread %d got proxy error when processing real time quote of %s.", index_ + 1,
              entry.displaySymbol());
    char text[128];
    std::snprintf(text, sizeof text, "Thread %d will sleep 30 seconds.", index_ + 1);
    LogMessage(text);
    listener_->StatusText(index_, text);
    SleepWithMessages(pool_.timing().proxyErrorPauseMs);
  } else if (result == kQuoteRateLimited) {
    // The providers are out of their budgets: asking again at once would
    // only spin; one log line for a run of such answers.
    if (!rateLimited_)
      LogFormat("Thread %d: the quote providers are out of their request budgets; real-time quotes wait.",
                index_ + 1);
    rateLimited_ = true;
    status("Waiting for the quote providers' request budgets (%s) ......", entry.displaySymbol());
    SleepWithMessages(pool_.timing().rateLimitPauseMs);
    return !inactive();
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

void CThreadLoadQuote::reportReachability(bool history) {
  const RequestTally tally = tally_;
  tally_ = {};
  // A stop aborts transfers, and an aborted one looks like a local failure.
  if (stop_.IsSet()) return;
  if (tally.made > 0) {
    const bool unreachable = tally.unreached == tally.made;
    if (unreachable) {
      const std::string address = source_->ServiceAddress(history);
      const std::string text = address.empty() ? "Can not connect to the quote service."
                                               : "Can not connect to the quote service at " + address + ".";
      if (!unreachable_ || text != unreachableText_) LogMessage(text);
      unreachableText_ = text;
    } else if (unreachable_) {
      // The status bar keeps the problem until it is said to be over.
      const std::string address = source_->ServiceAddress(history);
      const std::string text = address.empty() ? "The quote service answers again."
                                               : "The quote service at " + address + " answers again.";
      LogMessage(text);
      listener_->StatusText(index_, text);
    }
    unreachable_ = unreachable;
  }
  if (unreachable_) listener_->StatusText(index_, unreachableText_);
}

// Counts one failure; the third makes the thread give up.
int CThreadLoadQuote::countFailure() {
  const int failed = failCount_.fetch_add(1) + 1;
  if (failed >= kFailuresToCease) inactive_.store(1);
  return failed;
}

}  // namespace velmora
