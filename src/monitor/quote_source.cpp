#include "monitor/quote_source.h"

namespace velmora {

namespace {

class NetworkQuoteSource : public QuoteSource {
 public:
  NetworkQuoteSource(const SystemConfig& config, const std::atomic<bool>& stop, LoaderListener& listener)
      : config_(config) {
    session_.setStopFlag(&stop);
    session_.setCredentialPrompt([&listener, &stop](const CredentialRequest& request, Credentials& out) {
      return !stop.load() && listener.AskCredentials(request, out, stop);
    });
  }

  bool ok() const { return session_.ok(); }

  int LoadHistory(const char* symbol, int startYear, int startMonth, int startDay, int endYear, int endMonth,
                  int endDay, int capacity, QuoteBar* bars) override {
    return LoadHistoryQuote(symbol, 'd', startYear, startMonth, startDay, endYear, endMonth, endDay, session_,
                            capacity, bars, config_);
  }

  int LoadRealTime(const char* symbol, const RealTimePlaces& places) override {
    return LoadRealTimeQuote(symbol, session_, places, config_);
  }

 private:
  const SystemConfig& config_;
  InternetSession session_;
};

}  // namespace

std::unique_ptr<QuoteSource> NetworkQuoteSourceFactory::Create(const std::atomic<bool>& stop,
                                                               LoaderListener& listener) {
  auto source = std::make_unique<NetworkQuoteSource>(config_, stop, listener);
  if (!source->ok()) return nullptr;
  return source;
}

}  // namespace velmora
