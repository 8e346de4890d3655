#include "shell/data_source_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <string>

#include "monitor/provider_access.h"
#include "shell/provider_keyring.h"
#include "shell/system_parameters_dialog.h"
#include "support/log_lines.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::LogCountOf;
using test::ReadFile;
using test::ScopedVariable;

constexpr const char* kTiingoKey = "tiingo-8f3a61c2";
constexpr const char* kFinnhubKey = "finn-77b0d9e4";

// Each test in a folder of its own (the log lands there) with a Config.ini
// of the usual lines, an in-memory keyring holding both keys behind the
// dialog, and no key in the environment unless the test sets one.
class DataSourceBoxTest : public test::InTempDir, public ::testing::Test {
 protected:
  DataSourceBoxTest() {
    SetConfigDefaults(config);
    config.Editor = "vi";
    auto owned = std::make_unique<MemoryKeyStore>();
    store = owned.get();
    store->entries = {{"tiingo", kTiingoKey}, {"finnhub", kFinnhubKey}};
    ResetProcessKeyring(std::move(owned));
    SetProviderKeys({});
    test::WriteFile(path(), FormatConfig(config));
  }
  ~DataSourceBoxTest() override {
    SetProviderKeys({});
    ResetProcessKeyring(nullptr);
    ResetProviderHub();
  }
  std::string path() const { return folder_.file("Config.ini"); }
  static QPushButton* button(QWidget& w, const QString& text) {
    for (QPushButton* b : w.findChildren<QPushButton*>())
      if (b->text() == text) return b;
    return nullptr;
  }
  static QStringList items(const QComboBox* box) {
    QStringList texts;
    for (int i = 0; i < box->count(); ++i) texts << box->itemText(i);
    return texts;
  }
  static QStringList rows(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
      texts << list->item(i)->text() + (list->item(i)->checkState() == Qt::Checked ? "+" : "-");
    return texts;
  }
  static void pick(QComboBox* box, const QString& text) {
    box->setFocus();
    box->setCurrentIndex(box->findText(text));
  }
  // Every file of the folder, for a text that must not be in any.
  bool folderHolds(const std::string& text) const {
    for (const QString& name : QDir(QString::fromStdString(folder_.path())).entryList(QDir::Files))
      if (ReadFile(folder_.file(name.toStdString())).find(text) != std::string::npos) return true;
    return false;
  }

  ScopedVariable noTiingo_{"VELMORA_TIINGO_KEY", ""};
  ScopedVariable noFinnhub_{"VELMORA_FINNHUB_KEY", ""};
  SystemConfig config;
  MemoryKeyStore* store = nullptr;
};

TEST_F(DataSourceBoxTest, ShowsTheConfiguredProvidersAndStoredKeys) {
  config.HistoryProvider = "yahoochart";  // any letter case reads
  config.QuoteProvider = "Finnhub";
  config.FallbackProviders = "Tiingo, YahooChart,Tiingo,Nowhere";
  CSystemParametersDialog dialog(config, nullptr, path());
  DataSourceBox& box = *dialog.dataSource();
  dialog.show();
  EXPECT_EQ(box.title(), "Data source");
  EXPECT_EQ(items(box.historyProviderBox()), QStringList({"Classic", "YahooChart", "Tiingo"}));
  EXPECT_EQ(items(box.quoteProviderBox()), QStringList({"Classic", "YahooChart", "Tiingo", "Finnhub"}));
  EXPECT_EQ(box.historyProviderBox()->currentText(), "YahooChart");
  EXPECT_EQ(box.quoteProviderBox()->currentText(), "Finnhub");
  EXPECT_EQ(rows(box.fallbackList()), QStringList({"Tiingo+", "YahooChart+", "Finnhub-"}));
  EXPECT_EQ(box.fallbackText(), "Tiingo,YahooChart");

  // Providers that take keys are in use: the keyring was read, the keys
  // are shown masked.
  for (ProviderId id : {ProviderId::kTiingo, ProviderId::kFinnhub}) {
    EXPECT_EQ(box.keyBox(id)->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(box.keyBox(id)->isEnabled());
    EXPECT_FALSE(box.keyNote(id)->isVisible());
  }
  EXPECT_EQ(box.keyBox(ProviderId::kTiingo)->text(), kTiingoKey);
  EXPECT_EQ(box.keyBox(ProviderId::kFinnhub)->text(), kFinnhubKey);
  EXPECT_FALSE(box.keyringNote()->isVisible());
}

TEST_F(DataSourceBoxTest, TheTableShowsWhatEachProviderCanServe) {
  CSystemParametersDialog dialog(config, nullptr, path());
  const QTableWidget* table = dialog.dataSource()->abilitiesTable();
  ASSERT_EQ(table->rowCount(), kProviderCount);
  ASSERT_EQ(table->columnCount(), 8);
  QStringList columns;
  for (int c = 0; c < table->columnCount(); ++c) columns << table->horizontalHeaderItem(c)->text();
  EXPECT_EQ(columns, QStringList({"Daily", "Weekly", "Monthly", "Adjusted", "Single Quote", "Batch Quote",
                                  "Indices", "Key Needed"}));
  for (int r = 0; r < kProviderCount; ++r) {
    const auto id = static_cast<ProviderId>(r);
    const ProviderAbilities can = AbilitiesOf(id);
    EXPECT_EQ(table->verticalHeaderItem(r)->text(), ProviderName(id));
    const bool cells[] = {can.daily,       can.weekly,     can.monthly, can.adjusted,
                          can.singleQuote, can.batchQuote, can.indices, can.needsKey};
    for (int c = 0; c < 8; ++c)
      EXPECT_EQ(table->item(r, c)->text(), cells[c] ? "Yes" : "No") << r << "," << c;
  }
  // What a user of the classic services and of the keyed providers reads.
  EXPECT_EQ(table->item(0, 0)->text(), "Yes");  // Classic: daily history
  EXPECT_EQ(table->item(0, 7)->text(), "No");   // and no key
  EXPECT_EQ(table->item(2, 7)->text(), "Yes");  // Tiingo needs a key
  EXPECT_EQ(table->item(3, 7)->text(), "Yes");  // so does Finnhub
  EXPECT_EQ(table->item(3, 0)->text(), "No");   // which has no daily history here
  EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(DataSourceBoxTest, UpAndDownOrderTheFallbacks) {
  CSystemParametersDialog dialog(config, nullptr, path());
  DataSourceBox& box = *dialog.dataSource();
  dialog.show();
  QListWidget* list = box.fallbackList();
  EXPECT_EQ(rows(list), QStringList({"YahooChart-", "Tiingo-", "Finnhub-"}));
  EXPECT_EQ(box.fallbackText(), "");

  list->setCurrentRow(2);
  QTest::mouseClick(box.upButton(), Qt::LeftButton);
  QTest::mouseClick(box.upButton(), Qt::LeftButton);
  QTest::mouseClick(box.upButton(), Qt::LeftButton);  // at the top already: stays
  EXPECT_EQ(rows(list), QStringList({"Finnhub-", "YahooChart-", "Tiingo-"}));
  EXPECT_EQ(list->currentRow(), 0);
  list->item(0)->setCheckState(Qt::Checked);
  list->setCurrentRow(1);
  QTest::mouseClick(box.downButton(), Qt::LeftButton);
  QTest::mouseClick(box.downButton(), Qt::LeftButton);  // at the bottom: stays
  EXPECT_EQ(rows(list), QStringList({"Finnhub+", "Tiingo-", "YahooChart-"}));
  list->item(2)->setCheckState(Qt::Checked);
  EXPECT_EQ(box.fallbackText(), "Finnhub,YahooChart");

  button(dialog, "Save")->click();
  EXPECT_EQ(config.FallbackProviders, "Finnhub,YahooChart");
  EXPECT_NE(ReadFile(path()).find("\r\nFallbackProviders=Finnhub,YahooChart\r\n"), std::string::npos);
}

TEST_F(DataSourceBoxTest, SaveWritesChangedChoicesAndKeepsKeysOutOfFiles) {
  // Unchanged choices add nothing to the file and touch no keyring.
  {
    CSystemParametersDialog dialog(config, nullptr, path());
    dialog.show();
    button(dialog, "Save")->click();
  }
  const std::string untouched = ReadFile(path());
  EXPECT_EQ(untouched, FormatConfig(config));
  EXPECT_EQ(untouched.find("Provider"), std::string::npos);
  EXPECT_EQ(store->requests, 0);

  CSystemParametersDialog dialog(config, nullptr, path());
  DataSourceBox& box = *dialog.dataSource();
  dialog.show();
  pick(box.quoteProviderBox(), "Tiingo");
  // Picking a keyed provider reads the stored keys into the fields.
  EXPECT_EQ(box.keyBox(ProviderId::kTiingo)->text(), kTiingoKey);
  QLineEdit* tiingo = box.keyBox(ProviderId::kTiingo);
  tiingo->selectAll();
  QTest::keyClicks(tiingo, " tiingo-new-0042 ");
  QLineEdit* finnhub = box.keyBox(ProviderId::kFinnhub);
  finnhub->selectAll();
  QTest::keyClick(finnhub, Qt::Key_Delete);
  button(dialog, "Save")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  EXPECT_EQ(config.QuoteProvider, "Tiingo");
  EXPECT_EQ(config.HistoryProvider, "Classic");
  const std::string text = ReadFile(path());
  EXPECT_NE(text.find("\r\nQuoteProvider=Tiingo\r\n"), std::string::npos);
  EXPECT_EQ(text.find("HistoryProvider="), std::string::npos);
  EXPECT_EQ(text.find("FallbackProviders="), std::string::npos);
  EXPECT_EQ(text.find("TiingoURL="), std::string::npos);
  // The keys went to the keyring (blanks trimmed; an emptied one removed)
  // and into this run's providers, and nowhere into the folder.
  EXPECT_EQ(store->entries["tiingo"], "tiingo-new-0042");
  EXPECT_EQ(store->entries.count("finnhub"), 0u);
  EXPECT_EQ(CurrentProviderKeys().tiingo, "tiingo-new-0042");
  EXPECT_EQ(CurrentProviderKeys().finnhub, "");
  EXPECT_FALSE(folderHolds("tiingo-new-0042"));
  EXPECT_FALSE(folderHolds(kTiingoKey));
  EXPECT_FALSE(folderHolds(kFinnhubKey));
}

TEST_F(DataSourceBoxTest, ANameTheFileSpellsItsOwnWayStaysUntilChanged) {
  test::WriteFile(path(), "QuoteProvider= tiingo\r\nHistoryProvider=Nowhere\r\n");
  ASSERT_TRUE(ReadConfig(config, path()));
  CSystemParametersDialog dialog(config, nullptr, path());
  DataSourceBox& box = *dialog.dataSource();
  dialog.show();
  EXPECT_EQ(box.quoteProviderBox()->currentText(), "Tiingo");
  EXPECT_EQ(box.historyProviderBox()->currentText(), "Classic");  // as the loader reads it
  button(dialog, "Save")->click();
  const std::string text = ReadFile(path());
  EXPECT_EQ(text.rfind("QuoteProvider= tiingo\r\nHistoryProvider=Nowhere\r\n", 0), 0u) << text;
}

TEST_F(DataSourceBoxTest, CancelStoresNoChoiceAndNoKey) {
  const std::string before = ReadFile(path());
  CSystemParametersDialog dialog(config, nullptr, path());
  DataSourceBox& box = *dialog.dataSource();
  dialog.show();
  pick(box.historyProviderBox(), "Tiingo");
  box.keyBox(ProviderId::kTiingo)->selectAll();
  QTest::keyClicks(box.keyBox(ProviderId::kTiingo), "typed-then-cancelled");
  button(dialog, "Cancel")->click();
  EXPECT_EQ(config.HistoryProvider, "Classic");
  EXPECT_EQ(store->entries["tiingo"], kTiingoKey);
  EXPECT_EQ(CurrentProviderKeys().tiingo, "");
  EXPECT_EQ(ReadFile(path()), before);
}

TEST_F(DataSourceBoxTest, AKeyFromTheEnvironmentWins) {
  ScopedVariable fromEnvironment("VELMORA_TIINGO_KEY", "env-tiingo-5150");
  config.HistoryProvider = "Tiingo";
  config.QuoteProvider = "Finnhub";
  CSystemParametersDialog dialog(config, nullptr, path());
  DataSourceBox& box = *dialog.dataSource();
  dialog.show();
  QLineEdit* tiingo = box.keyBox(ProviderId::kTiingo);
  EXPECT_TRUE(tiingo->isReadOnly());
  EXPECT_EQ(tiingo->text(), "");  // the variable's key is not copied into the window
  EXPECT_TRUE(tiingo->placeholderText().contains("VELMORA_TIINGO_KEY"));
  EXPECT_TRUE(box.keyNote(ProviderId::kTiingo)->isVisible());
  EXPECT_TRUE(box.keyNote(ProviderId::kTiingo)->text().contains("VELMORA_TIINGO_KEY"));
  EXPECT_FALSE(box.keyBox(ProviderId::kFinnhub)->isReadOnly());
  EXPECT_EQ(box.keyBox(ProviderId::kFinnhub)->text(), kFinnhubKey);

  QTest::keyClicks(tiingo, "typed");
  button(dialog, "Save")->click();
  EXPECT_EQ(store->entries["tiingo"], kTiingoKey);  // the keyring keeps its own
  EXPECT_EQ(CurrentProviderKeys().tiingo, "env-tiingo-5150");
  EXPECT_EQ(CurrentProviderKeys().finnhub, kFinnhubKey);
  EXPECT_FALSE(folderHolds("env-tiingo-5150"));
}

TEST_F(DataSourceBoxTest, WithoutAKeyringServiceTheNoteShowsAndKeysComeFromTheEnvironment) {
  // The real desktop keyring, with no session bus to find it on.
  ScopedVariable noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/velmora-bus");
  ScopedVariable fromEnvironment("VELMORA_FINNHUB_KEY", "env-finn-31");
  ResetProcessKeyring(nullptr);

  // Classic services: the first opening already knows, so no key can be
  // typed only to be dropped at Save.
  CSystemParametersDialog dialog(config, nullptr, path());
  DataSourceBox& box = *dialog.dataSource();
  dialog.show();
  EXPECT_TRUE(box.keyringNote()->isVisible());
  EXPECT_FALSE(box.keyBox(ProviderId::kTiingo)->isEnabled());
  pick(box.quoteProviderBox(), "Tiingo");
  EXPECT_TRUE(box.keyringNote()->isVisible());
  EXPECT_EQ(box.keyringNote()->text(),
            "No keyring service is running: keys are read from VELMORA_TIINGO_KEY and VELMORA_FINNHUB_KEY "
            "only.");
  EXPECT_FALSE(box.keyBox(ProviderId::kTiingo)->isEnabled());
  EXPECT_TRUE(box.keyBox(ProviderId::kFinnhub)->isEnabled());  // shows where its key comes from
  button(dialog, "Save")->click();
  EXPECT_EQ(CurrentProviderKeys().finnhub, "env-finn-31");
  EXPECT_EQ(CurrentProviderKeys().tiingo, "");

  // The next opening shows the note at once; the log said it once.
  CSystemParametersDialog again(config, nullptr, path());
  again.show();
  EXPECT_TRUE(again.dataSource()->keyringNote()->isVisible());
  EXPECT_EQ(LogCountOf(kNoKeyringNote), 1);
}

}  // namespace
}  // namespace velmora
