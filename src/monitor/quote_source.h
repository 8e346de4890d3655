#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "base/system_config.h"
#include "core/quote_bar.h"
#include "monitor/loader_listener.h"
#include "net/quote_result.h"
#include "providers/provider_hub.h"
#include "quotes/quote_services.h"

namespace velmora {

// Where one loader thread gets its quotes: the two quote-service requests
// over the thread's own internet session. Results are those of
// LoadHistoryQuote and LoadRealTimeQuote.
class QuoteSource {
 public:
  virtual ~QuoteSource() = default;
  [[nodiscard]] virtual int LoadHistory(const char* symbol, int startYear, int startMonth, int startDay,
                                        int endYear, int endMonth, int endDay, int capacity,
                                        QuoteBar* bars) = 0;
  [[nodiscard]] virtual int LoadRealTime(const char* symbol, const RealTimePlaces& places) = 0;
  // "host:port" of the service the history (or real-time) requests go to,
  // for messages; empty when unknown.
  virtual std::string ServiceAddress(bool history) const {
    (void)history;
    return {};
  }
  // The security the next requests are for, by the name of its local files
  // (the list's symbol); a source that loads only what is new reads them.
  virtual void ForSecurity(const char* displaySymbol) { (void)displaySymbol; }
  // Whether the last request, which ended with `result`, had any answer
  // from the service: a local failure may also be a page cut short.
  virtual bool ServiceAnswered(int result) const { return result != kQuoteLocalFailure; }
};

// "host:port" of the configured history service (the one HistoryQuoteServer
// names) or of the real-time quote service; empty when that service makes
// no request or its URL can not be split.
std::string QuoteServiceAddress(const SystemConfig& config, bool history);

// Makes the quote source of a starting loader thread. Tests replace it with
// scripted answers.
class QuoteSourceFactory {
 public:
  virtual ~QuoteSourceFactory() = default;
  // A source whose transfers abort soon after `stop` turns true and whose
  // credential prompts go to `listener`; null when no session can be made.
  virtual std::unique_ptr<QuoteSource> Create(const std::atomic<bool>& stop, LoaderListener& listener) = 0;
};

// The quote services of the configuration, over an InternetSession: the
// market-data providers of `providers` where the configuration names them
// (null: those of the process for systemConfig(), else the classic
// services only).
class NetworkQuoteSourceFactory : public QuoteSourceFactory {
 public:
  explicit NetworkQuoteSourceFactory(const SystemConfig& config, std::shared_ptr<ProviderHub> providers = {})
      : config_(config), providers_(std::move(providers)) {}
  std::unique_ptr<QuoteSource> Create(const std::atomic<bool>& stop, LoaderListener& listener) override;

 private:
  const SystemConfig& config_;
  std::shared_ptr<ProviderHub> providers_;
};

}  // namespace velmora
