#pragma once

#include <QGroupBox>
#include <string>

#include "base/system_config.h"
#include "providers/provider.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;

namespace velmora {

class ProviderKeyring;

// What each provider can serve; the classic services where no provider
// object stands for them.
ProviderAbilities AbilitiesOf(ProviderId id);

// The "Data source" part of System Parameters: the history and quote
// providers, the fallback order, the Tiingo and Finnhub keys and a table of
// what each provider can serve. The base URLs and Yahoo's user agent stay
// settings of the file alone.
//
// Keys are shown masked and kept in the keyring, never in Config.ini. A key
// set in the environment wins: its field stays empty and read-only with a
// note. The keyring is read when the box opens only if the configuration
// uses a provider that takes a key, else once the user picks one; when it
// has no service the key fields are disabled and a note says so.
class DataSourceBox : public QGroupBox {
  Q_OBJECT
 public:
  DataSourceBox(const SystemConfig& config, ProviderKeyring& keyring, QWidget* parent = nullptr);

  QComboBox* historyProviderBox() const { return history_; }
  QComboBox* quoteProviderBox() const { return quotes_; }
  // One checkable row per provider besides Classic, in fallback order.
  QListWidget* fallbackList() const { return fallback_; }
  QPushButton* upButton() const { return up_; }
  QPushButton* downButton() const { return down_; }
  QLineEdit* keyBox(ProviderId id) const { return keys_[slot(id)].box; }
  QLabel* keyNote(ProviderId id) const { return keys_[slot(id)].note; }
  QLabel* keyringNote() const { return keyringNote_; }
  QTableWidget* abilitiesTable() const { return abilities_; }

  // FallbackProviders as the list stands: the checked providers in order.
  std::string fallbackText() const;

  // The choices into `config`, each only where it differs from what the box
  // opened with (so a name the file spells its own way stays as written).
  // True when any changed.
  bool storeChoices(SystemConfig& config) const;
  // The typed keys into the keyring and the keys of this run into
  // SetProviderKeys. True when the keys in use changed.
  bool storeKeys();

 public slots:
  void moveUp();
  void moveDown();

 private:
  struct KeyField {
    ProviderId id;
    QLineEdit* box = nullptr;
    QLabel* note = nullptr;
    bool fromEnvironment = false;
  };
  static int slot(ProviderId id) { return id == ProviderId::kTiingo ? 0 : 1; }

  QComboBox* providerCombo(bool history, const std::string& configured);
  QWidget* fallbackPart(const std::string& configured);
  QWidget* keyPart(ProviderId id, const char* label, QWidget* into);
  QTableWidget* abilitiesPart();
  void moveCurrent(int by);
  // The configuration as the box's choices stand.
  SystemConfig chosen() const;
  // Reads the stored keys once the choices use a provider that takes one.
  void loadKeysWhenUsed();
  void showKeyringState();

  SystemConfig opened_;
  // What the choices showed when the box opened.
  int historyOpened_ = 0;
  int quotesOpened_ = 0;
  std::string fallbackOpened_;
  ProviderKeyring& keyring_;
  bool keysLoaded_ = false;
  QComboBox* history_ = nullptr;
  QComboBox* quotes_ = nullptr;
  QListWidget* fallback_ = nullptr;
  QPushButton* up_ = nullptr;
  QPushButton* down_ = nullptr;
  KeyField keys_[2] = {{ProviderId::kTiingo}, {ProviderId::kFinnhub}};
  QLabel* keyringNote_ = nullptr;
  QTableWidget* abilities_ = nullptr;
};

}  // namespace velmora
