#pragma once

#include <memory>

#include "providers/provider_hub.h"

namespace velmora {

// The market-data providers of this process, shared by every loader thread
// and chart: made on first use from systemConfig() and the keys, with the
// request counts kept in kProviderStateFileName in the current folder
// (beside Config.ini). Null while the configuration names the classic
// services for both history and quotes.
std::shared_ptr<ProviderHub> ProcessProviderHub();

// Keys the desktop program found in the keyring; a key set in the
// environment (VELMORA_TIINGO_KEY, VELMORA_FINNHUB_KEY) wins over these.
// Every key given here or read from the environment is masked in the log.
void SetProviderKeys(const ProviderKeys& keys);
// The keys in use: the environment's, else those set above.
ProviderKeys CurrentProviderKeys();

// After the settings or keys changed: the next ProcessProviderHub() makes a
// new hub; users holding the old one finish with it.
void ResetProviderHub();

// Replaces the provider choices of `config` (HistoryProvider, QuoteProvider,
// FallbackProviders) with those of `chosen`, under the lock a loader thread
// holds while it makes the hub from them, and resets the hub.
void ApplyProviderChoices(SystemConfig& config, const SystemConfig& chosen);

}  // namespace velmora
