#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/system_config.h"
#include "core/quote_bar.h"
#include "net/internet_session.h"
#include "providers/provider.h"
#include "quotes/quote_services.h"

namespace velmora {

// The keys of the providers that need one. They come from the environment
// (VELMORA_TIINGO_KEY, VELMORA_FINNHUB_KEY) or the desktop keyring and are
// never written to Config.ini, a report or the log.
struct ProviderKeys {
  std::string tiingo;
  std::string finnhub;
};
ProviderKeys ProviderKeysFromEnvironment();

// Which providers serve history and quotes, which take over when they
// cannot, and each provider's settings.
struct ProviderPlan {
  ProviderId history = ProviderId::kClassic;
  ProviderId quotes = ProviderId::kClassic;
  std::vector<ProviderId> fallback;                       // in order; Classic and repeats left out
  std::array<ProviderSettings, kProviderCount> settings;  // by ProviderId

  bool usesProviders() const { return history != ProviderId::kClassic || quotes != ProviderId::kClassic; }
};

// The plan of a configuration: unknown provider names read as Classic (and
// are logged once by the caller through PlanProblems).
ProviderPlan PlanFromConfig(const SystemConfig& config, const ProviderKeys& keys);
// One text per setting that does not read ("HistoryProvider=Foo is no
// provider"), for the log.
std::vector<std::string> PlanProblems(const SystemConfig& config);

// The state file beside Config.ini that keeps the providers' request counts
// across restarts.
inline constexpr const char* kProviderStateFileName = "Providers.state";

// The providers of one process, shared by every loader thread and chart:
// the rate budgets, the cooling of providers that are out of budget,
// blocked or refusing the key, the fallback order, bounded retries of
// transient failures, and history that only asks for what is new.
class ProviderHub {
 public:
  // `statePath` empty: the counts live in memory only.
  ProviderHub(ProviderPlan plan, std::string statePath);
  ~ProviderHub();
  ProviderHub(const ProviderHub&) = delete;
  ProviderHub& operator=(const ProviderHub&) = delete;

  const ProviderPlan& plan() const;

  // Tests move time and take out the pauses.
  void setClockForTests(std::function<std::int64_t()> nowSeconds, std::function<void(int ms)> sleep);

  // Like LoadHistoryQuote: bars of [from, to] newest first into
  // bars[1..capacity-1], bars[0] a copy of the newest; the next free slot,
  // or a negative result code (quote_result.h). `known` holds the bars of
  // the security's local history file, newest first (knownCount may be 0):
  // only the bars after its newest date are asked for, with a few days of
  // overlap that must agree with the file; when they do not (a split), the
  // whole range is loaded again.
  [[nodiscard]] int LoadHistory(const char* symbol, char period, ProviderDate from, ProviderDate to,
                                const QuoteBar* known, int knownCount, InternetSession& session, int capacity,
                                QuoteBar* bars);

  // Like LoadRealTimeQuote: the current bar of `symbol` into the places.
  [[nodiscard]] int LoadQuote(const char* symbol, InternetSession& session, const RealTimePlaces& places);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velmora
