// The monitor's columns on screen: widened to the widest value shown while
// the narrow values keep today's layout, blank rows before the history has
// loaded, the header under the pointer with its tooltip, and the sort order.
#include "monitor_view/monitor_columns.h"

#include <gtest/gtest.h>

#include <string>

#include "monitor_view/monitor_list_painter.h"
#include "support/monitor_test_data.h"

namespace velmora {
namespace {

using test::hasInk;
using test::kGrey;

constexpr int kWidth = 2000;
constexpr int kHeight = 80;

// An index above 10,000: every price and average wider than its column.
std::unique_ptr<SecurityData> wideIndex() {
  auto d = test::makeSecurity("600988.SS");
  QuoteBar& b = d->bars[0];
  b.SetTime("4:00pm");
  b.open = 255885.88;
  b.high = 256000.50;
  b.low = 254321.25;
  b.close = 255800.00;
  b.volume = 5179990000LL;
  b.volumeAvg50 = 99999999999LL;
  b.change = -2.28;
  b.changePercent = -421.56;
  b.toEma10Percent = 0.81;
  b.ema5 = 255885.88;
  b.ema10 = 1255885.88;
  b.ema20 = 255885.88;
  b.ema50 = 255885.88;
  b.rsi = 100;
  b.stochK = 100;
  b.stochD = -100.5;
  return d;
}

class MonitorColumnsOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    QImage probe = test::greyCanvas(1, 1);
    Surface s(probe);
    metrics_ = MeasureListMetrics(s);
  }

  QImage paint(const SecurityData& security, const MonitorColumns& columns, bool header = false) {
    QImage canvas = test::greyCanvas(kWidth, kHeight);
    Surface s(canvas);
    s.setBackgroundColour(kGrey);
    s.selectFont(kListFont);
    if (header) PaintMonitorHeader(s, metrics_, {}, columns);
    PaintMonitorRow(s, metrics_, {}, 0, security, kListText, columns);
    return canvas;
  }

  // The blank character cells [from, to) of a line (row 0, or the header).
  bool blank(const QImage& image, int from, int to, bool header = false) const {
    const int top = header ? 4 : metrics_.lineHeight + 4;
    return !hasInk(image, {4 + from * metrics_.digitWidth, top, 4 + to * metrics_.digitWidth,
                           top + metrics_.lineHeight});
  }

  ListMetrics metrics_;
};

TEST_F(MonitorColumnsOnScreen, NarrowValuesKeepTheListLayout) {
  auto security = test::makeSecurity("MSFT");
  QuoteBar& b = security->bars[0];
  b.SetTime("10:42am");
  b.open = 10.5;
  b.close = 99999.99;
  b.volume = 123456789;
  b.volumeAvg50 = 100000000;
  b.changePercent = -9.99;
  MonitorColumns columns;
  EXPECT_FALSE(FitMonitorRow(columns, *security));
  EXPECT_EQ(columns, MonitorColumns{});
  EXPECT_EQ(columns.lineWidth({}), 177);
  EXPECT_EQ(columns.lineWidth({false, false, false, false}), 67);
  // A ratio of 100 or more touches the average before it; a percent of
  // -10 or less touches the change.
  b.volumeAvg50 = 1000000;
  EXPECT_TRUE(FitMonitorRow(columns, *security));
  EXPECT_EQ(columns.volumeRatio, 7);
  b.changePercent = -10;
  EXPECT_TRUE(FitMonitorRow(columns, *security));
  EXPECT_EQ(columns.changePercent, 7);
}

TEST_F(MonitorColumnsOnScreen, WideValuesWidenTheirColumnsAndNoLonger_RunTogether) {
  const auto security = wideIndex();
  MonitorColumns columns;
  ASSERT_TRUE(FitMonitorRow(columns, *security));
  EXPECT_FALSE(FitMonitorRow(columns, *security));  // fitted once, stable after
  EXPECT_EQ(columns.symbol, 10);                    // nine letters and a blank
  EXPECT_EQ(columns.price[0], 10);
  EXPECT_EQ(columns.ema[1], 11);
  EXPECT_EQ(columns.volumeAverage, 10);  // "99999999K" and a blank
  EXPECT_EQ(columns.changePercent, 8);
  EXPECT_EQ(columns.stochD, 8);
  EXPECT_EQ(columns.time, MonitorColumns{}.time);

  // Every column, header and row, ends with a blank character before the
  // next one: the symbol is no longer overwritten by the time, the change
  // no longer runs into its percent.
  const QImage image = paint(*security, columns, true);
  int x = 0;
  for (int c = static_cast<int>(MonitorColumn::Symbol); c <= static_cast<int>(MonitorColumn::Bs4); ++c) {
    const int w = columns.width(static_cast<MonitorColumn>(c), {});
    if (c == static_cast<int>(MonitorColumn::Symbol) || c == static_cast<int>(MonitorColumn::Time)) {
      EXPECT_TRUE(blank(image, x + w - 1, x + w)) << "column " << c;  // left-aligned: blank after
    } else {
      EXPECT_TRUE(blank(image, x, x + 1)) << "column " << c;  // right-aligned: blank before
      EXPECT_TRUE(blank(image, x, x + 1, true)) << "header " << c;
    }
    x += w;
  }
  EXPECT_FALSE(blank(image, 0, 9));  // the symbol is there, whole
  EXPECT_TRUE(blank(image, 9, 10));
  EXPECT_TRUE(blank(image, x, kWidth / metrics_.digitWidth - 1));  // nothing past the line
  // With the default widths the same row runs over: its texts end further right.
  const QImage unfitted = paint(*security, MonitorColumns{});
  EXPECT_FALSE(blank(unfitted, 8, 9));  // the ninth letter, where the time starts
}

TEST_F(MonitorColumnsOnScreen, KeptWidthsOnlyGrow) {
  MonitorColumns columns;
  ASSERT_TRUE(FitMonitorRow(columns, *wideIndex()));
  const MonitorColumns wide = columns;
  EXPECT_FALSE(FitMonitorRow(columns, *test::makeSecurity("A")));
  EXPECT_EQ(columns, wide);
  // Nonsense values stop widening at a bound instead of pushing the table
  // off every screen.
  auto absurd = test::makeSecurity("X");
  absurd->bars[0].open = 1e300;
  EXPECT_TRUE(FitMonitorRow(columns, *absurd));
  EXPECT_EQ(columns.price[0], 32);
}

TEST_F(MonitorColumnsOnScreen, NotYetLoadedShowsTheSymbolAndBlankCells) {
  auto security = test::makeSecurity("IBM");
  security->bars.count = 0;  // as listed, before its history loads
  const QImage image = paint(*security, MonitorColumns{});
  EXPECT_FALSE(blank(image, 0, 3));
  EXPECT_TRUE(blank(image, 3, kWidth / metrics_.digitWidth - 1));
  // Loaded with zero values, the same security shows its zeros.
  security->bars.count = 32;
  EXPECT_FALSE(blank(paint(*security, MonitorColumns{}), 17, 26));
  // Only its symbol counts towards the widths.
  security->bars.count = 0;
  security->bars[0].open = 123456789.0;
  MonitorColumns columns;
  EXPECT_FALSE(FitMonitorRow(columns, *security));
}

TEST_F(MonitorColumnsOnScreen, ColumnUnderThePointerAndItsTooltip) {
  const int dw = metrics_.digitWidth;
  MonitorColumns columns;
  const MonitorSwitches every;
  auto at = [&](int character) { return MonitorColumnAt(columns, every, dw, 4 + character * dw + dw / 2); };
  EXPECT_EQ(MonitorColumnAt(columns, every, dw, 2), MonitorColumn::None);
  EXPECT_EQ(at(0), MonitorColumn::Symbol);
  EXPECT_EQ(at(8), MonitorColumn::Time);
  EXPECT_EQ(at(17), MonitorColumn::Open);
  EXPECT_EQ(at(92), MonitorColumn::ToEma10);
  EXPECT_EQ(at(99), MonitorColumn::Above5);
  EXPECT_EQ(at(140), MonitorColumn::Rsi);
  EXPECT_EQ(at(146), MonitorColumn::StochK);
  EXPECT_EQ(at(156), MonitorColumn::StochD);
  EXPECT_EQ(at(157), MonitorColumn::Bs0);
  EXPECT_EQ(at(176), MonitorColumn::Bs4);
  EXPECT_EQ(at(177), MonitorColumn::None);
  // Switched-off groups take no room; scrolling moves the columns.
  EXPECT_EQ(at(53), MonitorColumn::Volume);
  EXPECT_EQ(MonitorColumnAt(columns, {false, true, true, true}, dw, 4 + 53 * dw), MonitorColumn::Change);
  columns.originX = 4 - 17 * dw;
  EXPECT_EQ(at(0), MonitorColumn::Open);

  for (int c = static_cast<int>(MonitorColumn::Symbol); c <= static_cast<int>(MonitorColumn::Bs4); ++c)
    EXPECT_FALSE(MonitorColumnTip(static_cast<MonitorColumn>(c)).empty()) << c;
  EXPECT_TRUE(MonitorColumnTip(MonitorColumn::None).empty());
  EXPECT_NE(MonitorColumnTip(MonitorColumn::Bs2).find("2 days"), std::string_view::npos);
  EXPECT_NE(MonitorColumnTip(MonitorColumn::StochD).find("%D"), std::string_view::npos);
}

class MonitorSort : public ::testing::Test {
 protected:
  void SetUp() override {
    store_.Clear();
    add("CCC", 30.0, "S", 32);
    add("AAA", 10.0, "", 32);
    add("NEW", 0.0, "", 0);  // not loaded yet
    add("BBB", 30.0, "B", 32);
    add("DDD", 5.0, "B", 32);
  }
  void add(const char* symbol, double close, const char* mark, int bars) {
    auto d = test::makeSecurity(symbol);
    d->bars[0].close = close;
    d->bars[0].SetMark(mark);
    d->bars.count = bars;
    ASSERT_TRUE(store_.Append(*d));
  }
  SecurityStore store_;
};

TEST_F(MonitorSort, ByValueEitherWayWithTiesInListOrderAndUnloadedLast) {
  EXPECT_EQ(MonitorSortOrder(store_, MonitorColumn::Close, false), (std::vector<int>{4, 1, 0, 3, 2}));
  EXPECT_EQ(MonitorSortOrder(store_, MonitorColumn::Close, true), (std::vector<int>{0, 3, 1, 4, 2}));
  EXPECT_EQ(MonitorSortOrder(store_, MonitorColumn::Symbol, false), (std::vector<int>{1, 3, 0, 4, 2}));
  // Marks before blanks, B before S.
  EXPECT_EQ(MonitorSortOrder(store_, MonitorColumn::Bs0, false), (std::vector<int>{3, 4, 0, 1, 2}));
  EXPECT_TRUE(MonitorSortOrder(store_, MonitorColumn::None, false).empty());
  // A position past the order shows the list's own security.
  const std::vector<int> order{2, 0, 1};
  EXPECT_EQ(SecurityAtPosition(order, 0), 2);
  EXPECT_EQ(SecurityAtPosition(order, 4), 4);
  EXPECT_EQ(SecurityAtPosition({}, 3), 3);
}

}  // namespace
}  // namespace velmora
