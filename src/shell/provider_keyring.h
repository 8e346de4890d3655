#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/system_config.h"
#include "providers/provider.h"
#include "providers/provider_hub.h"

namespace velmora {

// Where the providers' keys are kept between runs: the desktop keyring, or
// an in-memory store in tests. Entries are named "tiingo" and "finnhub".
class KeyStore {
 public:
  enum class Result {
    kOk,
    kNotFound,   // no entry of that name
    kNoService,  // no keyring service answers (none runs, or it did not answer in time)
    kFailed,     // the service refused (access denied, could not delete)
  };
  virtual ~KeyStore() = default;
  [[nodiscard]] virtual Result read(const std::string& name, std::string& value) = 0;
  [[nodiscard]] virtual Result write(const std::string& name, const std::string& value) = 0;
  [[nodiscard]] virtual Result remove(const std::string& name) = 0;
  // Whether a keyring service is there to ask, learnt without reading or
  // writing an entry (so no keyring asks the user to unlock it).
  [[nodiscard]] virtual bool serviceRuns() { return true; }
};

// Keys held in memory for the life of the store, in place of the desktop
// keyring (tests put one behind the process keyring). `requests` counts the
// calls, so a caller can tell the keyring was left alone.
class MemoryKeyStore final : public KeyStore {
 public:
  Result read(const std::string& name, std::string& value) override;
  Result write(const std::string& name, const std::string& value) override;
  Result remove(const std::string& name) override;

  std::map<std::string, std::string> entries;
  int requests = 0;
};

// The desktop keyring (QtKeychain, service "Velmora"). Each call waits for
// its answer at most `timeoutMs` in a local event loop, so start-up never
// hangs on a keyring that does not answer; that counts as no service.
// serviceRuns asks the session bus (DBUS_SESSION_BUS_ADDRESS as it is at the
// call) for a Secret Service or KWallet, running or started on demand.
inline constexpr int kKeyringTimeoutMs = 2000;
std::unique_ptr<KeyStore> MakeDesktopKeyStore(int timeoutMs = kKeyringTimeoutMs);

inline constexpr const char* kNoKeyringNote =
    "No keyring service is running: keys are read from VELMORA_TIINGO_KEY and VELMORA_FINNHUB_KEY only.";
inline constexpr const char* kKeysKeptForThisRunNote =
    "The keyring could not keep the keys: they are used until the program exits.";

// The providers that take a key (those with a variable for it: Tiingo and
// Finnhub) and their keyring entries.
bool TakesKey(ProviderId id);
const char* KeyringEntryName(ProviderId id);  // "tiingo", "finnhub"
std::string& KeyOf(ProviderKeys& keys, ProviderId id);
const std::string& KeyOf(const ProviderKeys& keys, ProviderId id);

// The keys of one process in the keyring. Each entry is read once; once
// the keyring turns out to have no service, it is not asked again, the log
// says so once, and only the environment's keys and those typed in this run
// count: a key the keyring could not keep is kept in memory until the
// program exits. User-interface thread only.
class ProviderKeyring {
 public:
  explicit ProviderKeyring(std::unique_ptr<KeyStore> store);

  // The stored key of `id` ("" when there is none or no service runs).
  std::string read(ProviderId id);
  // Stores `key` for `id` when it differs from the stored one; an empty key
  // removes the entry. False when the keyring could not keep it (logged,
  // without the key); the key then still serves this run.
  [[nodiscard]] bool write(ProviderId id, const std::string& key);
  // False once the keyring was found to have no service.
  bool available() const { return available_; }
  // Asks the store whether it has a service, unless an answer already told
  // (once a run): the System Parameters dialog knows before it shows the
  // key fields.
  void learnAvailability();
  // How many keys of this run the keyring could not keep.
  int unsavedKeys() const { return (entries_[0].unsaved ? 1 : 0) + (entries_[1].unsaved ? 1 : 0); }
  // True once the key of `id` was read or written in this run.
  bool known(ProviderId id) const { return entries_[id == ProviderId::kTiingo ? 0 : 1].known; }

 private:
  struct Entry {
    bool known = false;    // read or written in this run
    bool unsaved = false;  // written, but the keyring could not keep it
    std::string key;
  };
  // True when the store answered; logs a failure.
  bool answered(KeyStore::Result result, const char* what, ProviderId id);
  Entry& entry(ProviderId id) { return entries_[id == ProviderId::kTiingo ? 0 : 1]; }

  std::unique_ptr<KeyStore> store_;
  bool available_ = true;
  bool told_ = false;  // the store answered, or was asked whether it runs
  Entry entries_[2];
};

// The keyring of this process: the desktop's unless a test gave a store.
ProviderKeyring& ProcessKeyring();
// Replaces the process keyring with a fresh one over `store` (null: the
// desktop keyring again), forgetting what was read.
void ResetProcessKeyring(std::unique_ptr<KeyStore> store);

// The providers `config` uses (for history, quotes or as a fallback while
// it uses any provider) that need a key.
std::vector<ProviderId> KeyedProvidersInUse(const SystemConfig& config);

// At start-up, before the loader threads: the keyring's keys of the
// providers `config` uses that need a key the environment does not give,
// handed to SetProviderKeys. A configuration of classic services (or of
// providers without keys) never touches the keyring.
void LoadProviderKeysAtStart(const SystemConfig& config);

}  // namespace velmora
