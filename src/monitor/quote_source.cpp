#include "monitor/quote_source.h"

#include "quotes/url_parts.h"

namespace velmora {

std::string QuoteServiceAddress(const SystemConfig& config, bool history) {
  const std::string* url = &config.YahooRealTimeQuoteSpreadSheetURL;
  if (history) {
    if (config.HistoryQuoteServer == kHistoryYahooSpreadSheet) {
      url = &config.YahooHistoryQuoteSpreadSheetURL;
    } else if (config.HistoryQuoteServer == kHistoryYahooHtml) {
      url = &config.YahooHistoryQuoteURL;
    } else {
      return {};
    }
  } else if (config.RealTimeQuoteServer != kRealTimeYahoo) {
    return {};
  }
  UrlParts parts;
  if (!SplitUrl(url->c_str(), parts)) return {};
  return parts.host + ":" + std::to_string(parts.port);
}

namespace {

class NetworkQuoteSource : public QuoteSource {
 public:
  NetworkQuoteSource(const SystemConfig& config, const std::atomic<bool>& stop, LoaderListener& listener)
      : config_(config) {
    session_.setMaxConnectionsPerHost(EffectiveMaxConnectionsPerHost(config));
    session_.setStopFlag(&stop);
    session_.setCredentialPrompt([&listener, &stop](const CredentialRequest& request, Credentials& out) {
      return !stop.load() && listener.AskCredentials(request, out, stop);
    });
  }

  bool ok() const { return session_.ok(); }

  int LoadHistory(const char* symbol, int startYear, int startMonth, int startDay, int endYear, int endMonth,
                  int endDay, int capacity, QuoteBar* bars) override {
    const long before = session_.answeredRequests();
    const int result = LoadHistoryQuote(symbol, 'd', startYear, startMonth, startDay, endYear, endMonth,
                                        endDay, session_, capacity, bars, config_);
    answered_ = session_.answeredRequests() > before;
    return result;
  }

  int LoadRealTime(const char* symbol, const RealTimePlaces& places) override {
    const long before = session_.answeredRequests();
    const int result = LoadRealTimeQuote(symbol, session_, places, config_);
    answered_ = session_.answeredRequests() > before;
    return result;
  }

  std::string ServiceAddress(bool history) const override { return QuoteServiceAddress(config_, history); }
  bool ServiceAnswered(int result) const override { return result != kQuoteLocalFailure || answered_; }

 private:
  const SystemConfig& config_;
  InternetSession session_;
  bool answered_ = false;
};

}  // namespace

std::unique_ptr<QuoteSource> NetworkQuoteSourceFactory::Create(const std::atomic<bool>& stop,
                                                               LoaderListener& listener) {
  auto source = std::make_unique<NetworkQuoteSource>(config_, stop, listener);
  if (!source->ok()) return nullptr;
  return source;
}

}  // namespace velmora
