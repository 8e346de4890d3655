#include "shell/system_parameters_dialog.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "monitor/provider_access.h"
#include "shell/data_source_box.h"
#include "shell/provider_keyring.h"
#include "shell/velmora_app.h"
#include "support/qt/qt_test_environment.h"
#include "support/qt/scoped_locale.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::AnsweredBox;
using test::AnswerNextMessageBox;
using test::FileExists;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// An in-memory keyring stands behind the dialog (tests/shell/data_source_box_test
// drives the desktop's).
class SystemParametersDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetConfigDefaults(config);
    config.Editor = "vi";
    WriteFile(path(), "original\r\n");
    ResetProcessKeyring(std::make_unique<MemoryKeyStore>());
  }
  void TearDown() override {
    ResetProcessKeyring(nullptr);
    SetProviderKeys({});
  }
  std::string path() const { return folder.file("Config.ini"); }
  QPushButton* button(CSystemParametersDialog& d, const QString& text) {
    for (QPushButton* b : d.findChildren<QPushButton*>())
      if (b->text() == text) return b;
    return nullptr;
  }
  void type(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClicks(box, text);
  }
  TempFolder folder;
  SystemConfig config;
};

TEST_F(SystemParametersDialogTest, OpensFilledWithTheFocusInScreenWidth) {
  config.ThresholdToEMA10 = 20.0;
  config.ShowBS = 0;
  CSystemParametersDialog dialog(config, nullptr, path());
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  EXPECT_EQ(dialog.windowTitle(), "System Parameters");
  EXPECT_EQ(dialog.thresholdBox()->text(), "20");
  EXPECT_EQ(dialog.threadCountBox()->text(), "1");
  EXPECT_EQ(dialog.editorBox()->text(), "vi");
  EXPECT_EQ(dialog.choice(3)->checkedId(), 0);
  EXPECT_EQ(dialog.choice(1)->checkedId(), 1);
  EXPECT_EQ(QApplication::focusWidget(), dialog.screenWidthBox());
  EXPECT_EQ(dialog.screenWidthBox()->selectedText(), "0");
}

TEST_F(SystemParametersDialogTest, ChecksInOrderAndStoresNothingOnFailure) {
  CSystemParametersDialog dialog(config, nullptr, path());
  dialog.show();
  type(dialog.screenWidthBox(), "-1");
  type(dialog.threadCountBox(), "17");
  type(dialog.confirmDaysBox(), "4");
  AnsweredBox box;
  AnswerNextMessageBox(QMessageBox::Ok, &box);
  button(dialog, "Save")->click();
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.text, "Please enter an integer between 1 and 16.");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.focusWidget(), dialog.threadCountBox());
  EXPECT_EQ(config.TrendChangeConfirmDays, 2);  // checked before, but nothing is stored
  EXPECT_EQ(config.ScreenWidth, 0);
  EXPECT_EQ(ReadFile(path()), "original\r\n");

  // The confirm days come first in the order of checks.
  type(dialog.confirmDaysBox(), "x");
  AnswerNextMessageBox(QMessageBox::Ok, &box);
  button(dialog, "Save")->click();
  EXPECT_EQ(box.text, "Please enter an integer.");
  EXPECT_EQ(dialog.focusWidget(), dialog.confirmDaysBox());

  type(dialog.confirmDaysBox(), "4");
  type(dialog.threadCountBox(), "16");
  type(dialog.thresholdBox(), "100.5");
  AnswerNextMessageBox(QMessageBox::Ok, &box);
  button(dialog, "Save")->click();
  EXPECT_EQ(box.text, "Please enter a number between 0 and 100.");

  // "nan" reads as a number, yet lies in no range.
  type(dialog.thresholdBox(), "nan");
  box.seen = false;
  AnswerNextMessageBox(QMessageBox::Ok, &box);
  button(dialog, "Save")->click();
  EXPECT_TRUE(box.seen);
  EXPECT_EQ(box.text, "Please enter a number between 0 and 100.");
  EXPECT_EQ(config.ThresholdToEMA10, 20.0);
  EXPECT_EQ(ReadFile(path()), "original\r\n");
}

TEST_F(SystemParametersDialogTest, SaveStoresAndWritesTheFile) {
  CSystemParametersDialog dialog(config, nullptr, path());
  dialog.show();
  type(dialog.screenWidthBox(), "-1");
  type(dialog.screenHeightBox(), "0");
  type(dialog.thresholdBox(), "12.5");
  type(dialog.threadCountBox(), "4");
  dialog.choice(0)->button(0)->click();
  button(dialog, "Save")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(config.ScreenWidth, -1);
  EXPECT_EQ(config.ScreenHeight, 0);
  EXPECT_EQ(config.ThreadLoadQuoteNum, 4);
  EXPECT_EQ(config.StartRealTimeQuoteLoader, 0);
  const std::string text = ReadFile(path());
  EXPECT_NE(text.find("\r\nThresholdToEMA10=12.50\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nStartRealTimeQuoteLoader=No\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nScreenWidth=-1\r\n"), std::string::npos);
}

TEST_F(SystemParametersDialogTest, CancelChangesNothing) {
  const SystemConfig before = config;
  CSystemParametersDialog dialog(config, nullptr, path());
  dialog.show();
  type(dialog.screenWidthBox(), "800");
  type(dialog.editorBox(), "emacs");
  dialog.choice(2)->button(0)->click();
  button(dialog, "Cancel")->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(config.ScreenWidth, before.ScreenWidth);
  EXPECT_EQ(config.Editor, before.Editor);
  EXPECT_EQ(config.ShowMA, before.ShowMA);
  EXPECT_EQ(ReadFile(path()), "original\r\n");
}

TEST_F(SystemParametersDialogTest, BrowseRefillsAndKeepsTheCurrentFolder) {
  const QString before = QDir::currentPath();
  CSystemParametersDialog dialog(config, nullptr, path());
  const QString elsewhere = QString::fromStdString(folder.path());
  dialog.setFileChooser([&](QWidget*, const QString&) {
    QDir::setCurrent(elsewhere);  // as a file dialog may do
    return QStringLiteral("/usr/bin/gedit");
  });
  dialog.show();
  type(dialog.screenWidthBox(), "800");
  button(dialog, "Browse...")->click();
  EXPECT_EQ(dialog.editorBox()->text(), "/usr/bin/gedit");
  EXPECT_EQ(dialog.screenWidthBox()->text(), "0");  // typed values give way to the opening ones
  EXPECT_EQ(QDir::currentPath(), before);

  dialog.setFileChooser([](QWidget*, const QString&) { return QString(); });
  button(dialog, "Browse...")->click();
  EXPECT_EQ(dialog.editorBox()->text(), "/usr/bin/gedit");
}

TEST_F(SystemParametersDialogTest, BrowseListsThePrograms) {
  // Without SYSTEMROOT the dialog starts where the programs are.
  const QByteArray savedRoot = qgetenv("SYSTEMROOT");
  qunsetenv("SYSTEMROOT");
  QString start;
  CSystemParametersDialog dialog(config, nullptr, path());
  dialog.setFileChooser([&](QWidget*, const QString& folder) {
    start = folder;
    return QString();
  });
  button(dialog, "Browse...")->click();
  EXPECT_EQ(start, "/usr/bin");
  qputenv("SYSTEMROOT", QByteArray::fromStdString(folder.path()));
  button(dialog, "Browse...")->click();
  EXPECT_EQ(start, QString::fromStdString(folder.path()));
  if (savedRoot.isNull())
    qunsetenv("SYSTEMROOT");
  else
    qputenv("SYSTEMROOT", savedRoot);

  // Programs have no extension: the dialog's filter must still show them.
  const std::unique_ptr<QFileDialog> chooser = MakeEditorFileDialog(nullptr, QStringLiteral("/usr/bin"));
  EXPECT_EQ(chooser->directory().path(), "/usr/bin");
  EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFile);
  const QString filter = chooser->selectedNameFilter();
  const QStringList patterns = filter.mid(filter.indexOf('(') + 1).chopped(1).split(' ');
  const QStringList listed = QDir(QStringLiteral("/usr/bin")).entryList(patterns, QDir::Files);
  EXPECT_TRUE(listed.contains(QStringLiteral("env"))) << filter.toStdString();
  EXPECT_TRUE(chooser->selectedFiles().isEmpty() ||
              !chooser->selectedFiles().first().endsWith(QStringLiteral("NOTEPAD")));
}

// Under a German locale the numbers show with a comma and are taken with a
// comma or a point alike, while Config.ini keeps "C"; the start-page switch
// is saved with the rest, and the next start obeys it.
TEST_F(SystemParametersDialogTest, GermanNumbersAndTheStartPageSwitchReachTheFileAndTheNextStart) {
  const test::ScopedLocale german(QLocale(QLocale::German, QLocale::Germany));
  config.ThresholdToEMA10 = 12.5;
  config.StartRealTimeQuoteLoader = 0;
  for (const char* typed : {"13,25", "13.25"}) {
    CSystemParametersDialog dialog(config, nullptr, path());
    dialog.show();
    EXPECT_EQ(dialog.thresholdBox()->text(), config.ThresholdToEMA10 == 12.5 ? "12,5" : "13,25");
    EXPECT_EQ(dialog.startPageCheck()->isChecked(), config.OpenStartPage == 1);
    type(dialog.thresholdBox(), typed);
    dialog.startPageCheck()->setChecked(false);
    button(dialog, "Save")->click();
    ASSERT_EQ(dialog.result(), QDialog::Accepted) << typed;
    EXPECT_EQ(config.ThresholdToEMA10, 13.25);
    const std::string text = ReadFile(path());
    EXPECT_NE(text.find("\r\nThresholdToEMA10=13.25\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nOpenStartPage=No\r\n"), std::string::npos) << text;
  }

  const test::ScopedCurrentDir here(folder.path());
  int pagesOpened = 0;
  AppEnvironment environment;
  environment.openWebPage = [&pagesOpened](const std::string&) { ++pagesOpened; };
  environment.webPagePauseMs = 0;
  {
    CVelmoraApp app(environment);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(pagesOpened, 0);
    app.ExitInstance();
  }
  SetConfigDefaults(systemConfig());
}

// A keyring that answers yet keeps nothing: a typed key serves this run,
// through later saves too, and the user is told it will not outlive it.
TEST_F(SystemParametersDialogTest, AKeyTheKeyringCouldNotKeepServesThisRunAndTheUserIsTold) {
  struct RefusingStore final : KeyStore {
    Result read(const std::string&, std::string&) override { return Result::kFailed; }
    Result write(const std::string&, const std::string&) override { return Result::kFailed; }
    Result remove(const std::string&) override { return Result::kFailed; }
  };
  ResetProcessKeyring(std::make_unique<RefusingStore>());
  const test::ScopedVariable noKey("VELMORA_TIINGO_KEY", "");
  config.QuoteProvider = "Tiingo";
  for (int opening = 0; opening < 2; ++opening) {
    CSystemParametersDialog dialog(config, nullptr, path());
    dialog.show();
    if (opening == 0) type(dialog.dataSource()->keyBox(ProviderId::kTiingo), "typed-tiingo-77");
    AnsweredBox told;
    if (opening == 0) AnswerNextMessageBox(QMessageBox::Ok, &told);
    button(dialog, "Save")->click();
    EXPECT_EQ(told.text, opening == 0 ? kKeysKeptForThisRunNote : "");
    EXPECT_EQ(CurrentProviderKeys().tiingo, "typed-tiingo-77");
  }
}

}  // namespace
}  // namespace velmora
