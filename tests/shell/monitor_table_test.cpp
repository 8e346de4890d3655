// The monitor table as the user reads it: Up and Down move the frame,
// header clicks sort the rows, wide values widen their columns with a
// horizontal scroll bar when the list outgrows the window, rows of
// securities not loaded yet stay blank, and the headers explain themselves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include "app/ui/velmora_view.h"
#include "base/system_config.h"
#include "support/monitor_test_data.h"
#include "support/qt/qt_test_environment.h"

namespace velmora {
namespace {

using test::hasInk;
using test::kGrey;
using test::kRed;

class MonitorTable : public ::testing::Test {
 protected:
  void open(int securities, int rows, int width) {
    test::fillStore(store_, test::numberedSymbols(securities));
    ViewContext context;
    context.store = &store_;
    context.config = &config_;
    view_ = std::make_unique<CVelmoraView>(context);
    view_->resize(width, 8 + (rows + 1) * 15);
    view_->show();
    QApplication::processEvents();
    view_->renderIfNeeded();
  }

  void key(Qt::Key k) { QTest::keyClick(view_.get(), k); }
  void settle() {
    QApplication::processEvents();
    view_->renderIfNeeded();
  }

  // Publishes a change of bar 0 of security `index` and tells the view.
  template <typename Change>
  void update(int index, Change change) {
    auto data = std::make_unique<SecurityData>();
    ASSERT_TRUE(store_.Read(index, *data));
    change(*data);
    store_.entry(index).PublishHistory(*data);
    view_->onSecurityUpdated(index);
  }

  // x in the middle of the header of `column`.
  int headerX(MonitorColumn column) const {
    const MonitorColumns& columns = view_->monitorColumns();
    const MonitorSwitches every;
    int x = columns.originX;
    for (int c = 0; c < static_cast<int>(column); ++c)
      x += columns.width(static_cast<MonitorColumn>(c), every) * view_->digitWidth;
    return x + columns.width(column, every) * view_->digitWidth / 2;
  }
  void clickHeader(MonitorColumn column) {
    QTest::mouseClick(view_.get(), Qt::LeftButton, {}, QPoint(headerX(column), 10));
    settle();
  }

  Rect rowBand(int row) const {
    return {0, ListTextTop(view_->lineHeight, row), view_->clientWidth,
            ListTextTop(view_->lineHeight, row + 1)};
  }
  QRgb framePixel(int row) const {
    return view_->canvas().pixel(1, ListRowFrame(view_->lineHeight, row, view_->clientWidth).top);
  }
  bool inkAt(int row, int fromCharacter, int toCharacter) const {
    const int dw = view_->digitWidth;
    const Rect band = rowBand(row);
    // Inside the band's frame lines (the selected row's frame is red).
    return hasInk(view_->canvas(),
                  {4 + fromCharacter * dw, band.top + 1, 4 + toCharacter * dw, band.bottom - 1});
  }

  SecurityStore store_;
  SystemConfig config_;
  std::unique_ptr<CVelmoraView> view_;
};

TEST_F(MonitorTable, UpAndDownMoveTheFrameAndScrollAtTheEdges) {
  open(8, 3, 1800);
  key(Qt::Key_Down);
  EXPECT_EQ(view_->selectedRow, 1);
  EXPECT_EQ(framePixel(1), kRed);
  EXPECT_EQ(framePixel(0), kGrey);
  key(Qt::Key_Down);
  key(Qt::Key_Down);  // past the last visible row: the list scrolls
  EXPECT_EQ(view_->selectedRow, 2);
  EXPECT_EQ(view_->topRow, 1);
  EXPECT_EQ(view_->selectedSecurity(), 3);
  for (int i = 0; i < 10; ++i) key(Qt::Key_Down);  // stops at the last security
  EXPECT_EQ(view_->selectedSecurity(), 7);
  EXPECT_EQ(view_->topRow, 5);
  settle();
  EXPECT_EQ(framePixel(2), kRed);

  key(Qt::Key_Up);
  EXPECT_EQ(view_->selectedRow, 1);
  key(Qt::Key_Up);
  key(Qt::Key_Up);  // above the first visible row: the list scrolls back
  EXPECT_EQ(view_->selectedRow, 0);
  EXPECT_EQ(view_->topRow, 4);
  for (int i = 0; i < 10; ++i) key(Qt::Key_Up);
  EXPECT_EQ(view_->topRow, 0);
  EXPECT_EQ(view_->selectedSecurity(), 0);

  open(1, 3, 1800);  // a single security: Down has nowhere to go
  key(Qt::Key_Down);
  EXPECT_EQ(view_->selectedSecurity(), 0);
  EXPECT_EQ(view_->topRow, 0);
}

TEST_F(MonitorTable, HeaderClicksSortThenReverseThenRestoreTheListOrder) {
  open(4, 5, 1800);
  const double closes[4] = {20, 40, 10, 30};
  for (int i = 0; i < 4; ++i) update(i, [&](SecurityData& d) { d.bars[0].close = closes[i]; });
  settle();

  clickHeader(MonitorColumn::Close);
  EXPECT_EQ(view_->sortColumn(), MonitorColumn::Close);
  EXPECT_EQ(view_->monitorOrder(), (std::vector<int>{2, 0, 3, 1}));
  EXPECT_EQ(view_->selectedSecurity(), 2);  // the frame stays on the first row, now S002
  clickHeader(MonitorColumn::Close);
  EXPECT_TRUE(view_->sortDescending());
  EXPECT_EQ(view_->monitorOrder(), (std::vector<int>{1, 3, 0, 2}));

  // A loader's notice redraws the row where the security now sits.
  const int drawn = view_->rowUpdatesDrawn();
  std::fprintf(stderr, "sel %d top %d order %d\n", view_->selectedRow, view_->topRow,
               view_->securityAtPosition(2));
  update(0, [](SecurityData& d) { d.bars[0].SetTime("9:31am"); });
  EXPECT_EQ(view_->rowUpdatesDrawn(), drawn + 1);
  EXPECT_TRUE(inkAt(2, 8, 14));  // S000's time, in row 2
  EXPECT_FALSE(inkAt(0, 8, 14));

  clickHeader(MonitorColumn::Close);  // the third click: the list's own order
  EXPECT_EQ(view_->sortColumn(), MonitorColumn::None);
  EXPECT_TRUE(view_->monitorOrder().empty());
  EXPECT_EQ(view_->selectedSecurity(), 0);
  EXPECT_TRUE(inkAt(0, 8, 14));

  clickHeader(MonitorColumn::Symbol);  // another column starts ascending again
  EXPECT_FALSE(view_->sortDescending());
  EXPECT_EQ(view_->monitorOrder(), (std::vector<int>{0, 1, 2, 3}));
  // A click on a row, not the header, sorts nothing.
  QTest::mouseClick(view_.get(), Qt::LeftButton, {},
                    QPoint(headerX(MonitorColumn::Close), ListTextTop(15, 1) + 3));
  EXPECT_EQ(view_->sortColumn(), MonitorColumn::Symbol);
}

TEST_F(MonitorTable, AWideIndexWidensItsColumnsInsteadOfOverwritingItsNeighbour) {
  open(3, 5, 2000);
  EXPECT_FALSE(view_->horizontalBar()->isVisible());
  const int before = view_->fullPaints();
  // Security 2 is scrolled out of nothing here; its values are wider than
  // the open and the 10-day average columns.
  update(2, [](SecurityData& d) {
    d.bars[0].open = 55885.88;
    d.bars[0].ema10 = 155885.88;
  });
  settle();
  EXPECT_GT(view_->fullPaints(), before);          // every column after it moved
  EXPECT_EQ(view_->monitorColumns().price[0], 9);  // "55885.88" fits with its blank
  EXPECT_EQ(view_->monitorColumns().ema[1], 10);
  // Each row's open keeps a blank before it, and the rows still line up:
  // the high column begins at the same character in every row.
  EXPECT_FALSE(inkAt(2, 17, 18));
  EXPECT_TRUE(inkAt(2, 18, 26));
  EXPECT_FALSE(inkAt(0, 26, 27));
  EXPECT_FALSE(inkAt(2, 26, 27));
}

TEST_F(MonitorTable, ANarrowWindowScrollsTheListSideways) {
  open(3, 5, 600);
  QScrollBar* bar = view_->horizontalBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(bar->maximum(), 177 * view_->digitWidth + 8 - 600);
  EXPECT_TRUE(inkAt(-1, 0, 6));  // "Symbol"
  bar->setValue(17 * view_->digitWidth);
  settle();
  EXPECT_EQ(view_->monitorColumns().originX, 4 - 17 * view_->digitWidth);
  EXPECT_TRUE(hasInk(view_->canvas(), {0, 4, 4 + 9 * view_->digitWidth, 19}));  // "Open"'s column now first
  EXPECT_EQ(view_->selectedSecurity(), 0);                                      // rows stay where they were
  // The header under the pointer follows the scroll.
  clickHeader(MonitorColumn::High);
  EXPECT_EQ(view_->sortColumn(), MonitorColumn::High);

  view_->resize(2000, view_->height());  // wide enough again: no bar, no offset
  settle();
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(view_->monitorColumns().originX, 4);
}

TEST_F(MonitorTable, SecuritiesNotLoadedYetShowBlankCells) {
  store_.Clear();
  for (const char* symbol : {"AAA", "NEW"}) {
    auto d = test::makeSecurity(symbol);
    if (symbol[0] == 'N') d->bars.count = 0;  // its history has not arrived
    ASSERT_TRUE(store_.Append(*d));
  }
  ViewContext context;
  context.store = &store_;
  context.config = &config_;
  view_ = std::make_unique<CVelmoraView>(context);
  view_->resize(1800, 8 + 6 * 15);
  view_->show();
  settle();
  EXPECT_TRUE(inkAt(0, 17, 177));  // "0.00"s of a loaded security
  EXPECT_TRUE(inkAt(1, 0, 3));     // the symbol
  EXPECT_FALSE(inkAt(1, 3, 177));  // and nothing else
}

TEST_F(MonitorTable, HeadersExplainThemselves) {
  open(2, 3, 1800);
  auto hover = [&](QPoint at) {
    QHelpEvent help(QEvent::ToolTip, at, view_->mapToGlobal(at));
    QApplication::sendEvent(view_.get(), &help);
  };
  auto tip = [](MonitorColumn column) { return QString::fromUtf8(MonitorColumnTip(column).data()); };
  hover(QPoint(headerX(MonitorColumn::Bs0), 10));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return QToolTip::isVisible() && QToolTip::text() == tip(MonitorColumn::Bs0); }, 2000));
  hover(QPoint(headerX(MonitorColumn::StochK), 10));
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return QToolTip::isVisible() && QToolTip::text() == tip(MonitorColumn::StochK); }, 2000));
  EXPECT_TRUE(tip(MonitorColumn::StochK).contains("%K"));
  hover(QPoint(headerX(MonitorColumn::StochK), ListTextTop(15, 1)));  // a row has none
  EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
}

}  // namespace
}  // namespace velmora
