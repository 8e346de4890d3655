#pragma once

#include "providers/provider.h"

namespace velmora {

// Yahoo's chart service: daily, weekly and monthly bars with the adjusted
// close, the current quote in the chart's meta, indices and foreign
// markets; no key, but a browser's User-Agent.
class YahooChartProvider final : public QuoteProvider {
 public:
  explicit YahooChartProvider(ProviderSettings settings);

  ProviderId id() const override { return ProviderId::kYahooChart; }
  ProviderAbilities abilities() const override;
  std::string MapSymbol(std::string_view symbol) const override;
  ProviderRequest HistoryRequest(const std::string& mapped, ProviderDate from, ProviderDate to,
                                 ProviderPeriod period) const override;
  ProviderHistory ReadHistory(const ProviderAnswer& answer) const override;
  ProviderRequest QuoteRequest(const std::vector<std::string>& mapped) const override;
  ProviderQuotes ReadQuotes(const ProviderAnswer& answer) const override;

 private:
  ProviderSettings settings_;
};

}  // namespace velmora
