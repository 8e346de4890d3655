#include "shell/search_symbol_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "support/monitor_test_data.h"

namespace velmora {
namespace {

class SearchSymbolDialog : public ::testing::Test {
 protected:
  void SetUp() override { test::fillStore(store_, {"^DJI", "NASDAQ", "IBM", "MSFT", "MSFTX"}); }

  // Types `text` over the selected preset and presses OK.
  void search(CSearchSymbolDialog& dialog, const QString& text) {
    dialog.symbolBox()->setText(text);
    dialog.search();
  }

  SecurityStore store_;
};

TEST_F(SearchSymbolDialog, OpensWithMsftSelected) {
  CSearchSymbolDialog dialog(store_);
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle(), "Search Symbol");
  EXPECT_EQ(dialog.symbolBox()->text(), "MSFT");
  EXPECT_EQ(dialog.symbolBox()->selectedText(), "MSFT");
  EXPECT_EQ(dialog.message(), "");
  EXPECT_EQ(dialog.foundIndex(), -1);
  // Typing replaces the whole preset.
  QTest::keyClicks(dialog.symbolBox(), "ib");
  EXPECT_EQ(dialog.symbolBox()->text(), "ib");
}

TEST_F(SearchSymbolDialog, FindsTheFirstSymbolBeginningWithTheText) {
  CSearchSymbolDialog dialog(store_);
  dialog.show();
  search(dialog, "msf");
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.foundIndex(), 3);  // MSFT, not MSFTX

  CSearchSymbolDialog empty(store_);
  empty.show();
  search(empty, "");
  EXPECT_EQ(empty.foundIndex(), 0);  // the first security of the list
}

TEST_F(SearchSymbolDialog, NotFoundKeepsTheDialogOpen) {
  CSearchSymbolDialog dialog(store_);
  dialog.show();
  QApplication::processEvents();
  search(dialog, "^IXIC");  // the composite is displayed as NASDAQ
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.message(), "Symbo not found!");
  EXPECT_EQ(dialog.symbolBox()->selectedText(), "^IXIC");
  EXPECT_EQ(dialog.foundIndex(), -1);
  search(dialog, "nas");
  EXPECT_EQ(dialog.foundIndex(), 1);

  SecurityStore none;
  CSearchSymbolDialog inEmptyStore(none);
  inEmptyStore.show();
  for (const char* text : {"MSFT", ""}) {
    search(inEmptyStore, text);
    EXPECT_EQ(inEmptyStore.message(), "Symbo not found!") << text;
    EXPECT_TRUE(inEmptyStore.isVisible());
  }
}

}  // namespace
}  // namespace velmora
