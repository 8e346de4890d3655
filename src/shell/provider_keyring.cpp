#include "shell/provider_keyring.h"

#include <qt6keychain/keychain.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QEventLoop>
#include <QTimer>
#include <functional>

#include "base/log.h"
#include "monitor/provider_access.h"
#include "providers/provider_plan.h"

namespace velmora {

namespace {

constexpr const char* kKeyringService = "Velmora";

// The bus names of the keyrings QtKeychain talks to on Linux: the Secret
// Service (GNOME Keyring, KeePassXC, ...) and KDE's wallet.
constexpr const char* kKeyringBusNames[] = {"org.freedesktop.secrets", "org.kde.kwalletd6",
                                            "org.kde.kwalletd5", "org.kde.kwalletd"};

KeyStore::Result resultOf(QKeychain::Error error) {
  switch (error) {
    case QKeychain::NoError:
      return KeyStore::Result::kOk;
    case QKeychain::EntryNotFound:
      return KeyStore::Result::kNotFound;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
    case QKeychain::OtherError:
      // Without a session bus or a secret service the library answers
      // OtherError at once: as good as no service.
      return KeyStore::Result::kNoService;
    default:
      return KeyStore::Result::kFailed;
  }
}

class DesktopKeyStore final : public KeyStore {
 public:
  explicit DesktopKeyStore(int timeoutMs) : timeoutMs_(timeoutMs) {}

  Result read(const std::string& name, std::string& value) override {
    auto* job = new QKeychain::ReadPasswordJob(QString::fromLatin1(kKeyringService));
    QString text;
    const Result result = run(job, name, [&text](QKeychain::Job* done) {
      text = static_cast<QKeychain::ReadPasswordJob*>(done)->textData();
    });
    value = result == Result::kOk ? text.toStdString() : std::string();
    return result;
  }

  Result write(const std::string& name, const std::string& value) override {
    auto* job = new QKeychain::WritePasswordJob(QString::fromLatin1(kKeyringService));
    job->setTextData(QString::fromStdString(value));
    return run(job, name, {});
  }

  Result remove(const std::string& name) override {
    auto* job = new QKeychain::DeletePasswordJob(QString::fromLatin1(kKeyringService));
    const Result result = run(job, name, {});
    return result == Result::kNotFound ? Result::kOk : result;
  }

  bool serviceRuns() override {
    // A connection of its own, made afresh: the process's shared session
    // connection would keep the bus it first found.
    const QString connection = QStringLiteral("velmora-keyring-probe");
    bool runs = false;
    {
      const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
      const QDBusConnection bus = address.isEmpty()
                                      ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, connection)
                                      : QDBusConnection::connectToBus(address, connection);
      if (bus.isConnected()) runs = offered(bus, "ListNames") || offered(bus, "ListActivatableNames");
    }
    QDBusConnection::disconnectFromBus(connection);
    return runs;
  }

 private:
  // Starts `job` and waits for it in a local event loop, at most
  // timeoutMs_. The job deletes itself when it finishes, also after the
  // wait gave up on it; the connections die with the loop.
  Result run(QKeychain::Job* job, const std::string& name, const std::function<void(QKeychain::Job*)>& take) {
    job->setAutoDelete(true);
    // Never a plain file beside the settings in place of a keyring.
    job->setInsecureFallback(false);
    job->setKey(QString::fromStdString(name));
    QEventLoop loop;
    bool finished = false;
    Result result = Result::kNoService;  // no answer in time
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
      finished = true;
      result = resultOf(done->error());
      if (result == Result::kOk && take) take(done);
      loop.quit();
    });
    QTimer::singleShot(timeoutMs_, &loop, &QEventLoop::quit);
    job->start();
    if (!finished) loop.exec();
    return result;
  }

  // Whether the bus's answer to `method` (a list of names) holds a keyring;
  // no answer in time counts as none.
  bool offered(const QDBusConnection& bus, const char* method) const {
    const QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
    const QDBusMessage answer = bus.call(ask, QDBus::Block, timeoutMs_);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) return false;
    const QStringList names = answer.arguments().first().toStringList();
    for (const char* name : kKeyringBusNames)
      if (names.contains(QString::fromLatin1(name))) return true;
    return false;
  }

  int timeoutMs_;
};

std::unique_ptr<ProviderKeyring>& processKeyring() {
  static std::unique_ptr<ProviderKeyring> keyring;
  return keyring;
}

}  // namespace

KeyStore::Result MemoryKeyStore::read(const std::string& name, std::string& value) {
  ++requests;
  const auto it = entries.find(name);
  value = it == entries.end() ? std::string() : it->second;
  return it == entries.end() ? Result::kNotFound : Result::kOk;
}

KeyStore::Result MemoryKeyStore::write(const std::string& name, const std::string& value) {
  ++requests;
  entries[name] = value;
  return Result::kOk;
}

KeyStore::Result MemoryKeyStore::remove(const std::string& name) {
  ++requests;
  entries.erase(name);
  return Result::kOk;
}

std::unique_ptr<KeyStore> MakeDesktopKeyStore(int timeoutMs) {
  return std::make_unique<DesktopKeyStore>(timeoutMs);
}

bool TakesKey(ProviderId id) { return ProviderKeyVariable(id) != nullptr; }

const char* KeyringEntryName(ProviderId id) { return id == ProviderId::kTiingo ? "tiingo" : "finnhub"; }

std::string& KeyOf(ProviderKeys& keys, ProviderId id) {
  return id == ProviderId::kTiingo ? keys.tiingo : keys.finnhub;
}

const std::string& KeyOf(const ProviderKeys& keys, ProviderId id) {
  return id == ProviderId::kTiingo ? keys.tiingo : keys.finnhub;
}

ProviderKeyring::ProviderKeyring(std::unique_ptr<KeyStore> store) : store_(std::move(store)) {}

bool ProviderKeyring::answered(KeyStore::Result result, const char* what, ProviderId id) {
  switch (result) {
    case KeyStore::Result::kOk:
    case KeyStore::Result::kNotFound:
      told_ = true;
      return true;
    case KeyStore::Result::kNoService:
      available_ = false;
      LogMessage(kNoKeyringNote);
      return false;
    case KeyStore::Result::kFailed:
      break;
  }
  LogFormat("The keyring could not %s the %s key.", what, KeyringEntryName(id));
  return false;
}

std::string ProviderKeyring::read(ProviderId id) {
  if (!TakesKey(id)) return {};
  Entry& e = entry(id);
  if (e.known || !available_) return e.key;
  std::string key;
  if (answered(store_->read(KeyringEntryName(id), key), "read", id)) {
    e.known = true;
    e.key = key;
  }
  return e.key;
}

bool ProviderKeyring::write(ProviderId id, const std::string& key) {
  if (!TakesKey(id)) return false;
  Entry& e = entry(id);
  if (e.known && !e.unsaved && e.key == key) return true;
  bool kept = false;
  if (available_) {
    const char* name = KeyringEntryName(id);
    const KeyStore::Result result = key.empty() ? store_->remove(name) : store_->write(name, key);
    kept = answered(result, key.empty() ? "remove" : "store", id);
  }
  // What the user typed last is this run's key, kept or not: a later read
  // (the next Save of System Parameters) must not lose it.
  e.known = true;
  e.key = key;
  e.unsaved = !kept;
  return kept;
}

void ProviderKeyring::learnAvailability() {
  if (told_ || !available_) return;
  told_ = true;
  if (store_->serviceRuns()) return;
  available_ = false;
  LogMessage(kNoKeyringNote);
}

ProviderKeyring& ProcessKeyring() {
  std::unique_ptr<ProviderKeyring>& keyring = processKeyring();
  if (!keyring) keyring = std::make_unique<ProviderKeyring>(MakeDesktopKeyStore());
  return *keyring;
}

void ResetProcessKeyring(std::unique_ptr<KeyStore> store) {
  processKeyring() = store ? std::make_unique<ProviderKeyring>(std::move(store)) : nullptr;
}

std::vector<ProviderId> KeyedProvidersInUse(const SystemConfig& config) {
  // The plan leaves out a keyed fallback it has no key for: with stand-in
  // keys it names every provider the configuration lists.
  ProviderKeys standIn;
  standIn.tiingo = standIn.finnhub = "?";
  const ProviderPlan plan = PlanFromConfig(config, standIn);
  std::vector<ProviderId> keyed;
  if (!plan.usesProviders()) return keyed;
  auto used = [&plan](ProviderId id) {
    if (plan.history == id || plan.quotes == id) return true;
    for (ProviderId f : plan.fallback)
      if (f == id) return true;
    return false;
  };
  for (ProviderId id : {ProviderId::kTiingo, ProviderId::kFinnhub})
    if (used(id) && TakesKey(id)) keyed.push_back(id);
  return keyed;
}

void LoadProviderKeysAtStart(const SystemConfig& config) {
  const ProviderKeys fromEnvironment = ProviderKeysFromEnvironment();
  ProviderKeys keys;
  bool read = false;
  for (ProviderId id : KeyedProvidersInUse(config)) {
    if (!KeyOf(fromEnvironment, id).empty()) continue;
    KeyOf(keys, id) = ProcessKeyring().read(id);
    read = true;
  }
  if (read) SetProviderKeys(keys);
}

}  // namespace velmora
