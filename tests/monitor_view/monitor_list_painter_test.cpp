// The monitor list's pixels: every text where the position rules put it,
// in the colours the comparison rules give.
#include "monitor_view/monitor_list_painter.h"

#include <gtest/gtest.h>

#include <string>

#include "support/monitor_test_data.h"

namespace velmora {
namespace {

using test::hasInk;
using test::inkColours;
using test::kBlack;
using test::kGreen;
using test::kGrey;
using test::kRed;

constexpr int kWidth = 1600;
constexpr int kHeight = 80;

class MonitorListPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    QImage probe = test::greyCanvas(1, 1);
    Surface s(probe);
    metrics_ = MeasureListMetrics(s);
  }

  // The row as the painter draws it, in list row 0.
  QImage paintRow(const SecurityData& security, const MonitorSwitches& switches = {}) {
    QImage canvas = test::greyCanvas(kWidth, kHeight);
    Surface s(canvas);
    s.setBackgroundColour(kGrey);
    s.selectFont(kListFont);
    PaintMonitorRow(s, metrics_, switches, 0, security);
    return canvas;
  }

  // The same row written by hand: the symbol, the time and the rest of the
  // line as one text from character 17, all in black.
  QImage referenceRow(const char* symbol, const char* time, const std::string& rest) {
    QImage canvas = test::greyCanvas(kWidth, kHeight);
    Surface s(canvas);
    s.setBackgroundColour(kGrey);
    s.selectFont(kListFont);
    const int y = rowTop();
    s.textOut(4, y, symbol);
    s.textOut(column(8), y, time);
    s.textOut(column(17), y, rest);
    return canvas;
  }

  int column(int characters) const { return 4 + characters * metrics_.digitWidth; }
  int rowTop() const { return metrics_.lineHeight + 4; }
  // Characters [from, to) of list row 0.
  Rect cells(int from, int to) const {
    return {column(from), rowTop(), column(to), rowTop() + metrics_.lineHeight};
  }

  static void expectSameInk(const QImage& actual, const QImage& expected) {
    int differences = 0;
    for (int y = 0; y < actual.height(); ++y)
      for (int x = 0; x < actual.width(); ++x)
        if ((actual.pixel(x, y) != kGrey) != (expected.pixel(x, y) != kGrey) && ++differences <= 5)
          ADD_FAILURE() << "ink differs at (" << x << ", " << y << ")";
    EXPECT_EQ(differences, 0);
  }

  ListMetrics metrics_;
};

// Bar 0 with a value in every field; bar 1 closed at 10.00.
std::unique_ptr<SecurityData> workedSecurity() {
  auto d = test::makeSecurity("MSFT");
  QuoteBar& b = d->bars[0];
  b.SetTime("10:42am");
  b.open = 10.50;
  b.high = 11.00;
  b.low = 9.75;
  b.close = 10.25;
  b.volume = 123456789;
  b.volumeAvg50 = 1000000;
  b.change = -0.25;
  b.changePercent = -2.38;
  b.toEma10Percent = 1.5;
  b.ema5 = 10.10;
  b.aboveEma5 = 'Y';
  b.ema10 = 10.20;
  b.aboveEma10 = 'N';
  b.ema20 = 10.30;
  b.aboveEma20 = 'Y';
  b.ema50 = 10.40;
  b.aboveEma50 = 'N';
  b.rsi = 55.5;
  b.stochK = 80;
  b.stochD = 75.25;
  d->bars[1].close = 10.00;
  d->bars[1].SetMark("B");
  d->bars[3].SetMark("S");
  return d;
}

TEST_F(MonitorListPixels, FontCellIsFixedPitch) {
  EXPECT_GT(metrics_.digitWidth, 5);
  EXPECT_EQ(metrics_.lineHeight, 15);
  QImage probe = test::greyCanvas(1, 1);
  Surface s(probe);
  s.selectFont(kListFont);
  // Every character advances by the digit width, so columns line up.
  EXPECT_EQ(s.textExtent("Wi%K.").width, 5 * metrics_.digitWidth);
}

TEST_F(MonitorListPixels, HeaderLineWithEveryColumn) {
  QImage actual = test::greyCanvas(kWidth, kHeight);
  QImage expected = test::greyCanvas(kWidth, kHeight);
  {
    Surface s(actual);
    s.setBackgroundColour(kGrey);
    s.selectFont(kListFont);
    PaintMonitorHeader(s, metrics_, {});
  }
  {
    Surface s(expected);
    s.setBackgroundColour(kGrey);
    s.selectFont(kListFont);
    s.textOut(4, 4,
              "Symbol  Time          Open     High      Low    Close    Volume  Volume 50DAvg     Change(%)"
              " To10D%   Above5D  Above10D  Above20D  Above50D RSI14  %K03  %D03 BS0 BS1 BS2 BS3 BS4");
  }
  expectSameInk(actual, expected);
  EXPECT_EQ(inkColours(actual, {0, 0, kWidth, kHeight}), std::vector<QRgb>{kBlack});
}

TEST_F(MonitorListPixels, RowTextsSitInTheirColumns) {
  const auto security = workedSecurity();
  const std::string rest =
      "    10.50    11.00     9.75    10.25"  // open high low close
      "   123456K"                            // 123456789 in thousands
      "  1000000123.46"                       // average and ratio
      "  -0.25 -2.38%"                        // change and percent
      "   1.50   10.10 Y   10.20 N   10.30 Y   10.40 N"
      " 55.50 80.00 75.25"
      "       B       S    ";
  expectSameInk(paintRow(*security), referenceRow("MSFT", "10:42am", rest));
}

TEST_F(MonitorListPixels, OpenCloseAndChangeColours) {
  auto security = workedSecurity();
  QImage row = paintRow(*security);
  EXPECT_EQ(inkColours(row, cells(0, 17)), std::vector<QRgb>{kBlack});   // symbol and time
  EXPECT_EQ(inkColours(row, cells(17, 26)), std::vector<QRgb>{kGreen});  // open above the previous close
  EXPECT_EQ(inkColours(row, cells(26, 44)), std::vector<QRgb>{kBlack});  // high and low
  EXPECT_EQ(inkColours(row, cells(44, 53)), std::vector<QRgb>{kRed});    // close below the open
  EXPECT_EQ(inkColours(row, cells(53, 78)), std::vector<QRgb>{kBlack});  // volumes
  EXPECT_EQ(inkColours(row, cells(78, 92)), std::vector<QRgb>{kRed});    // negative change, both parts
  EXPECT_EQ(inkColours(row, cells(92, 177)), std::vector<QRgb>{kBlack});

  // Equal values are black; a rising change is green; a close above the open green.
  security->bars[1].close = 10.50;
  security->bars[0].close = 10.75;
  security->bars[0].change = 0.25;
  security->bars[0].changePercent = 2.38;
  row = paintRow(*security);
  EXPECT_EQ(inkColours(row, cells(17, 26)), std::vector<QRgb>{kBlack});
  EXPECT_EQ(inkColours(row, cells(44, 53)), std::vector<QRgb>{kGreen});
  EXPECT_EQ(inkColours(row, cells(78, 92)), std::vector<QRgb>{kGreen});
  security->bars[0].change = 0;
  row = paintRow(*security);
  EXPECT_EQ(inkColours(row, cells(78, 92)), std::vector<QRgb>{kBlack});
}

TEST_F(MonitorListPixels, VolumesInFullOrInThousands) {
  auto security = workedSecurity();
  QuoteBar& b = security->bars[0];
  b.volume = 99999999;
  b.volumeAvg50 = 0;  // no average: the ratio is 0
  const MonitorSwitches volumeOnly{true, false, false, false};
  std::string rest = "    10.50    11.00     9.75    10.25  99999999        0  0.00  -0.25 -2.38%";
  expectSameInk(paintRow(*security, volumeOnly), referenceRow("MSFT", "10:42am", rest));

  b.volume = 2000000000;
  b.volumeAvg50 = 123456789;
  rest = "    10.50    11.00     9.75    10.25  2000000K  123456K 16.20  -0.25 -2.38%";
  expectSameInk(paintRow(*security, volumeOnly), referenceRow("MSFT", "10:42am", rest));

  // An index's day beyond 32 bits, and the widest real volumes (a hundred
  // billion) still fit their columns.
  b.volume = 5179990000LL;
  b.volumeAvg50 = 4412345678LL;
  rest = "    10.50    11.00     9.75    10.25  5179990K 4412345K  1.17  -0.25 -2.38%";
  expectSameInk(paintRow(*security, volumeOnly), referenceRow("MSFT", "10:42am", rest));
  b.volume = 99999999999LL;
  b.volumeAvg50 = 99999999999LL;
  rest = "    10.50    11.00     9.75    10.25 99999999K99999999K  1.00  -0.25 -2.38%";
  expectSameInk(paintRow(*security, volumeOnly), referenceRow("MSFT", "10:42am", rest));
}

TEST_F(MonitorListPixels, SwitchedOffGroupsCloseUp) {
  const auto security = workedSecurity();
  // Without volume and averages the change is followed by the RSI columns.
  const MonitorSwitches switches{false, false, true, false};
  const std::string rest = "    10.50    11.00     9.75    10.25  -0.25 -2.38% 55.50 80.00 75.25";
  expectSameInk(paintRow(*security, switches), referenceRow("MSFT", "10:42am", rest));

  QImage header = test::greyCanvas(kWidth, kHeight);
  QImage expected = test::greyCanvas(kWidth, kHeight);
  {
    Surface s(header);
    s.setBackgroundColour(kGrey);
    s.selectFont(kListFont);
    PaintMonitorHeader(s, metrics_, switches);
  }
  {
    Surface s(expected);
    s.setBackgroundColour(kGrey);
    s.selectFont(kListFont);
    s.textOut(4, 4, "Symbol  Time          Open     High      Low    Close     Change(%) RSI14  %K03  %D03");
  }
  expectSameInk(header, expected);
}

TEST_F(MonitorListPixels, WideValuesPushTheRestOfTheLine) {
  auto security = workedSecurity();
  security->bars[0].open = 1234567.5;  // 10 characters in a 9-character column
  const MonitorSwitches none{false, false, false, false};
  const std::string rest = "1234567.50    11.00     9.75    10.25  -0.25 -2.38%";
  expectSameInk(paintRow(*security, none), referenceRow("MSFT", "10:42am", rest));
}

TEST_F(MonitorListPixels, RowsFromTheTopRowToTheEndOfTheList) {
  SecurityStore store;
  test::fillStore(store, test::numberedSymbols(5));
  QImage canvas = test::greyCanvas(400, 200);
  {
    Surface s(canvas);
    s.setBackgroundColour(kGrey);
    s.selectFont(kListFont);
    PaintMonitorRows(s, metrics_, {}, store, 3, 10, kBlack);
  }
  const int lh = metrics_.lineHeight;
  auto band = [&](int row) { return Rect{0, ListTextTop(lh, row), 400, ListTextTop(lh, row + 1)}; };
  EXPECT_TRUE(hasInk(canvas, band(0)));   // S003
  EXPECT_TRUE(hasInk(canvas, band(1)));   // S004
  EXPECT_FALSE(hasInk(canvas, band(2)));  // the list ends
  EXPECT_FALSE(hasInk(canvas, {0, 0, 400, ListTextTop(lh, 0)}));

  QImage expected = test::greyCanvas(400, 200);
  {
    Surface s(expected);
    s.setBackgroundColour(kGrey);
    s.selectFont(kListFont);
    s.textOut(4, ListTextTop(lh, 0), "S003");
    s.textOut(4, ListTextTop(lh, 1), "S004");
  }
  const Rect symbols{0, 0, column(8), 200};
  for (int y = 0; y < 200; ++y)
    for (int x = symbols.left; x < symbols.right; ++x)
      ASSERT_EQ(canvas.pixel(x, y) != kGrey, expected.pixel(x, y) != kGrey) << x << "," << y;
}

TEST(MonitorListGeometry, RowsFramesAndPointerRows) {
  EXPECT_EQ(ListTextTop(15, -1), 4);
  EXPECT_EQ(ListTextTop(15, 0), 19);
  EXPECT_EQ(ListTextTop(15, 2), 49);
  EXPECT_EQ(ListRowCount(1000, 15), 65);  // (1000 - 8) / 15 - 1
  EXPECT_EQ(ListRowFrame(15, 2, 800), (Rect{1, 49, 799, 64}));
  EXPECT_EQ(ListRowAt(15, 3), -1);  // above the header's bottom
  EXPECT_EQ(ListRowAt(15, 18), -1);
  EXPECT_EQ(ListRowAt(15, 19), 0);
  EXPECT_EQ(ListRowAt(15, 33), 0);
  EXPECT_EQ(ListRowAt(15, 34), 1);
}

}  // namespace
}  // namespace velmora
