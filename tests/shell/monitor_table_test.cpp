// The monitor table as the user reads it: Up and Down move the frame,
// header clicks sort the rows, wide values widen their columns with a
// horizontal scroll bar when the list outgrows the window, a long list
// scrolls, rows of securities not loaded yet stay blank, stale quotes show
// grey, and the headers explain themselves.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>

#include "base/system_config.h"
#include "monitor_view/stale_quote.h"
#include "shell/velmora_view.h"
#include "support/monitor_test_data.h"
#include "support/qt/qt_test_environment.h"

namespace velmora {
namespace {

using test::hasInk;
using test::inkColours;
using test::kBlack;
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

  // The wheel turned by `delta` eighths of a degree over the list.
  void wheel(int delta) {
    const QPointF at(200, ListTextTop(view_->lineHeight, 2));
    QWheelEvent event(at, view_->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view_.get(), &event);
    settle();
  }

  // Whether resting the pointer at `at` shows the tooltip `text` (none
  // when it is empty).
  bool showsTip(QPoint at, const QString& text) {
    QHelpEvent help(QEvent::ToolTip, at, view_->mapToGlobal(at));
    QApplication::sendEvent(view_.get(), &help);
    return QTest::qWaitFor(
        [&] {
          return text.isEmpty() ? !QToolTip::isVisible() : QToolTip::isVisible() && QToolTip::text() == text;
        },
        10000);
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
  const QImage unsorted = view_->canvas().copy();
  const int dw = view_->digitWidth;
  // The cell after the header word "Close", where its arrow goes.
  const int closeEnd = headerX(MonitorColumn::Close) + view_->monitorColumns().price[3] * dw / 2;
  const Rect arrowCell{closeEnd, 4, closeEnd + dw, ListTextTop(15, 0)};
  EXPECT_FALSE(hasInk(unsorted, arrowCell));

  view_->monitorPointerMove(10, ListTextTop(15, 1) + 1);  // S001, the highest close
  clickHeader(MonitorColumn::Close);
  EXPECT_EQ(view_->sortColumn(), MonitorColumn::Close);
  EXPECT_EQ(view_->monitorOrder(), (std::vector<int>{2, 0, 3, 1}));
  EXPECT_EQ(view_->selectedSecurity(), 1);  // the frame went with S001 to the last row
  EXPECT_EQ(framePixel(3), kRed);
  // The arrow, in the header's colour, and the header words where they were.
  EXPECT_EQ(inkColours(view_->canvas(), arrowCell), std::vector<QRgb>{kBlack});
  const QRect headerBefore(0, 0, closeEnd, ListTextTop(15, 0));
  EXPECT_EQ(view_->canvas().copy(headerBefore), unsorted.copy(headerBefore));

  clickHeader(MonitorColumn::Close);
  EXPECT_TRUE(view_->sortDescending());
  EXPECT_EQ(view_->monitorOrder(), (std::vector<int>{1, 3, 0, 2}));
  EXPECT_EQ(view_->selectedSecurity(), 1);

  // A loader's notice redraws the row where the security now sits.
  const int drawn = view_->rowUpdatesDrawn();
  update(0, [](SecurityData& d) { d.bars[0].SetTime("9:31am"); });
  EXPECT_EQ(view_->rowUpdatesDrawn(), drawn + 1);
  EXPECT_TRUE(inkAt(2, 8, 14));  // S000's time, in row 2
  EXPECT_FALSE(inkAt(0, 8, 14));

  clickHeader(MonitorColumn::Close);  // the third click: the list's own order
  EXPECT_EQ(view_->sortColumn(), MonitorColumn::None);
  EXPECT_TRUE(view_->monitorOrder().empty());
  EXPECT_EQ(view_->selectedSecurity(), 1);
  EXPECT_TRUE(inkAt(0, 8, 14));
  EXPECT_EQ(view_->canvas().copy(0, 0, view_->clientWidth, ListTextTop(15, 0)),
            unsorted.copy(0, 0, view_->clientWidth, ListTextTop(15, 0)));  // no sort: the header as it was

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

// A long list: the wheel, the vertical bar and the page keys scroll it by
// full pages, a sort brings the framed security along, and a list read
// again keeps the frame on its security.
TEST_F(MonitorTable, ALongListScrollsByFullPagesAndTheFrameKeepsItsSecurity) {
  open(50, 20, 1800);
  QScrollBar* bar = view_->verticalBar();
  ASSERT_TRUE(bar != nullptr && bar->isVisible());
  EXPECT_EQ(bar->maximum(), 30);                                                 // the last full page
  EXPECT_EQ(view_->canvas().pixel(bar->x() - 2, ListTextTop(15, 0) + 5), kRed);  // the frame ends beside it
  // A notch is three rows, finer steps add up, a turn back drops what is left.
  const std::pair<int, int> turns[] = {{-120, 3}, {-30, 3}, {-30, 4}, {-30, 5},
                                       {-30, 6},  {-20, 6}, {40, 5},  {240, 0}};
  for (const auto& [delta, top] : turns) {
    wheel(delta);
    EXPECT_EQ(view_->topRow, top) << delta;
  }
  bar->setValue(12);
  settle();
  EXPECT_EQ(view_->selectedSecurity(), 12);
  for (int i = 0; i < 10; ++i) wheel(-120);
  EXPECT_EQ(view_->topRow, 30);
  for (Qt::Key k : {Qt::Key_Home, Qt::Key_PageDown, Qt::Key_PageDown}) key(k);
  EXPECT_EQ(view_->topRow, 30);  // not 40, with ten rows
  settle();
  EXPECT_EQ(bar->value(), 30);
  key(Qt::Key_PageUp);
  EXPECT_EQ(view_->topRow, 10);

  for (int i = 0; i < 50; ++i) update(i, [&](SecurityData& d) { d.bars[0].close = i; });
  view_->monitorPointerMove(10, ListTextTop(15, 2) + 1);  // S012
  clickHeader(MonitorColumn::Close);
  clickHeader(MonitorColumn::Close);  // descending: S012 is 38th, off the page
  EXPECT_EQ(view_->selectedSecurity(), 12);
  EXPECT_EQ(view_->topRow, 30);
  EXPECT_EQ(view_->selectedRow, 7);

  // S012 and everything from S020 on go; the frame takes the next row, S011.
  std::vector<int> map(50, -1);
  for (int i = 0; i < 20; ++i) map[static_cast<size_t>(i)] = i < 12 ? i : (i == 12 ? -1 : i - 1);
  std::vector<std::unique_ptr<SecurityData>> kept;
  for (int i = 0; i < 20; ++i)
    if (map[static_cast<size_t>(i)] >= 0) {
      kept.push_back(std::make_unique<SecurityData>());
      ASSERT_TRUE(store_.Read(i, *kept.back()));
    }
  store_.Clear();
  for (const auto& d : kept) ASSERT_TRUE(store_.Append(*d));
  view_->securityListChanged(map);
  settle();
  EXPECT_EQ(view_->selectedSecurity(), 11);
  EXPECT_EQ(view_->topRow, 0);  // nineteen rows fit: no bar
  EXPECT_EQ(view_->selectedRow, 7);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(framePixel(7), kRed);
  CVelmoraView chart;  // a chart follows its security's index, -1 once it is gone
  chart.viewMode = CVelmoraView::kChartMode;
  chart.selectedRow = 13;
  for (int expected : {12, -1}) {
    chart.securityListChanged(map);
    EXPECT_EQ(chart.selectedRow, expected);
  }
}

TEST_F(MonitorTable, AStaleQuoteShowsItsTimeGreyAndSaysSinceWhenAndWhy) {
  open(3, 5, 1800);
  for (int i = 0; i < 3; ++i) update(i, [](SecurityData& d) { d.bars[0].SetTime("3:59pm"); });
  settle();
  const std::time_t now = std::time(nullptr);
  SecurityEntry& entry = store_.entry(1);
  const int dw = view_->digitWidth;
  auto timeInk = [&](int row) {
    return inkColours(view_->canvas(),
                      {4 + 8 * dw, rowBand(row).top + 1, 4 + 15 * dw, rowBand(row).bottom - 1});
  };
  const QPoint overTime(4 + 10 * dw, ListTextTop(15, 1) + 7);
  for (int missed = 1; missed <= kStaleQuotePasses; ++missed) {
    EXPECT_EQ(timeInk(1), std::vector<QRgb>{kBlack}) << missed;
    EXPECT_TRUE(showsTip(overTime, {})) << missed;
    entry.NoteQuoteMissed(now, "could not reach the quote service");
    view_->onSecurityUpdated(1);  // the loader's notice when it turns stale
  }
  EXPECT_EQ(timeInk(1), std::vector<QRgb>{kStaleTimeColour});
  EXPECT_EQ(timeInk(0), std::vector<QRgb>{kBlack});
  EXPECT_TRUE(showsTip(overTime, QString::fromStdString(StaleQuoteTip(entry.freshness(), now))));
  EXPECT_TRUE(showsTip(QPoint(overTime.x(), ListTextTop(15, 0) + 7), {}));  // a fresh row says nothing
  view_->invalidate();
  settle();
  EXPECT_EQ(timeInk(1), std::vector<QRgb>{kStaleTimeColour});
  entry.NoteQuoteRefreshed(now);
  view_->onSecurityUpdated(1);
  EXPECT_EQ(timeInk(1), std::vector<QRgb>{kBlack});
  // The time of day, with the date when it is not today's.
  const QuoteFreshness old{1133895909, 0, 4, "Not Found"};  // 14:05:09 in New York
  EXPECT_EQ(StaleQuoteTip(old, old.lastRefreshed + 3600),
            "Not refreshed since 14:05:09 (4 passes): Not Found.");
  EXPECT_EQ(StaleQuoteTip(old, old.lastRefreshed + 86400),
            "Not refreshed since 2005-12-06 14:05:09 (4 passes): Not Found.");
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
