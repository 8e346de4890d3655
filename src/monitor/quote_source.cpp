#include "monitor/quote_source.h"

#include <cstring>
#include <vector>

#include "monitor/provider_access.h"
#include "monitor/symbol_check.h"
#include "net/url_parts.h"
#include "quotes/local_history_reader.h"

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

// The symbol a market-data provider is asked for: the query symbol, but
// the indices under their common names where the classic real-time service
// has its own codes for them.
const char* providerSymbol(const char* querySymbol) {
  if (std::strcmp(querySymbol, "COMPX") == 0) return "^IXIC";
  if (std::strcmp(querySymbol, "INDU") == 0) return "^DJI";
  if (std::strcmp(querySymbol, "SPX") == 0) return "^GSPC";
  return querySymbol;
}

class NetworkQuoteSource : public QuoteSource {
 public:
  NetworkQuoteSource(const SystemConfig& config, std::shared_ptr<ProviderHub> providers,
                     const std::atomic<bool>& stop, LoaderListener& listener)
      : config_(config), providers_(std::move(providers)) {
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
    int result;
    const std::shared_ptr<ProviderHub> providers = providersFor(true);
    if (providers != nullptr) {
      const int known = readLocalHistory();
      result = providers->LoadHistory(providerSymbol(symbol), 'd', {startYear, startMonth, startDay},
                                      {endYear, endMonth, endDay}, known > 0 ? known_.data() : nullptr, known,
                                      session_, capacity, bars);
    } else {
      result = LoadHistoryQuote(symbol, 'd', startYear, startMonth, startDay, endYear, endMonth, endDay,
                                session_, capacity, bars, config_);
    }
    answered_ = session_.answeredRequests() > before;
    return result;
  }

  int LoadRealTime(const char* symbol, const RealTimePlaces& places) override {
    const long before = session_.answeredRequests();
    const std::shared_ptr<ProviderHub> providers = providersFor(false);
    const int result = providers != nullptr ? providers->LoadQuote(providerSymbol(symbol), session_, places)
                                            : LoadRealTimeQuote(symbol, session_, places, config_);
    answered_ = session_.answeredRequests() > before;
    return result;
  }

  void ForSecurity(const char* displaySymbol) override { localName_ = displaySymbol; }
  void setProcessProviders(bool on) { processProviders_ = on; }

  std::string ServiceAddress(bool history) const override {
    const std::shared_ptr<ProviderHub> providers = providersFor(history);
    if (providers == nullptr) return QuoteServiceAddress(config_, history);
    const ProviderPlan& plan = providers->plan();
    const ProviderId id = history ? plan.history : plan.quotes;
    UrlParts parts;
    if (!SplitUrl(plan.settings[static_cast<std::size_t>(id)].baseUrl.c_str(), parts)) return {};
    return parts.host + ":" + std::to_string(parts.port);
  }
  bool ServiceAnswered(int result) const override { return result != kQuoteLocalFailure || answered_; }

 private:
  // The providers that serve history (or quotes); null where the classic
  // service does.
  std::shared_ptr<ProviderHub> providersFor(bool history) const {
    std::shared_ptr<ProviderHub> providers = processProviders_ ? ProcessProviderHub() : providers_;
    if (providers == nullptr) return nullptr;
    const ProviderId id = history ? providers->plan().history : providers->plan().quotes;
    return id == ProviderId::kClassic ? nullptr : providers;
  }

  // The bars of the security's local history file, newest first, so the
  // providers are asked only for what is newer; 0 when there is none.
  int readLocalHistory() {
    if (localName_.empty() || !IsFileSafeSymbol(localName_.c_str())) return 0;
    if (known_.empty()) known_.resize(kHistoryCapacity);
    for (QuoteBar& bar : known_) bar.Reset();
    const std::string path = localName_ + ".csv";
    const int last = ReadLocalHistoryFile(path.c_str(), kHistoryCapacity, known_.data());
    return last < 0 ? 0 : last + 1;
  }

  const SystemConfig& config_;
  std::shared_ptr<ProviderHub> providers_;
  bool processProviders_ = false;  // the process's current providers serve each request
  InternetSession session_;
  bool answered_ = false;
  std::string localName_;
  std::vector<QuoteBar> known_;
};

}  // namespace

std::unique_ptr<QuoteSource> NetworkQuoteSourceFactory::Create(const std::atomic<bool>& stop,
                                                               LoaderListener& listener) {
  // A source for the program's own settings asks for the process's
  // providers at each request, so a change of them takes effect at once;
  // one for other settings has the given providers or the classic services.
  std::shared_ptr<ProviderHub> providers = providers_;
  const bool processProviders = providers == nullptr && &config_ == &systemConfig();
  auto source =
      std::make_unique<NetworkQuoteSource>(config_, processProviders ? nullptr : providers, stop, listener);
  source->setProcessProviders(processProviders);
  if (!source->ok()) return nullptr;
  return source;
}

}  // namespace velmora
