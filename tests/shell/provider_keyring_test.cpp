#include "shell/provider_keyring.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "alert_session_bus.h"
#include "monitor/provider_access.h"
#include "shell/velmora_app.h"
#include "support/log_lines.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::LogCountOf;
using test::ScopedVariable;

// A keyring whose service never answers, counting the requests.
class AbsentKeyStore final : public KeyStore {
 public:
  explicit AbsentKeyStore(int* requests) : requests_(requests) {}
  Result read(const std::string&, std::string& value) override {
    value.clear();
    return answer();
  }
  Result write(const std::string&, const std::string&) override { return answer(); }
  Result remove(const std::string&) override { return answer(); }

 private:
  Result answer() {
    ++*requests_;
    return Result::kNoService;
  }
  int* requests_;
};

// No key from the environment unless a test sets one; the process's keys
// and keyring are put back afterwards.
class ProviderKeyringTest : public test::InTempDir, public ::testing::Test {
 protected:
  ~ProviderKeyringTest() override {
    SetProviderKeys({});
    ResetProcessKeyring(nullptr);
    ResetProviderHub();
  }
  // The process keyring over a store holding both keys.
  static MemoryKeyStore* useMemoryKeyring() {
    auto owned = std::make_unique<MemoryKeyStore>();
    MemoryKeyStore* store = owned.get();
    store->entries = {{"tiingo", "tiingo-123"}, {"finnhub", "finn-456"}};
    ResetProcessKeyring(std::move(owned));
    return store;
  }
  ScopedVariable noTiingo_{"VELMORA_TIINGO_KEY", ""};
  ScopedVariable noFinnhub_{"VELMORA_FINNHUB_KEY", ""};
};

TEST_F(ProviderKeyringTest, KeysGoRoundThroughTheStore) {
  auto owned = std::make_unique<MemoryKeyStore>();
  MemoryKeyStore* store = owned.get();
  ProviderKeyring keyring(std::move(owned));
  EXPECT_EQ(keyring.read(ProviderId::kTiingo), "");
  EXPECT_TRUE(keyring.write(ProviderId::kTiingo, "tiingo-123"));
  EXPECT_TRUE(keyring.write(ProviderId::kFinnhub, "finn-456"));
  EXPECT_EQ(store->entries["tiingo"], "tiingo-123");
  EXPECT_EQ(store->entries["finnhub"], "finn-456");

  // The same key again is no request; an entry is read once a run.
  const int before = store->requests;
  EXPECT_TRUE(keyring.write(ProviderId::kTiingo, "tiingo-123"));
  EXPECT_EQ(keyring.read(ProviderId::kTiingo), "tiingo-123");
  EXPECT_EQ(store->requests, before);

  // The next run finds them.
  auto again = std::make_unique<MemoryKeyStore>();
  again->entries = store->entries;
  ProviderKeyring next(std::move(again));
  EXPECT_EQ(next.read(ProviderId::kFinnhub), "finn-456");

  // An emptied key removes its entry; providers without keys have none.
  EXPECT_TRUE(keyring.write(ProviderId::kFinnhub, ""));
  EXPECT_EQ(store->entries.count("finnhub"), 0u);
  EXPECT_FALSE(keyring.write(ProviderId::kYahooChart, "x"));
  EXPECT_EQ(keyring.read(ProviderId::kClassic), "");
}

TEST_F(ProviderKeyringTest, WithoutAServiceItSaysSoOnceAndStopsAsking) {
  int requests = 0;
  ProviderKeyring keyring(std::make_unique<AbsentKeyStore>(&requests));
  EXPECT_EQ(keyring.read(ProviderId::kTiingo), "");
  EXPECT_FALSE(keyring.available());
  EXPECT_EQ(keyring.read(ProviderId::kFinnhub), "");
  EXPECT_FALSE(keyring.write(ProviderId::kTiingo, "tiingo-123"));
  EXPECT_EQ(requests, 1);
  EXPECT_EQ(LogCountOf(kNoKeyringNote), 1);
  // What the user typed serves the rest of the run.
  EXPECT_EQ(keyring.read(ProviderId::kTiingo), "tiingo-123");
  EXPECT_EQ(keyring.unsavedKeys(), 1);
}

TEST_F(ProviderKeyringTest, TheDesktopKeyringWithoutAServiceIsNoService) {
  // No session bus to find a secret service on.
  ScopedVariable noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/velmora-bus");
  const std::unique_ptr<KeyStore> store = MakeDesktopKeyStore();
  std::string key = "left over";
  EXPECT_EQ(store->read("tiingo", key), KeyStore::Result::kNoService);
  EXPECT_EQ(key, "");
  EXPECT_EQ(store->write("tiingo", "tiingo-123"), KeyStore::Result::kNoService);

  ResetProcessKeyring(nullptr);
  EXPECT_EQ(ProcessKeyring().read(ProviderId::kTiingo), "");
  EXPECT_FALSE(ProcessKeyring().available());
  EXPECT_EQ(LogCountOf(kNoKeyringNote), 1);
}

// Whether a keyring runs is learnt from the session bus, without an entry
// asked for: a bus without a keyring, then one with the Secret Service (no
// bus at all: tests/shell/data_source_box_test).
TEST_F(ProviderKeyringTest, TheDesktopKeyringLearnsFromTheSessionBusWhetherAServiceRuns) {
  const test::PrivateSessionBus bus;
  if (bus.address().empty()) GTEST_SKIP() << "no dbus-daemon";
  QDBusConnection owner = bus.connect(QStringLiteral("keyring-owner"));
  for (const bool secrets : {false, true}) {
    if (secrets) {
      ASSERT_TRUE(owner.registerService(QStringLiteral("org.freedesktop.secrets")));
    }
    const ScopedVariable onBus("DBUS_SESSION_BUS_ADDRESS", bus.address());
    EXPECT_EQ(MakeDesktopKeyStore()->serviceRuns(), secrets);
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("keyring-owner"));
}

TEST_F(ProviderKeyringTest, StartUpReadsOnlyTheKeysTheConfigurationNeeds) {
  MemoryKeyStore* store = useMemoryKeyring();

  // Classic services, even with a keyed fallback: the keyring is not touched.
  SystemConfig config;
  SetConfigDefaults(config);
  config.FallbackProviders = "Tiingo";
  LoadProviderKeysAtStart(config);
  EXPECT_EQ(store->requests, 0);
  EXPECT_EQ(CurrentProviderKeys().tiingo, "");

  // Yahoo's chart needs no key; its Tiingo fallback does.
  config.QuoteProvider = "YahooChart";
  LoadProviderKeysAtStart(config);
  EXPECT_EQ(store->requests, 1);
  EXPECT_EQ(CurrentProviderKeys().tiingo, "tiingo-123");
  EXPECT_EQ(CurrentProviderKeys().finnhub, "");

  config.FallbackProviders = "";
  config.HistoryProvider = "tiingo";
  config.QuoteProvider = "Finnhub";
  LoadProviderKeysAtStart(config);
  EXPECT_EQ(CurrentProviderKeys().tiingo, "tiingo-123");
  EXPECT_EQ(CurrentProviderKeys().finnhub, "finn-456");
  EXPECT_EQ(store->requests, 2);  // Tiingo's was read once

  // A key in the environment is not looked up, and wins.
  store = useMemoryKeyring();
  ScopedVariable fromEnvironment("VELMORA_TIINGO_KEY", "env-tiingo");
  config.QuoteProvider = "Tiingo";
  LoadProviderKeysAtStart(config);
  EXPECT_EQ(store->requests, 0);
  EXPECT_EQ(CurrentProviderKeys().tiingo, "env-tiingo");
}

TEST_F(ProviderKeyringTest, TheDesktopProgramHasItsKeysBeforeTheLoaderStarts) {
  MemoryKeyStore* store = useMemoryKeyring();
  test::WriteFile("Config.ini", "StartRealTimeQuoteLoader=No\rQuoteProvider=Tiingo\r");
  {
    AppEnvironment environment;
    environment.openWebPage = [](const std::string&) {};
    environment.webPagePauseMs = 0;
    CVelmoraApp app(environment);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(CurrentProviderKeys().tiingo, "tiingo-123");
    EXPECT_EQ(CurrentProviderKeys().finnhub, "");  // not used: not read
    EXPECT_EQ(store->requests, 1);
  }
  SetConfigDefaults(systemConfig());
  EXPECT_EQ(test::ReadFile(LogFileName()).find("tiingo-123"), std::string::npos);
}

}  // namespace
}  // namespace velmora
