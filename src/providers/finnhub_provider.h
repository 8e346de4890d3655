#pragma once

#include "providers/provider.h"

namespace velmora {

// Finnhub: the current quote of one US share (no volume), the key as the
// query's token; no history and no indices.
class FinnhubProvider final : public QuoteProvider {
 public:
  explicit FinnhubProvider(ProviderSettings settings);

  ProviderId id() const override { return ProviderId::kFinnhub; }
  ProviderAbilities abilities() const override;
  std::string MapSymbol(std::string_view symbol) const override;
  // Finnhub serves no history: an empty request, and any answer reads as
  // not found.
  ProviderRequest HistoryRequest(const std::string& mapped, ProviderDate from, ProviderDate to,
                                 ProviderPeriod period) const override;
  ProviderHistory ReadHistory(const ProviderAnswer& answer) const override;
  ProviderRequest QuoteRequest(const std::vector<std::string>& mapped) const override;
  ProviderQuotes ReadQuotes(const ProviderAnswer& answer) const override;

 private:
  ProviderSettings settings_;
};

}  // namespace velmora
