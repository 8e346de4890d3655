#include "shell/data_source_box.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

#include "monitor/provider_access.h"
#include "providers/provider_plan.h"
#include "shell/provider_keyring.h"

namespace velmora {

namespace {

constexpr ProviderId kProviders[] = {ProviderId::kClassic, ProviderId::kYahooChart, ProviderId::kTiingo,
                                     ProviderId::kFinnhub};

ProviderId providerOf(const std::string& name) {
  ProviderId id = ProviderId::kClassic;
  if (!ParseProviderName(name, id)) return ProviderId::kClassic;  // as the loader reads it
  return id;
}

// The fallback setting's providers in order: names that read, Classic and
// repeats left out, as the loader takes them.
std::vector<ProviderId> fallbackOf(const std::string& text) {
  std::vector<ProviderId> ids;
  std::stringstream parts(text);
  std::string part;
  while (std::getline(parts, part, ',')) {
    ProviderId id = ProviderId::kClassic;
    if (!ParseProviderName(part, id) || id == ProviderId::kClassic) continue;
    if (std::find(ids.begin(), ids.end(), id) == ids.end()) ids.push_back(id);
  }
  return ids;
}

ProviderId idOf(const QComboBox* box) { return static_cast<ProviderId>(box->currentData().toInt()); }

QString yesNo(bool on) { return on ? QStringLiteral("Yes") : QStringLiteral("No"); }

}  // namespace

ProviderAbilities AbilitiesOf(ProviderId id) {
  if (const std::unique_ptr<QuoteProvider> provider = MakeQuoteProvider(id, {})) return provider->abilities();
  // The classic services: the history download and page in every period
  // with adjusted closes, one quote request per symbol, indices, no key.
  ProviderAbilities classic;
  classic.daily = classic.weekly = classic.monthly = true;
  classic.adjusted = true;
  classic.singleQuote = true;
  classic.indices = true;
  return classic;
}

DataSourceBox::DataSourceBox(const SystemConfig& config, ProviderKeyring& keyring, QWidget* parent)
    : QGroupBox(QStringLiteral("Data source"), parent), opened_(config), keyring_(keyring) {
  auto* grid = new QGridLayout(this);
  int row = 0;
  auto addRow = [&](const char* label, QWidget* field) {
    grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0, Qt::AlignTop);
    grid->addWidget(field, row, 1);
    ++row;
  };
  addRow("History Provider:", history_ = providerCombo(true, config.HistoryProvider));
  addRow("Quote Provider:", quotes_ = providerCombo(false, config.QuoteProvider));
  historyOpened_ = history_->currentIndex();
  quotesOpened_ = quotes_->currentIndex();
  addRow("Fallback Providers:", fallbackPart(config.FallbackProviders));
  for (KeyField& f : keys_) {
    const char* label = f.id == ProviderId::kTiingo ? "Tiingo Key:" : "Finnhub Key:";
    addRow(label, keyPart(f.id, label, this));
  }
  keyringNote_ = new QLabel(QString::fromLatin1(kNoKeyringNote), this);
  keyringNote_->setWordWrap(true);
  keyringNote_->hide();
  grid->addWidget(keyringNote_, row++, 0, 1, 2);
  grid->addWidget(abilitiesPart(), row++, 0, 1, 2);
  grid->setRowStretch(row, 1);

  connect(history_, &QComboBox::currentIndexChanged, this, &DataSourceBox::loadKeysWhenUsed);
  connect(quotes_, &QComboBox::currentIndexChanged, this, &DataSourceBox::loadKeysWhenUsed);
  connect(fallback_, &QListWidget::itemChanged, this, &DataSourceBox::loadKeysWhenUsed);
  loadKeysWhenUsed();
  showKeyringState();
}

QComboBox* DataSourceBox::providerCombo(bool history, const std::string& configured) {
  auto* box = new QComboBox(this);
  for (ProviderId id : kProviders) {
    const ProviderAbilities can = AbilitiesOf(id);
    if (history ? can.history() : can.quotes())
      box->addItem(QString::fromLatin1(ProviderName(id)), static_cast<int>(id));
  }
  // A provider that cannot serve this shows as Classic, which is what the
  // loader falls back to; the file keeps its text unless the user picks.
  const int index = box->findData(static_cast<int>(providerOf(configured)));
  box->setCurrentIndex(std::max(index, 0));
  return box;
}

QWidget* DataSourceBox::fallbackPart(const std::string& configured) {
  auto* part = new QWidget(this);
  auto* layout = new QHBoxLayout(part);
  layout->setContentsMargins(0, 0, 0, 0);
  fallback_ = new QListWidget(part);
  // The configured providers first, in their order and checked, then the
  // others unchecked.
  std::vector<ProviderId> order = fallbackOf(configured);
  const std::size_t checked = order.size();
  for (ProviderId id : kProviders)
    if (id != ProviderId::kClassic && std::find(order.begin(), order.end(), id) == order.end())
      order.push_back(id);
  for (std::size_t i = 0; i < order.size(); ++i) {
    auto* item = new QListWidgetItem(QString::fromLatin1(ProviderName(order[i])), fallback_);
    item->setData(Qt::UserRole, static_cast<int>(order[i]));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(i < checked ? Qt::Checked : Qt::Unchecked);
  }
  fallback_->setCurrentRow(0);
  fallback_->setFixedHeight(fallback_->sizeHintForRow(0) * fallback_->count() + 2 * fallback_->frameWidth());
  fallbackOpened_ = fallbackText();

  auto* buttons = new QVBoxLayout;
  up_ = new QPushButton(QStringLiteral("Up"), part);
  down_ = new QPushButton(QStringLiteral("Down"), part);
  for (QPushButton* b : {up_, down_}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  buttons->addStretch();
  connect(up_, &QPushButton::clicked, this, &DataSourceBox::moveUp);
  connect(down_, &QPushButton::clicked, this, &DataSourceBox::moveDown);
  layout->addWidget(fallback_, 1);
  layout->addLayout(buttons);
  return part;
}

QWidget* DataSourceBox::keyPart(ProviderId id, const char* label, QWidget* into) {
  KeyField& f = keys_[slot(id)];
  auto* part = new QWidget(into);
  auto* layout = new QVBoxLayout(part);
  layout->setContentsMargins(0, 0, 0, 0);
  f.box = new QLineEdit(part);
  f.box->setEchoMode(QLineEdit::Password);
  f.box->setAccessibleName(QString::fromLatin1(label));
  f.note = new QLabel(part);
  layout->addWidget(f.box);
  layout->addWidget(f.note);
  f.note->hide();
  // The variable's key is never copied into the window: the field only
  // says where it comes from.
  const char* variable = ProviderKeyVariable(id);
  f.fromEnvironment = !KeyOf(ProviderKeysFromEnvironment(), id).empty();
  if (f.fromEnvironment) {
    f.box->setReadOnly(true);
    f.box->setPlaceholderText(QStringLiteral("from %1").arg(QString::fromLatin1(variable)));
    f.note->setText(QStringLiteral("The key comes from %1, which wins over the keyring.")
                        .arg(QString::fromLatin1(variable)));
    f.note->show();
  }
  return part;
}

QTableWidget* DataSourceBox::abilitiesPart() {
  static const char* const kColumns[] = {"Daily",        "Weekly",      "Monthly", "Adjusted",
                                         "Single Quote", "Batch Quote", "Indices", "Key Needed"};
  constexpr int kColumnCount = static_cast<int>(std::size(kColumns));
  abilities_ = new QTableWidget(kProviderCount, kColumnCount, this);
  QStringList columns;
  for (const char* c : kColumns) columns << QString::fromLatin1(c);
  abilities_->setHorizontalHeaderLabels(columns);
  QStringList rows;
  for (ProviderId id : kProviders) {
    const int r = static_cast<int>(id);
    rows << QString::fromLatin1(ProviderName(id));
    const ProviderAbilities can = AbilitiesOf(id);
    const bool cells[kColumnCount] = {can.daily,       can.weekly,     can.monthly, can.adjusted,
                                      can.singleQuote, can.batchQuote, can.indices, can.needsKey};
    for (int c = 0; c < kColumnCount; ++c) {
      auto* item = new QTableWidgetItem(yesNo(cells[c]));
      item->setTextAlignment(Qt::AlignCenter);
      item->setFlags(Qt::ItemIsEnabled);
      abilities_->setItem(r, c, item);
    }
  }
  abilities_->setVerticalHeaderLabels(rows);
  abilities_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  abilities_->setSelectionMode(QAbstractItemView::NoSelection);
  abilities_->setFocusPolicy(Qt::NoFocus);
  abilities_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  abilities_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  abilities_->resizeColumnsToContents();
  abilities_->setFixedHeight(abilities_->horizontalHeader()->sizeHint().height() +
                             abilities_->verticalHeader()->length() + 2 * abilities_->frameWidth());
  abilities_->setMinimumWidth(abilities_->verticalHeader()->sizeHint().width() +
                              abilities_->horizontalHeader()->length() + 2 * abilities_->frameWidth());
  return abilities_;
}

std::string DataSourceBox::fallbackText() const {
  std::string text;
  for (int i = 0; i < fallback_->count(); ++i) {
    const QListWidgetItem* item = fallback_->item(i);
    if (item->checkState() != Qt::Checked) continue;
    if (!text.empty()) text += ',';
    text += ProviderName(static_cast<ProviderId>(item->data(Qt::UserRole).toInt()));
  }
  return text;
}

SystemConfig DataSourceBox::chosen() const {
  SystemConfig config = opened_;
  (void)storeChoices(config);
  return config;
}

bool DataSourceBox::storeChoices(SystemConfig& config) const {
  bool changed = false;
  auto store = [&changed](const QComboBox* box, int opened, std::string& field) {
    if (box->currentIndex() == opened) return;
    field = ProviderName(idOf(box));
    changed = true;
  };
  store(history_, historyOpened_, config.HistoryProvider);
  store(quotes_, quotesOpened_, config.QuoteProvider);
  const std::string fallback = fallbackText();
  if (fallback != fallbackOpened_) {
    config.FallbackProviders = fallback;
    changed = true;
  }
  return changed;
}

void DataSourceBox::moveUp() { moveCurrent(-1); }
void DataSourceBox::moveDown() { moveCurrent(1); }

void DataSourceBox::moveCurrent(int by) {
  const int row = fallback_->currentRow();
  const int target = row + by;
  if (row < 0 || target < 0 || target >= fallback_->count()) return;
  QListWidgetItem* item = fallback_->takeItem(row);
  fallback_->insertItem(target, item);
  fallback_->setCurrentRow(target);
}

void DataSourceBox::loadKeysWhenUsed() {
  if (keysLoaded_ || KeyedProvidersInUse(chosen()).empty()) return;
  keysLoaded_ = true;
  for (KeyField& f : keys_) {
    if (f.fromEnvironment) continue;
    const std::string key = keyring_.read(f.id);
    if (!f.box->isModified()) f.box->setText(QString::fromStdString(key));
  }
  showKeyringState();
}

void DataSourceBox::showKeyringState() {
  if (keyring_.available()) return;
  keyringNote_->show();
  for (KeyField& f : keys_)
    if (!f.fromEnvironment) f.box->setEnabled(false);
}

bool DataSourceBox::storeKeys() {
  const ProviderKeys before = CurrentProviderKeys();
  const std::vector<ProviderId> inUse = KeyedProvidersInUse(chosen());
  ProviderKeys handed;
  for (KeyField& f : keys_) {
    if (f.fromEnvironment) continue;  // the variable wins; the keyring keeps its entry
    std::string& key = KeyOf(handed, f.id);
    if (f.box->isEnabled() && f.box->isModified()) {
      key = f.box->text().trimmed().toStdString();
      // A keyring that cannot keep it (logged): the key still serves this run.
      (void)keyring_.write(f.id, key);
    } else if (keyring_.known(f.id) || std::find(inUse.begin(), inUse.end(), f.id) != inUse.end()) {
      key = keyring_.read(f.id);
    }
  }
  SetProviderKeys(handed);
  const ProviderKeys after = CurrentProviderKeys();
  return after.tiingo != before.tiingo || after.finnhub != before.finnhub;
}

}  // namespace velmora
