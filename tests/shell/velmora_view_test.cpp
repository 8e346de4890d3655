// The monitor window as the user drives it: keys, the pointer, row updates
// from the loader, the search, the floating menu, closing and the canvas
// snapshot.
#include "shell/velmora_view.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "base/system_config.h"
#include "shell/child_frame.h"
#include "shell/main_frame.h"
#include "shell/search_symbol_dialog.h"
#include "shell/shell_commands.h"
#include "shell/velmora_app_snapshot.h"
#include "support/monitor_test_data.h"
#include "support/qt/qt_test_environment.h"
#include "support/test_support.h"

namespace velmora {
namespace {

using test::hasInk;
using test::inkColours;
using test::kGrey;
using test::kRed;

// A view over its own store and settings, shown with `rows` list rows.
class MonitorView : public ::testing::Test {
 protected:
  // Wide enough for every column: no horizontal scroll bar takes a row.
  void open(int securities, int rows = 20, int width = 1600) {
    test::fillStore(store_, test::numberedSymbols(securities));
    ViewContext context;
    context.store = &store_;
    context.config = &config_;
    context.commands = &commands_;
    view_ = std::make_unique<CVelmoraView>(context);
    view_->resize(width, 8 + (rows + 1) * 15);
    view_->show();
    QApplication::processEvents();
    view_->renderIfNeeded();
    ASSERT_EQ(view_->rowCount, rows);
  }

  void key(int k) { QTest::keyClick(view_.get(), static_cast<Qt::Key>(k)); }

  // A full paint is pending (and runs now) when the count of paints grows.
  bool repaints() {
    const int before = view_->fullPaints();
    view_->renderIfNeeded();
    return view_->fullPaints() > before;
  }

  Rect rowBand(int row) const {
    return {0, ListTextTop(view_->lineHeight, row), view_->clientWidth,
            ListTextTop(view_->lineHeight, row + 1)};
  }
  QRgb framePixel(int row) const {
    return view_->canvas().pixel(1, ListRowFrame(view_->lineHeight, row, view_->clientWidth).top);
  }

  void setTime(int index, const char* time) {
    auto data = std::make_unique<SecurityData>();
    ASSERT_TRUE(store_.Read(index, *data));
    data->bars[0].SetTime(time);
    store_.entry(index).PublishQuote(*data);
  }

  SecurityStore store_;
  SystemConfig config_;
  ShellCommands commands_;
  std::unique_ptr<CVelmoraView> view_;
};

TEST_F(MonitorView, StartsInMonitorModeWithItsTitle) {
  open(5);
  EXPECT_EQ(view_->currentViewMode(), 0u);
  EXPECT_EQ(view_->windowTitle(), "Real time quote monitor");
  EXPECT_EQ(view_->lineHeight, 15);
  EXPECT_EQ(view_->topRow, 0);
  EXPECT_EQ(view_->selectedRow, 0);
  EXPECT_EQ(framePixel(0), kRed);  // the selected row is framed after the paint
  EXPECT_TRUE(hasInk(view_->canvas(), rowBand(4)));
  EXPECT_FALSE(hasInk(view_->canvas(), rowBand(5), kGrey));
}

TEST_F(MonitorView, PageKeysScrollWithinTheList) {
  open(50);
  key(Qt::Key_PageDown);
  EXPECT_EQ(view_->topRow, 20);
  EXPECT_TRUE(repaints());
  key(Qt::Key_PageDown);  // the last page ends with the list: full rows, not ten
  EXPECT_EQ(view_->topRow, 30);
  EXPECT_TRUE(repaints());
  key(Qt::Key_PageDown);
  EXPECT_EQ(view_->topRow, 30);
  EXPECT_FALSE(repaints());  // nothing moved, nothing repainted
  key(Qt::Key_PageUp);
  EXPECT_EQ(view_->topRow, 10);
  key(Qt::Key_Home);
  EXPECT_EQ(view_->topRow, 0);
  key(Qt::Key_PageUp);  // first page: stays at 0
  EXPECT_EQ(view_->topRow, 0);
  key(Qt::Key_End);
  EXPECT_EQ(view_->topRow, 30);  // the last page is full
  key(Qt::Key_End);
  EXPECT_EQ(view_->topRow, 30);
  EXPECT_FALSE(view_->monitorKey(Qt::Key_A));
}

TEST_F(MonitorView, ShortAndEmptyListsNeverScroll) {
  open(10);
  for (int k : {Qt::Key_End, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Home}) {
    key(k);
    EXPECT_EQ(view_->topRow, 0) << k;
  }
  open(0);
  for (int k : {Qt::Key_End, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_Home}) {
    key(k);
    EXPECT_EQ(view_->topRow, 0) << k;  // never a negative first row
  }
  view_->invalidate();
  view_->renderIfNeeded();
  EXPECT_TRUE(hasInk(view_->canvas(), {0, 0, view_->clientWidth, ListTextTop(15, 0)}));  // the header
}

TEST_F(MonitorView, RedFrameFollowsThePointerRow) {
  open(30);
  const int lh = view_->lineHeight;
  QTest::mouseMove(view_.get(), QPoint(200, ListTextTop(lh, 3) + 2));
  QApplication::processEvents();
  EXPECT_EQ(view_->selectedRow, 3);
  EXPECT_EQ(framePixel(3), kRed);
  EXPECT_EQ(framePixel(0), kGrey);  // the old frame is painted over

  const quint64 serial = view_->canvasSerial();
  view_->monitorPointerMove(300, ListTextTop(lh, 3) + lh - 1);           // same row
  view_->monitorPointerMove(300, 10);                                    // the header
  view_->monitorPointerMove(300, ListTextTop(lh, view_->rowCount) + 1);  // below the last fitting row
  EXPECT_EQ(view_->selectedRow, 3);
  EXPECT_EQ(view_->canvasSerial(), serial);
  EXPECT_EQ(view_->selectedSecurity(), 3);

  view_->monitorPointerMove(300, ListTextTop(lh, 19));
  EXPECT_EQ(view_->selectedRow, 19);
  EXPECT_EQ(framePixel(19), kRed);
  EXPECT_EQ(framePixel(3), kGrey);
}

TEST_F(MonitorView, LoaderNoticeRedrawsOnlyItsRow) {
  open(50);
  const int paints = view_->fullPaints();
  setTime(5, "10:42am");
  view_->onSecurityUpdated(5);
  EXPECT_EQ(view_->rowUpdatesDrawn(), 1);
  EXPECT_FALSE(repaints());
  const int timeLeft = 4 + 8 * view_->digitWidth;
  const Rect seventhCharacter{timeLeft + 6 * view_->digitWidth, rowBand(5).top,
                              timeLeft + 7 * view_->digitWidth, rowBand(5).bottom};
  EXPECT_TRUE(hasInk(view_->canvas(), seventhCharacter));
  // A shorter time leaves nothing of the longer one behind.
  setTime(5, "9:30am");
  view_->onSecurityUpdated(5);
  EXPECT_FALSE(hasInk(view_->canvas(), seventhCharacter));
  EXPECT_EQ(framePixel(0), kRed);  // the selected row keeps its frame

  // The selected row repaints the whole view.
  setTime(0, "10:43am");
  view_->onSecurityUpdated(0);
  EXPECT_EQ(view_->rowUpdatesDrawn(), 2);
  EXPECT_TRUE(repaints());
  EXPECT_EQ(view_->fullPaints(), paints + 1);

  // Rows scrolled away, and indexes outside the list, draw nothing.
  key(Qt::Key_PageDown);
  view_->renderIfNeeded();
  const quint64 serial = view_->canvasSerial();
  for (int index : {5, 19, 40, 50, -1}) view_->onSecurityUpdated(index);
  EXPECT_EQ(view_->canvasSerial(), serial);
  EXPECT_FALSE(repaints());
  view_->onSecurityUpdated(39);
  EXPECT_EQ(view_->rowUpdatesDrawn(), 3);
}

TEST_F(MonitorView, SearchBringsTheSymbolToTheTop) {
  test::fillStore(store_, {"^DJI", "NASDAQ", "IBM", "MSFT", "AAPL"});
  ViewContext context;
  context.store = &store_;
  context.config = &config_;
  view_ = std::make_unique<CVelmoraView>(context);
  view_->resize(1600, 8 + 4 * 15);  // three rows
  view_->show();
  QApplication::processEvents();
  view_->monitorPointerMove(10, ListTextTop(15, 2) + 1);
  ASSERT_EQ(view_->selectedRow, 2);

  test::WhenModalShown([](QWidget* modal) {
    auto* dialog = qobject_cast<CSearchSymbolDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->symbolBox()->text(), "MSFT");
    QTest::keyClicks(dialog->symbolBox(), "msf");
    dialog->search();
  });
  QTest::keyClick(view_.get(), Qt::Key_F);
  EXPECT_EQ(view_->topRow, 3);
  EXPECT_EQ(view_->selectedRow, 0);  // the found row is the selected one
  EXPECT_EQ(view_->selectedSecurity(), 3);
  EXPECT_TRUE(repaints());

  // A cancelled search leaves the list as it was.
  test::WhenModalShown([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  view_->searchSymbol();
  EXPECT_EQ(view_->topRow, 3);
}

TEST_F(MonitorView, FloatMenuItemsGoToTheFrameCommands) {
  open(5);
  std::unique_ptr<QMenu> menu(view_->buildFloatMenu(nullptr));
  EXPECT_EQ(menu->title(), "Float Menu");
  QStringList texts, prompts;
  for (QAction* a : menu->actions()) {
    texts << a->text();
    prompts << a->statusTip();
  }
  // The monitor's keys show after the tab.
  EXPECT_EQ(texts, (QStringList{"&Chart\tSpace", "&Search Symbol\tF", "Statistics", "System Parametrs", "",
                                "&Add Security...", "&Remove Security"}));
  EXPECT_EQ(prompts,
            (QStringList{"Draw chart and analyse stock.", "Search a symbol", "Get statistics information.",
                         "Config system parameter.", "", "Add a security to the stock list being monitored.",
                         "Remove the selected security from the stock list."}));
  QStringList called;
  commands_.chart = [&] { called << "chart"; };
  commands_.searchSymbol = [&] { called << "search"; };
  commands_.statistics = [&] { called << "statistics"; };
  commands_.systemParameter = [&] { called << "parameters"; };
  commands_.addSecurity = [&] { called << "add"; };
  commands_.removeSecurity = [&] { called << "remove"; };
  for (QAction* a : menu->actions()) a->trigger();
  EXPECT_EQ(called, (QStringList{"chart", "search", "statistics", "parameters", "add", "remove"}));
}

TEST_F(MonitorView, RightButtonPresetsTheSelectedSymbolAndShowsTheMenu) {
  test::fillStore(store_, {"IBM", "MSFT"});
  std::string preset;
  ViewContext context;
  context.store = &store_;
  context.config = &config_;
  context.presetChartSymbol = [&](const std::string& s) { preset = s; };
  view_ = std::make_unique<CVelmoraView>(context);
  view_->resize(600, 200);
  view_->show();
  QApplication::processEvents();
  view_->monitorPointerMove(10, ListTextTop(15, 1) + 1);
  QString shownTitle;
  QTimer::singleShot(50, [&] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      shownTitle = menu->title();
      menu->close();
    }
  });
  QTest::mouseClick(view_.get(), Qt::RightButton, {}, QPoint(10, ListTextTop(15, 1) + 1));
  EXPECT_EQ(preset, "MSFT");
  EXPECT_EQ(shownTitle, "Float Menu");
}

TEST(MonitorWindowClose, IgnoredOnTheMonitorAndHonouredOnAChart) {
  SecurityStore store;
  ViewContext context;
  context.store = &store;
  CMainFrame frame;
  frame.show();
  auto* monitor = new CVelmoraView(context);
  CChildFrame* monitorFrame = frame.openChild(monitor);
  auto* chartView = new CVelmoraView(context);
  chartView->viewMode = CVelmoraView::kChartMode;
  chartView->loaded = 1;  // nothing to fetch: the chart shows its empty data
  QPointer<CChildFrame> chartFrame = frame.openChild(chartView);
  QApplication::processEvents();
  ASSERT_EQ(frame.mdiArea()->subWindowList().size(), 2);

  EXPECT_FALSE(monitorFrame->close());
  EXPECT_TRUE(chartFrame->close());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(chartFrame.isNull());
  ASSERT_EQ(frame.mdiArea()->subWindowList().size(), 1);
  EXPECT_EQ(frame.mdiArea()->subWindowList().first(), monitorFrame);
  monitor->renderIfNeeded();
  EXPECT_EQ(monitorFrame->windowTitle(), "Real time quote monitor");
}

// The canvas snapshot: written when the canvas changed, and again at the
// next tick when a write failed.
TEST_F(MonitorView, CanvasSnapshotFailedWriteIsTriedAgainUnchangedCanvasIsNot) {
  open(3);
  test::TempFolder folder;
  const std::string canvasFile = folder.file("pictures/canvas.ppm");
  SnapshotWriter writer(nullptr, view_.get(), "", canvasFile);

  // Its folder does not exist yet: nothing can be written.
  writer.writeNow();
  EXPECT_FALSE(test::FileExists(canvasFile));

  // The canvas has not changed since, yet the picture it never wrote comes now.
  ASSERT_EQ(mkdir(folder.file("pictures").c_str(), 0700), 0);
  writer.writeNow();
  ASSERT_TRUE(test::FileExists(canvasFile));
  EXPECT_EQ(test::ReadFile(canvasFile).rfind("P6\n# fullPaints ", 0), 0u);

  // Written once, it is not written again until the canvas changes.
  ASSERT_EQ(std::remove(canvasFile.c_str()), 0);
  writer.writeNow();
  EXPECT_FALSE(test::FileExists(canvasFile));
  view_->invalidate();
  writer.writeNow();
  EXPECT_TRUE(test::FileExists(canvasFile));
}

}  // namespace
}  // namespace velmora
