#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/quote_bar.h"
#include "net/internet_session.h"
#include "net/quote_result.h"
#include "providers/provider.h"
#include "providers/provider_hub.h"
#include "providers/rate_budget.h"
#include "quotes/quote_services.h"

namespace velmora {

// How a request finds its way through the providers of a plan: the
// candidates in order, each skipped while cooled, asked within its budget,
// transient failures tried again, and each outcome logged and acted on.
// ProviderHub is this over the real providers; tests give it their own.
class ProviderRouter {
 public:
  using Providers = std::array<std::shared_ptr<const QuoteProvider>, kProviderCount>;  // by ProviderId

  ProviderRouter(ProviderPlan plan, Providers providers, std::string statePath);
  ~ProviderRouter();
  ProviderRouter(const ProviderRouter&) = delete;
  ProviderRouter& operator=(const ProviderRouter&) = delete;

  const ProviderPlan& plan() const;
  RateBudget& budget();

  void setClock(std::function<std::int64_t()> nowSeconds, std::function<void(int ms)> sleep);

  // As ProviderHub::LoadHistory and ProviderHub::LoadQuote.
  [[nodiscard]] int LoadHistory(const char* symbol, char period, ProviderDate from, ProviderDate to,
                                const QuoteBar* known, int knownCount, InternetSession& session, int capacity,
                                QuoteBar* bars);
  [[nodiscard]] int LoadQuote(const char* symbol, InternetSession& session, const RealTimePlaces& places);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velmora
