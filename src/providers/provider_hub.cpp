#include "providers/provider_hub.h"

#include "base/log.h"
#include "providers/provider_plan.h"
#include "providers/provider_router.h"

namespace velmora {

namespace {

ProviderRouter::Providers makeProviders(const ProviderPlan& plan) {
  ProviderRouter::Providers providers;
  for (int p = 0; p < kProviderCount; ++p) {
    const auto id = static_cast<ProviderId>(p);
    if (id != ProviderId::kClassic) providers[p] = MakeQuoteProvider(id, plan.settings[p]);
  }
  return providers;
}

}  // namespace

struct ProviderHub::State {
  State(ProviderPlan plan, std::string statePath) : router(plan, makeProviders(plan), std::move(statePath)) {}
  ProviderRouter router;
};

ProviderHub::ProviderHub(ProviderPlan plan, std::string statePath) {
  // Keys come from the environment or the keyring, so only now is it known
  // whether a chosen provider has its key.
  for (const std::string& problem : PlanKeyProblems(plan)) LogMessage(problem);
  state_ = std::make_unique<State>(std::move(plan), std::move(statePath));
}

ProviderHub::~ProviderHub() = default;

const ProviderPlan& ProviderHub::plan() const { return state_->router.plan(); }

void ProviderHub::setClockForTests(std::function<std::int64_t()> nowSeconds,
                                   std::function<void(int ms)> sleep) {
  state_->router.setClock(std::move(nowSeconds), std::move(sleep));
}

int ProviderHub::LoadHistory(const char* symbol, char period, ProviderDate from, ProviderDate to,
                             const QuoteBar* known, int knownCount, InternetSession& session, int capacity,
                             QuoteBar* bars) {
  return state_->router.LoadHistory(symbol, period, from, to, known, knownCount, session, capacity, bars);
}

int ProviderHub::LoadQuote(const char* symbol, InternetSession& session, const RealTimePlaces& places) {
  return state_->router.LoadQuote(symbol, session, places);
}

}  // namespace velmora
