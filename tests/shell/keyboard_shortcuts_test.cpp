// Help > Keyboard shortcuts and the key table the menus and the monitor
// share; what the status bar says of the loader threads.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>

#include "shell/key_table.h"
#include "shell/keyboard_shortcuts_dialog.h"
#include "shell/loader_status.h"
#include "shell/main_frame.h"
#include "shell/velmora_view.h"
#include "support/qt/qt_test_environment.h"

namespace velmora {
namespace {

TEST(KeyboardShortcuts, TheHelpListShowsTheTableTheMenusAndTheMonitorUse) {
  CMainFrame frame;
  frame.show();
  auto* monitor = new CVelmoraView();
  frame.openChild(monitor);

  // The Window menu's keys are the table's.
  for (QAction* a : frame.findChildren<QAction*>()) {
    if (a->text() == "C&lose") {
      EXPECT_EQ(a->shortcuts(), KeysOf(KeyCommand::CloseWindow));
    } else if (a->text() == "Ne&xt") {
      EXPECT_EQ(a->shortcuts(), KeysOf(KeyCommand::NextWindow));
    }
  }
  // Every monitor key of the table is one the monitor acts on (those that
  // open a dialog have it closed again).
  for (const KeyBinding& binding : KeyTable()) {
    if (binding.place != KeyPlace::Monitor) continue;
    const QKeyCombination key = binding.keys.first()[0];
    if (binding.command == KeyCommand::SearchSymbol || binding.command == KeyCommand::Statistics)
      test::WhenModalShown([](QWidget* modal) { modal->close(); });
    EXPECT_TRUE(monitor->monitorKey(key.key())) << binding.does;
  }

  // Help > Keyboard shortcuts lists them all.
  QTreeWidget* list = nullptr;
  test::WhenModalShown([&list](QWidget* modal) {
    if (auto* dialog = qobject_cast<KeyboardShortcutsDialog*>(modal)) {
      list = dialog->list();
      EXPECT_EQ(list->topLevelItemCount(), static_cast<int>(KeyTable().size()));
      EXPECT_EQ(list->topLevelItem(0)->text(0), "Monitor");
      EXPECT_EQ(list->topLevelItem(0)->text(1), "Space");
    }
    modal->close();
  });
  for (QAction* a : frame.findChildren<QAction*>())
    if (a->text() == "&Keyboard Shortcuts" && a->associatedObjects().size() > 0) {
      a->trigger();
      break;
    }
  EXPECT_NE(list, nullptr);
}

TEST(LoaderStatusLine, AConnectionProblemStaysAndAQuietLoaderShowsItsLastPass) {
  LoaderStatus::PassSummary summary;
  LoaderStatus status([&summary] { return summary; });
  struct Step {
    const char* text;   // a thread's text; null: a security was updated
    const char* shown;  // what the status bar shows afterwards ("": as it was)
  };
  std::tm t{};
  t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 8, t.tm_hour = 14, t.tm_min = 2, t.tm_sec = 5, t.tm_isdst = -1;
  summary = {std::mktime(&t), 2, 24};
  const Step steps[] = {
      {"Loading history quote for symbol MSFT ......", "Loading history quote for symbol MSFT ......"},
      {"Can not connect to the quote service at 127.0.0.1:9.",
       "Can not connect to the quote service at 127.0.0.1:9."},
      {"Loading history quote for symbol IBM ......", ""},
      {"Thread 4 is sleeping 5 seconds......", ""},
      {"The quote service at 127.0.0.1:9 answers again.", "The quote service at 127.0.0.1:9 answers again."},
      {"Thread 4 is sleeping 5 seconds......",
       "Last pass ended at 14:02:05: 2 of 24 securities not refreshed."},
      {"Thread 2 is sleeping 5 seconds......", ""},
      {"Can not connect to the quote service.", "Can not connect to the quote service."},
      {nullptr, "Last pass ended at 14:02:05: 2 of 24 securities not refreshed."},
  };
  for (const Step& step : steps) {
    const QString shown =
        step.text != nullptr ? status.threadText(QString::fromLatin1(step.text)) : status.requestSucceeded();
    EXPECT_EQ(shown, QString::fromLatin1(step.shown)) << (step.text != nullptr ? step.text : "(update)");
  }
  EXPECT_EQ(LoaderStatus::SummaryText({summary.ended, 0, 1}),
            "Last pass ended at 14:02:05: 1 security refreshed.");
}

}  // namespace
}  // namespace velmora
