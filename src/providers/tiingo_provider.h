#pragma once

#include "providers/provider.h"

namespace velmora {

// Tiingo: daily, weekly and monthly bars of US shares as CSV with the
// adjusted close, and current quotes of many tickers in one request; a key
// in the Authorization header; no indices.
class TiingoProvider final : public QuoteProvider {
 public:
  explicit TiingoProvider(ProviderSettings settings);

  ProviderId id() const override { return ProviderId::kTiingo; }
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
