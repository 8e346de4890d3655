#include "monitor/provider_access.h"

#include <mutex>
#include <string>

#include "base/log.h"

namespace velmora {

namespace {

struct Access {
  std::mutex mutex;
  ProviderKeys keyringKeys;
  std::shared_ptr<ProviderHub> hub;
  bool made = false;
};

Access& access() {
  static Access a;
  return a;
}

ProviderKeys mergedKeys(const ProviderKeys& keyring) {
  ProviderKeys keys = ProviderKeysFromEnvironment();
  if (keys.tiingo.empty()) keys.tiingo = keyring.tiingo;
  if (keys.finnhub.empty()) keys.finnhub = keyring.finnhub;
  return keys;
}

}  // namespace

std::shared_ptr<ProviderHub> ProcessProviderHub() {
  Access& a = access();
  std::lock_guard<std::mutex> lock(a.mutex);
  if (!a.made) {
    a.made = true;
    const SystemConfig& config = systemConfig();
    for (const std::string& problem : PlanProblems(config)) LogMessage(problem);
    ProviderPlan plan = PlanFromConfig(config, mergedKeys(a.keyringKeys));
    if (plan.usesProviders()) a.hub = std::make_shared<ProviderHub>(std::move(plan), kProviderStateFileName);
  }
  return a.hub;
}

void SetProviderKeys(const ProviderKeys& keys) {
  // From here on no log line shows them, whoever writes it.
  AddLogSecret(keys.tiingo);
  AddLogSecret(keys.finnhub);
  Access& a = access();
  std::lock_guard<std::mutex> lock(a.mutex);
  a.keyringKeys = keys;
}

ProviderKeys CurrentProviderKeys() {
  Access& a = access();
  std::lock_guard<std::mutex> lock(a.mutex);
  return mergedKeys(a.keyringKeys);
}

void ApplyProviderChoices(SystemConfig& config, const SystemConfig& chosen) {
  Access& a = access();
  std::lock_guard<std::mutex> lock(a.mutex);
  config.HistoryProvider = chosen.HistoryProvider;
  config.QuoteProvider = chosen.QuoteProvider;
  config.FallbackProviders = chosen.FallbackProviders;
  a.hub.reset();
  a.made = false;
}

void ResetProviderHub() {
  Access& a = access();
  std::lock_guard<std::mutex> lock(a.mutex);
  a.hub.reset();
  a.made = false;
}

}  // namespace velmora
