#pragma once

// Stand-ins for the loader's seams: scripted quote sources, a clock whose
// pauses cost (almost) nothing, a listener that records what it is told.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/log.h"
#include "monitor/loader_clock.h"
#include "monitor/loader_listener.h"
#include "monitor/quote_source.h"
#include "monitor/security_store.h"
#include "net/quote_result.h"
#include "support/log_lines.h"
#include "support/test_support.h"

namespace velmora::test {

// What the scripted service does for one symbol.
enum class Script {
  kOk,
  kNotFound,             // every request: -404
  kFailed,               // every request: -999
  kRealTimeProxy,        // history fine, later real-time requests: -502
  kRealTimeFailed,       // history fine, later real-time requests: -999
  kHang,                 // every request blocks until the thread is stopped, then -400
  kStall,                // history requests answer -400 after 60 ms, as a stalled transfer
  kUnreachable,          // every request: -400, as when the connection is refused
  kRealTimeUnreachable,  // history fine, later real-time requests: -400
  kOutOfBudget,          // the first 5 history and the 2nd to 4th real-time requests: -429
};

// Scripted answers, with a record of the requests.
class FakeQuoteService : public QuoteSourceFactory {
 public:
  static constexpr int kHistoryBars = 120;

  void set(const std::string& symbol, Script script) {
    std::lock_guard<std::mutex> hold(lock_);
    scripts_[symbol] = script;
  }
  // Rows each history answer carries (120 unless set).
  void setHistoryBars(int n) { historyBars_ = n; }
  // The "host:port" its sources name for history and real-time requests.
  void setAddresses(const std::string& history, const std::string& realTime) {
    std::lock_guard<std::mutex> hold(lock_);
    historyAddress_ = history;
    realTimeAddress_ = realTime;
  }

  std::unique_ptr<QuoteSource> Create(const std::atomic<bool>& stop, LoaderListener&) override {
    return std::make_unique<Source>(*this, stop);
  }

  int historyCalls(const std::string& symbol) {
    std::lock_guard<std::mutex> hold(lock_);
    return historyCalls_[symbol];
  }
  int realTimeCalls(const std::string& symbol) {
    std::lock_guard<std::mutex> hold(lock_);
    return realTimeCalls_[symbol];
  }
  std::vector<std::string> historyOrder() {
    std::lock_guard<std::mutex> hold(lock_);
    return historyOrder_;
  }
  int maxConcurrentHistory() const { return maxConcurrentHistory_.load(); }
  int hangingNow() const { return hanging_.load(); }

 private:
  class Source : public QuoteSource {
   public:
    Source(FakeQuoteService& service, const std::atomic<bool>& stop) : service_(service), stop_(stop) {}
    int LoadHistory(const char* symbol, int, int, int, int, int, int, int capacity, QuoteBar* bars) override {
      return service_.history(symbol, capacity, bars, stop_);
    }
    int LoadRealTime(const char* symbol, const RealTimePlaces& places) override {
      return service_.realTime(symbol, places, stop_);
    }
    std::string ServiceAddress(bool history) const override { return service_.address(history); }

   private:
    FakeQuoteService& service_;
    const std::atomic<bool>& stop_;
  };

  Script scriptOf(const std::string& symbol) {
    std::lock_guard<std::mutex> hold(lock_);
    auto it = scripts_.find(symbol);
    return it == scripts_.end() ? Script::kOk : it->second;
  }

  int historyCallsOf(const std::string& symbol) {
    std::lock_guard<std::mutex> hold(lock_);
    return historyCalls_[symbol];
  }

  std::string address(bool history) {
    std::lock_guard<std::mutex> hold(lock_);
    return history ? historyAddress_ : realTimeAddress_;
  }

  int hang(const std::atomic<bool>& stop) {
    ++hanging_;
    while (!stop.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    --hanging_;
    return kQuoteLocalFailure;
  }

  int history(const std::string& symbol, int capacity, QuoteBar* bars, const std::atomic<bool>& stop) {
    const int inside = ++historyInside_;
    int seen = maxConcurrentHistory_.load();
    while (inside > seen && !maxConcurrentHistory_.compare_exchange_weak(seen, inside)) {
    }
    {
      std::lock_guard<std::mutex> hold(lock_);
      ++historyCalls_[symbol];
      historyOrder_.push_back(symbol);
    }
    int result = 0;
    const Script script = scriptOf(symbol);
    if (script == Script::kNotFound) {
      result = kQuoteNotFound;
    } else if (script == Script::kFailed) {
      result = kQuoteFailed;
    } else if (script == Script::kHang) {
      result = hang(stop);
    } else if (script == Script::kUnreachable) {
      result = kQuoteLocalFailure;
    } else if (script == Script::kOutOfBudget && historyCallsOf(symbol) <= 5) {
      result = kQuoteRateLimited;
    } else if (script == Script::kStall) {
      for (int ms = 0; ms < 60 && !stop.load(); ms += 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      result = kQuoteLocalFailure;
    } else {
      // Give other threads a chance to overlap if the turn order were broken.
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      const int n = std::min(historyBars_.load(), capacity - 1);
      const double base = 50.0 + static_cast<double>(symbol.size()) * 7.0;
      for (int i = 1; i <= n; ++i) {
        QuoteBar& b = bars[i];
        b.Reset();
        const double close = base + 8.0 * std::sin(i / 9.0) + 0.03 * i;
        b.open = close - 0.4;
        b.high = close + 0.9;
        b.low = close - 1.1;
        b.close = close;
        b.volume = 100000 + 1000 * (i % 17);
        std::snprintf(b.date, sizeof b.date, "%d-Jan-05", 1 + i % 28);
        b.SetTime("00:00AM");
      }
      bars[0].CopyFrom(bars[1]);
      result = n + 1;
    }
    --historyInside_;
    return result;
  }

  int realTime(const std::string& symbol, const RealTimePlaces& places, const std::atomic<bool>& stop) {
    int call = 0;
    {
      std::lock_guard<std::mutex> hold(lock_);
      call = ++realTimeCalls_[symbol];
    }
    const Script script = scriptOf(symbol);
    if (script == Script::kNotFound) return kQuoteNotFound;
    if (script == Script::kFailed) return kQuoteFailed;
    if (script == Script::kHang) return hang(stop);
    if (script == Script::kUnreachable) return kQuoteLocalFailure;
    // The first quote of a symbol belongs to its history load.
    if (call > 1 && script == Script::kRealTimeProxy) return kQuoteProxyError;
    if (call > 1 && script == Script::kRealTimeFailed) return kQuoteFailed;
    if (call > 1 && script == Script::kRealTimeUnreachable) return kQuoteLocalFailure;
    if (call > 1 && call <= 4 && script == Script::kOutOfBudget) return kQuoteRateLimited;
    QuoteBar& b = *places.bar;
    const double close = 60.0 + 0.01 * call;
    b.close = close;
    b.open = close - 0.2;
    b.high = close + 0.3;
    b.low = close - 0.3;
    b.volume = 1000 * call;
    b.SetTime("3:59pm");
    // Both further numbers carry the close, so a reader can tell whether the
    // bar and the numbers it copied came from the same update.
    if (places.extra1 != nullptr) *places.extra1 = close;
    if (places.extra2 != nullptr) *places.extra2 = close;
    return 1;
  }

  std::mutex lock_;
  std::map<std::string, Script> scripts_;
  std::map<std::string, int> historyCalls_;
  std::map<std::string, int> realTimeCalls_;
  std::vector<std::string> historyOrder_;
  std::atomic<int> historyInside_{0};
  std::atomic<int> maxConcurrentHistory_{0};
  std::atomic<int> hanging_{0};
  std::atomic<int> historyBars_{kHistoryBars};
  std::string historyAddress_;
  std::string realTimeAddress_;
};

// A clock at a fixed moment that moves only by the pauses asked for; each
// pause costs at most `realCapMs` of real time (and ends at once on a stop).
class FakeClock : public LoaderClock {
 public:
  explicit FakeClock(std::time_t start = 1133895909, int realCapMs = 1)
      : now_(start), realCapMs_(realCapMs) {}
  std::time_t Now() override { return now_.load(); }
  void Sleep(std::chrono::milliseconds duration, StopEvent& stop) override {
    const std::int64_t ms = duration.count();
    {
      std::lock_guard<std::mutex> hold(lock_);
      sleeps_.push_back(ms);
    }
    now_ += static_cast<std::time_t>(ms / 1000);
    stop.WaitFor(std::chrono::milliseconds(std::min<std::int64_t>(ms, realCapMs_)));
  }
  std::vector<std::int64_t> sleeps() {
    std::lock_guard<std::mutex> hold(lock_);
    return sleeps_;
  }
  int countOf(std::int64_t ms) {
    const auto s = sleeps();
    return static_cast<int>(std::count(s.begin(), s.end(), ms));
  }

 private:
  std::atomic<std::time_t> now_;
  const int realCapMs_;
  std::mutex lock_;
  std::vector<std::int64_t> sleeps_;
};

class RecordingListener : public LoaderListener {
 public:
  void StatusText(int, const std::string& text) override {
    std::lock_guard<std::mutex> hold(lock_);
    texts_.push_back(text);
  }
  void SecurityUpdated(int index) override {
    std::lock_guard<std::mutex> hold(lock_);
    ++updates_[index];
  }
  void ThreadStartFailed(int) override { ++startFailures_; }
  bool AskCredentials(const CredentialRequest&, Credentials&, const std::atomic<bool>&) override {
    return false;
  }

  int updates(int index) {
    std::lock_guard<std::mutex> hold(lock_);
    return updates_[index];
  }
  bool sawText(const std::string& text) {
    std::lock_guard<std::mutex> hold(lock_);
    return std::find(texts_.begin(), texts_.end(), text) != texts_.end();
  }
  int countOf(const std::string& text) {
    std::lock_guard<std::mutex> hold(lock_);
    return static_cast<int>(std::count(texts_.begin(), texts_.end(), text));
  }

 private:
  std::mutex lock_;
  std::vector<std::string> texts_;
  std::map<int, int> updates_;
  std::atomic<int> startFailures_{0};
};

// Entries for `symbols`, in order, as the list loader would make them.
inline void FillStore(SecurityStore& store, const std::vector<std::string>& symbols) {
  store.Clear();
  for (const std::string& s : symbols) {
    SecurityData data;
    EXPECT_TRUE(InitSecurityEntry(data, s.c_str(), kRealTimeYahoo));
    EXPECT_TRUE(store.Append(data));
  }
}

// "S00", "S01", ... : `n` ordinary symbols.
inline std::vector<std::string> NumberedSymbols(int n) {
  std::vector<std::string> symbols;
  char text[16];
  for (int i = 0; i < n; ++i) {
    std::snprintf(text, sizeof text, "S%02d", i);
    symbols.push_back(text);
  }
  return symbols;
}

template <typename Predicate>
bool WaitUntil(Predicate done, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace velmora::test
