// A loaded chart view driven with the mouse: pointer moves and what they
// show, the range selection band and where it leads, clicks and double
// clicks opening the Detail Quote dialog; and the monitor list's double
// click on a security's own data.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDate>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <cstring>
#include <memory>

#include "chart/chart_commands.h"
#include "chart/chart_setting_sheet.h"
#include "chart/detail_quote_dialog.h"
#include "core/chart_dates.h"
#include "core/compute_indicators.h"
#include "monitor/security_store.h"
#include "shell/velmora_view.h"
#include "support/engine_fixtures.h"
#include "support/qt/qt_test_environment.h"

namespace velmora {
namespace {

constexpr QRgb kBandOnBackground = rgb(41, 41, 214);  // yellow xor-ed into the background
constexpr int kBars = 200;
constexpr int kSlot = 5;  // pixels per bar once the view is sized for it

// Records the areas Qt is asked to show.
class PaintSpy : public QObject {
 public:
  QRegion painted;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
    return false;
  }
};

// Runs `act` on the next Detail Quote dialog, then closes it; returns the
// date it showed through `date` (left empty when none came up).
void onDetailQuote(QString* date, int* count = nullptr) {
  test::WhenModalShown([=](QWidget* modal) {
    auto* dialog = qobject_cast<CDetailQuoteDialog*>(modal);
    if (dialog == nullptr) return;
    *date = dialog->valueBox("Date:")->text();
    if (count != nullptr) *count = dialog->model().barCount();
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
}

// A chart view whose data is loaded: kBars trading days of a wavy walk,
// computed by the engine, every panel shown, the view sized so that a bar
// slot is exactly kSlot pixels wide.
class LoadedChart : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateChartSettingPages();
    ViewContext context;
    context.openChartSettings = [this](int index, const std::string& symbol) {
      ++sheets_;
      sheetIndex_ = index;
      sheetSymbol_ = symbol;
    };
    view_ = std::make_unique<CVelmoraView>(context);
    view_->viewMode = CVelmoraView::kChartMode;
    view_->loaded = 1;
    fill(view_->chart);
    view_->resize(900, 640);
    view_->show();
    QApplication::processEvents();
    view_->renderIfNeeded();
    // The layout pass has measured the label column: size the plot to it.
    view_->resize(view_->chart.axisWidth + kBars * kSlot, 640);
    QApplication::processEvents();
    view_->renderIfNeeded();
    ASSERT_EQ(view_->chart.barSpacing, kSlot);
    QApplication::processEvents();
  }
  void TearDown() override { DestroyChartSettingPages(); }

  static void fill(ChartViewModel& m) {
    m.settings.symbol = "MSFT";
    m.settings.showVolume = m.settings.showRsi = m.settings.showStochastics = m.settings.showMacd = 1;
    ChartData& d = m.data;
    d.bars.count = kBars;
    QDate day(2026, 12, 4);
    double close = 50;
    for (int i = 0; i < kBars; ++i, day = day.addDays(-1)) {
      while (day.dayOfWeek() > 5) day = day.addDays(-1);
      QuoteBar& b = d.bars[i];
      b.SetDate(day.toString("d-MMM-yy").toLatin1().constData());
      b.SetTime("00:00AM");
      b.open = close + std::sin(i * 0.7) * 0.8;
      b.close = close;
      b.high = std::max(b.open, close) + 0.6 + (i % 7) * 0.1;
      b.low = std::min(b.open, close) - 0.6;
      b.volume = 100000 + (i * 7919) % 50000;
      close = std::max(5.0, close + std::sin(i * 0.05) * 0.9 + std::cos(i * 0.31) * 0.5);
    }
    computeIndicators(false, false, 14, 14, 3, 3, kBars - 1, 0, BarsOf(d.bars), d.signalState, 2);
    d.newestVisible = 0;
    d.oldestVisible = kBars - 1;
    d.visibleCount = kBars;
    for (int i = 0; i < kBars; ++i) {
      d.priceMax = std::max(d.priceMax, d.bars[i].high);
      d.priceMin = std::min(d.priceMin, d.bars[i].low);
      d.volumeMax = std::max(d.volumeMax, d.bars[i].volume);
      d.volumeMin = std::min(d.volumeMin, d.bars[i].volume);
    }
  }

  const ChartViewModel& m() const { return view_->chart; }
  // The middle of bar i's slot, and a height inside the price panel.
  int xOfBar(int i) const { return m().slotLeft(i) + kSlot / 2; }
  int priceY() const { return (m().topMargin + m().priceBottom) / 2; }
  QString dateOf(int i) const { return QString::fromLatin1(m().bar(i).date); }

  void drag(int fromX, int toX) {
    QTest::mousePress(view_.get(), Qt::LeftButton, {}, QPoint(fromX, priceY()));
    QTest::mouseMove(view_.get(), QPoint((fromX + toX) / 2, priceY()));
    QTest::mouseMove(view_.get(), QPoint(toX, priceY()));
    QTest::mouseRelease(view_.get(), Qt::LeftButton, {}, QPoint(toX, priceY()));
  }
  std::pair<std::string, std::string> chosenDates() const {
    const auto& v = ProgramChartSettingPages()->symbolPage().values();
    return {v.startDate, v.endDate};
  }
  static std::string settingsDate(const QuoteBar& bar) {
    CalendarDate d;
    ParseDate(bar.date, d.year, d.month, d.day);
    return FormatSettingsDate(d);
  }

  std::unique_ptr<CVelmoraView> view_;
  int sheets_ = 0;
  int sheetIndex_ = 0;
  std::string sheetSymbol_ = "unset";
};

TEST_F(LoadedChart, PointerMovesShowOnlyWhatTheyChange) {
  PaintSpy spy;
  view_->installEventFilter(&spy);
  const QImage before = view_->canvas().copy();
  const int paints = view_->fullPaints();
  const QPoint a(xOfBar(120), priceY()), b(xOfBar(40), priceY() + 30);

  QTest::mouseMove(view_.get(), a);
  QApplication::processEvents();
  const QImage atA = view_->canvas().copy();
  EXPECT_EQ(view_->fullPaints(), paints) << "a move never repaints the chart";
  EXPECT_EQ(atA.pixel(a.x(), m().topMargin + 5), rgb(214, 41, 41)) << "vertical hair";
  // Every changed pixel was shown, and what was shown is a small part.
  const QRegion shown = spy.painted;
  for (int y = 0; y < atA.height(); ++y)
    for (int x = 0; x < atA.width(); ++x)
      if (atA.pixel(x, y) != before.pixel(x, y)) {
        ASSERT_TRUE(shown.contains(QPoint(x, y))) << x << "," << y;
      }
  long area = 0;
  for (const QRect& r : shown) area += static_cast<long>(r.width()) * r.height();
  EXPECT_LT(area, static_cast<long>(atA.width()) * atA.height() / 8);
  EXPECT_FALSE(shown.contains(QPoint(a.x() + 60, a.y() + 60)));

  // Away and back: the second visit leaves exactly the picture of the first.
  QTest::mouseMove(view_.get(), b);
  QTest::mouseMove(view_.get(), a);
  EXPECT_TRUE(view_->canvas() == atA);
  view_->removeEventFilter(&spy);
}

TEST_F(LoadedChart, BandCoversTheSelectedBarsAndGivesTheSameRangeBothWays) {
  const int older = 150, newer = 60;
  QTest::mouseMove(view_.get(), QPoint(xOfBar(older), priceY()));
  QTest::mousePress(view_.get(), Qt::LeftButton, {}, QPoint(xOfBar(older), priceY()));
  EXPECT_EQ(m().selecting, 1u);
  const QImage pressed = view_->canvas().copy();
  QTest::mouseMove(view_.get(), QPoint(xOfBar(newer), priceY()));
  // The band runs from the highest high to the lowest low of the bars, in
  // XOR: in a column between two bars every pixel of the band is the old
  // one xor-ed with yellow, and nothing else changed.
  double high = 0, low = 1e9;
  for (int i = newer; i <= older; ++i)
    high = std::max(high, m().bar(i).high), low = std::min(low, m().bar(i).low);
  EXPECT_EQ(m().bandTop, m().yOfPrice(high));
  EXPECT_EQ(m().bandBottom, m().yOfPrice(low));
  const int column = m().slotLeft(100) + kSlot - 1;
  for (int y = m().topMargin + 1; y < m().priceBottom; ++y) {
    const bool inBand = y >= m().yOfPrice(high) && y < m().yOfPrice(low);
    ASSERT_EQ(view_->canvas().pixel(column, y),
              inBand ? pressed.pixel(column, y) ^ 0xffff00u : pressed.pixel(column, y))
        << y;
  }
  int onBackground = 0;
  for (int y = m().yOfPrice(high); y < m().yOfPrice(low); ++y)
    onBackground += view_->canvas().pixel(column, y) == kBandOnBackground;
  EXPECT_GT(onBackground, 10) << "yellow over the grey background";
  QTest::mouseRelease(view_.get(), Qt::LeftButton, {}, QPoint(xOfBar(newer), priceY()));

  EXPECT_EQ(m().selecting, 0u);
  EXPECT_EQ(sheets_, 1);
  EXPECT_EQ(sheetIndex_, -1);
  EXPECT_EQ(sheetSymbol_, "");
  EXPECT_EQ(ProgramChartSettingPages()->symbolPage().values().duration, "Customize");
  const auto leftToRight = chosenDates();
  EXPECT_EQ(leftToRight.first, settingsDate(m().bar(older)));
  EXPECT_EQ(leftToRight.second, settingsDate(m().bar(newer)));
  // The band is gone with the release.
  for (int y = m().topMargin + 1; y < m().priceBottom; ++y)
    ASSERT_EQ(view_->canvas().pixel(column, y), pressed.pixel(column, y)) << y;

  drag(xOfBar(newer), xOfBar(older));
  EXPECT_EQ(sheets_, 2);
  EXPECT_EQ(chosenDates(), leftToRight);
}

TEST_F(LoadedChart, DragIntoTheLabelColumnEndsAtTheNewestBar) {
  const int from = xOfBar(30);
  QTest::mousePress(view_.get(), Qt::LeftButton, {}, QPoint(from, priceY()));
  const QImage pressed = view_->canvas().copy();
  QTest::mouseMove(view_.get(), QPoint(m().clientWidth - 3, priceY()));
  EXPECT_EQ(m().bandRight, m().plotRight()) << "clipped at the plot edge";
  const int y = (m().bandTop + m().bandBottom) / 2;
  EXPECT_EQ(view_->canvas().pixel(m().plotRight() - 1, y), pressed.pixel(m().plotRight() - 1, y) ^ 0xffff00u);
  EXPECT_EQ(view_->canvas().pixel(m().plotRight() + 3, y), pressed.pixel(m().plotRight() + 3, y));
  QTest::mouseRelease(view_.get(), Qt::LeftButton, {}, QPoint(m().clientWidth - 3, priceY()));
  ASSERT_EQ(sheets_, 1);
  EXPECT_EQ(chosenDates().first, settingsDate(m().bar(30)));
  EXPECT_EQ(chosenDates().second, settingsDate(m().bar(m().data.newestVisible)));
}

TEST_F(LoadedChart, ClickOrShortDragOpensTheDetailQuoteOfTheBarUnderThePointer) {
  QString date;
  int count = 0;
  onDetailQuote(&date, &count);
  QTest::mouseClick(view_.get(), Qt::LeftButton, {}, QPoint(xOfBar(77), priceY()));
  EXPECT_EQ(date, dateOf(77));
  EXPECT_EQ(count, kBars - 77) << "the clicked bar and every older one";
  EXPECT_EQ(m().selecting, 0u);

  // A drag of exactly one bar slot is still a click, for the release point.
  const int from = m().slotLeft(50) + 1;
  date.clear();
  onDetailQuote(&date);
  drag(from, from + kSlot);
  EXPECT_EQ(date, dateOf(49));
  EXPECT_EQ(sheets_, 0);
  // One pixel more is a range.
  drag(from, from + kSlot + 1);
  EXPECT_EQ(sheets_, 1);

  // Only bars of the plot: not the price column, not past the newest slot.
  EXPECT_EQ(DetailQuoteBarAt(m(), m().leftMargin), kBars - 1);
  EXPECT_EQ(DetailQuoteBarAt(m(), m().plotRight() - 1), 0);
  EXPECT_EQ(DetailQuoteBarAt(m(), m().plotRight()), -1);
  EXPECT_EQ(DetailQuoteBarAt(m(), m().clientWidth - 3), -1);
  EXPECT_EQ(DetailQuoteBarAt(m(), -1), -1);

  // A double click, also in the oldest and newest slots.
  for (int bar : {kBars - 1, 0, 120}) {
    date.clear();
    onDetailQuote(&date);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(xOfBar(bar), priceY()),
                    view_->mapToGlobal(QPointF(xOfBar(bar), priceY())), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(view_.get(), &dbl);
    EXPECT_EQ(date, dateOf(bar));
  }
}

TEST(MonitorDoubleClick, OpensTheSelectedSecurityOnACopyOfItsData) {
  SecurityStore store;
  for (const char* symbol : {"IBM", "MSFT"}) {
    auto data = std::make_unique<SecurityData>();
    EXPECT_TRUE(InitSecurityEntry(*data, symbol, 0));
    auto bars = test::MarketBars(400, symbol[0]);
    computeIndicators(false, false, 14, 14, 3, 3, 399, 0, bars, data->signalState, 2);
    for (int i = 0; i < kMonitoredBars; ++i) data->bars[i].CopyFrom(bars[static_cast<std::size_t>(i)]);
    data->bars[0].SetDate(symbol[0] == 'I' ? "3-Dec-26" : "4-Dec-26");
    data->bars.count = kMonitoredBars;
    EXPECT_TRUE(store.Append(*data));
  }
  auto before = std::make_unique<SecurityData>();
  ASSERT_TRUE(store.Read(1, *before));
  SystemConfig config;
  ViewContext context;
  context.store = &store;
  context.config = &config;
  CVelmoraView view(context);
  view.resize(800, 300);
  view.show();
  QApplication::processEvents();
  view.monitorPointerMove(10, ListTextTop(view.lineHeight, 1) + 1);

  QString date;
  int count = 0;
  test::WhenModalShown([&](QWidget* modal) {
    auto* dialog = qobject_cast<CDetailQuoteDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    date = dialog->valueBox("Date:")->text();
    count = dialog->model().barCount();
    // A what-if close changes the dialog's copy only.
    QTest::keyClick(dialog->closeBox(), Qt::Key_Up);
    QTest::keyClick(dialog->closeBox(), Qt::Key_Up);
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  QTest::mouseDClick(&view, Qt::LeftButton, {}, QPoint(10, ListTextTop(view.lineHeight, 1) + 1));
  EXPECT_EQ(date, "4-Dec-26");
  EXPECT_EQ(count, kMonitoredBars);
  auto after = std::make_unique<SecurityData>();
  ASSERT_TRUE(store.Read(1, *after));
  EXPECT_EQ(std::memcmp(before->bars.data(), after->bars.data(), sizeof(QuoteBar) * kMonitoredBars), 0);
  EXPECT_EQ(std::memcmp(&before->signalState, &after->signalState, sizeof(SignalState)), 0);
}

}  // namespace
}  // namespace velmora
