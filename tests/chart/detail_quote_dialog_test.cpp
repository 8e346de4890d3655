// The Detail Quote dialog driven as a user drives it: typing into the close
// box, its arrows and keys, and opening it modally over the caller's data.
#include "chart/detail_quote_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "backtest/backtest.h"
#include "base/system_config.h"
#include "chart/chart_commands.h"
#include "chart_test_model.h"
#include "core/compute_indicators.h"
#include "core/signal_engine.h"
#include "support/engine_fixtures.h"
#include "support/qt/qt_test_environment.h"
#include "support/qt/scoped_locale.h"

namespace velmora {
namespace {

constexpr int kConfirmDays = 2;

std::string cents(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2lf", RoundTo2Decimals(v));
  return text;
}

QString shown(const CDetailQuoteDialog& d, const char* label) {
  return d.valueBox(QString::fromLatin1(label))->text();
}

// A monitored security as the loader leaves it, with dated bars.
using test::Monitored;

Monitored monitored(std::uint32_t seed) {
  Monitored m = test::MonitoredSecurity(seed, kConfirmDays);
  for (int i = 0; i < kMonitoredBars; ++i) {
    char date[16];
    std::snprintf(date, sizeof date, "%d-Dec-05", 31 - i % 31);
    m.bars[static_cast<std::size_t>(i)].SetDate(date);
  }
  return m;
}

std::unique_ptr<CDetailQuoteDialog> fromList(const Monitored& m) {
  auto d = std::make_unique<CDetailQuoteDialog>(m.bars, false, true, kConfirmDays, 0, m.state, kConfirmDays);
  d->show();
  return d;
}

// Runs `act` on the modal dialog once it is up, then presses its OK button.
void WhenDialogShown(std::function<void(CDetailQuoteDialog&)> act, bool* seen, int triesLeft = 500) {
  QTimer::singleShot(10, [=] {
    auto* d = qobject_cast<CDetailQuoteDialog*>(QApplication::activeModalWidget());
    if (d == nullptr) {
      if (triesLeft > 0) WhenDialogShown(act, seen, triesLeft - 1);
      return;
    }
    *seen = true;
    act(*d);
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
}

// Every label of the dialog, boxes and signal columns.
constexpr const char* kLabels[] = {"Date:",
                                   "Open:",
                                   "High:",
                                   "Low:",
                                   "Close:",
                                   "Change:",
                                   "Change%:",
                                   "Volume:",
                                   "Avg Vol:",
                                   "Ratio:",
                                   "Cur.Trend:",
                                   "Pre Close:",
                                   "Prev 2 High:",
                                   "Prev 2 Low:",
                                   "To EMA10:",
                                   "%",
                                   "EMA5:",
                                   "EMA10:",
                                   "EMA20:",
                                   "EMA50:",
                                   "EMA100:",
                                   "EMA200:",
                                   "RSI(14):",
                                   "%K(14):",
                                   "%D(3):",
                                   "BS0",
                                   "BS1",
                                   "BS2",
                                   "BS3",
                                   "BS4",
                                   "BS5",
                                   "Bullish if closing above:",
                                   "Bearish if closing below:"};

TEST(DetailQuoteDialog, ShowsTheBarWithEveryLabelAndGroup) {
  std::vector<QuoteBar> bars(3);
  bars[0].breakState = kInside;
  bars[0].trend = kDown;
  bars[0].SetDate("6-Dec-05");
  bars[0].close = 10.5;
  bars[0].aboveEma50 = 'Y';
  bars[1].upperBreak = 10.75;
  bars[1].lowerBreak = 9.25;
  bars[2].SetMark("S");
  CDetailQuoteDialog d(bars, false, false, 2, 0, SignalState{}, kConfirmDays);
  EXPECT_EQ(d.windowTitle(), "Detail Quote");
  EXPECT_TRUE(d.isModal());
  EXPECT_EQ(shown(d, "Cur.Trend:"), "Down");
  EXPECT_EQ(d.breakStateBox()->text(), "Sideline");
  EXPECT_EQ(d.sentimentLine()->text(), "Today's sentiment is neutral.");
  EXPECT_EQ(shown(d, "Date:"), "6-Dec-05");
  EXPECT_EQ(d.closeBox()->text(), "10.50");
  EXPECT_EQ(shown(d, "Bullish if closing above:"), "10.75");
  EXPECT_EQ(shown(d, "Bearish if closing below:"), "9.25");
  EXPECT_EQ(shown(d, "BS2"), "S");
  EXPECT_EQ(shown(d, "BS0"), "");
  EXPECT_EQ(d.aboveBox(3)->text(), "Y");
  EXPECT_EQ(d.aboveBox(0)->text(), "N");

  QStringList labels;
  for (QLabel* l : d.findChildren<QLabel*>()) labels << l->text();
  for (const char* label : kLabels) {
    EXPECT_TRUE(labels.contains(QString::fromLatin1(label))) << label;
  }
  QStringList groups;
  for (QGroupBox* g : d.findChildren<QGroupBox*>()) groups << g->title();
  for (const char* title : {"Today's Trade Information", "Previous 2 Days/Weeks", "Moving Average",
                            "Technical Indicators", "Buy/Sell Signal"}) {
    EXPECT_TRUE(groups.contains(QString::fromLatin1(title))) << title;
  }
}

TEST(DetailQuoteDialog, SteppingUpPastTheUpperLevelTurnsBullish) {
  // A chart bar in a down trend, opened with the clicked bar and all older ones.
  const test::DownTrendBar bar = test::FindDownTrendBar(kConfirmDays);
  ASSERT_GE(bar.index, 0);
  const auto& all = bar.all;
  const SignalState& chartState = bar.state;
  const int clicked = bar.index;
  const int count = 500 - clicked;
  CDetailQuoteDialog d(std::span<const QuoteBar>(all.data() + clicked, static_cast<std::size_t>(count)),
                       false, false, count - 1, 0, chartState, kConfirmDays);
  d.show();
  ASSERT_EQ(shown(d, "Cur.Trend:"), "Down");
  const double level = d.model().bar(1).upperBreak;
  EXPECT_EQ(shown(d, "Bullish if closing above:").toStdString(), cents(level));
  ASSERT_GT(level, all[clicked].close);

  // The up arrow, clicked with the mouse, raises the close by one cent.
  const double opened = all[clicked].close;
  QTest::mouseClick(d.closeBox(), Qt::LeftButton, {}, d.closeBox()->arrowRect(true).center());
  EXPECT_EQ(d.closeBox()->text().toStdString(), cents(opened + 0.01));
  EXPECT_EQ(shown(d, "Change:").toStdString(), cents(opened + 0.01 - all[clicked + 1].close));

  int steps = 0;
  while (d.breakStateBox()->text() != "Up" && steps++ < 5000) QTest::keyClick(d.closeBox(), Qt::Key_Up);
  const double close = std::atof(d.closeBox()->text().toLatin1().constData());
  EXPECT_GT(close, level);
  EXPECT_LE(RoundTo2Decimals(close - 0.01), level);  // one cent less was not enough
  EXPECT_EQ(d.sentimentLine()->text(), "Today's sentiment is bullish.");
  EXPECT_EQ(shown(d, "Cur.Trend:"), "Up");
  EXPECT_EQ(shown(d, "Bullish if closing above:").toStdString(), cents(level));  // P1's level stays

  // One step back down leaves the break again.
  QTest::keyClick(d.closeBox(), Qt::Key_Down);
  EXPECT_EQ(d.breakStateBox()->text(), "Sideline");
  EXPECT_EQ(d.sentimentLine()->text(), "Today's sentiment is neutral.");
}

TEST(DetailQuoteDialog, TypingRecomputesOnlyOnAFinishedNumber) {
  const Monitored m = monitored(21);
  auto d = fromList(m);
  CloseSpinBox* box = d->closeBox();
  const double p1 = m.bars[1].close;
  auto change = [&] { return shown(*d, "Change:").toStdString(); };
  auto typeAt = [&](Qt::Key where, const char* text) {
    QTest::keyClick(box, where);
    QTest::keyClicks(box, text);
  };

  box->selectAll();
  QTest::keyClicks(box, "2");
  EXPECT_EQ(change(), cents(2 - p1));
  // "12." waits for more digits: bar 0 keeps 2 while the box shows 12.
  typeAt(Qt::Key_End, ".");
  typeAt(Qt::Key_Home, "1");
  EXPECT_EQ(box->text(), "12.");
  EXPECT_EQ(change(), cents(2 - p1));
  EXPECT_EQ(d->model().bar(0).close, 2);
  // "12.5" recomputes at once.
  typeAt(Qt::Key_End, "5");
  EXPECT_EQ(change(), cents(12.5 - p1));
  EXPECT_EQ(d->model().bar(0).close, 12.5);

  // "12.50" waits as well: from 2.5, the box shows 12.50 and bar 0 keeps 2.5.
  typeAt(Qt::Key_Home, "");
  QTest::keyClick(box, Qt::Key_Delete);
  EXPECT_EQ(change(), cents(2.5 - p1));
  typeAt(Qt::Key_End, "0");
  typeAt(Qt::Key_Home, "1");
  EXPECT_EQ(box->text(), "12.50");
  EXPECT_EQ(change(), cents(2.5 - p1));
  EXPECT_EQ(d->model().bar(0).close, 2.5);
  // Until another non-zero digit follows.
  typeAt(Qt::Key_End, "1");
  EXPECT_EQ(d->model().bar(0).close, 12.501);

  // Letters and signs are refused.
  QTest::keyClicks(box, "-a,e+");
  EXPECT_EQ(box->text(), "12.501");

  // Enter applies a waiting number and leaves the dialog open.
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_EQ(d->model().bar(0).close, 12.501);
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(d->model().bar(0).close, 12.5);
  EXPECT_EQ(change(), cents(12.5 - p1));
  EXPECT_EQ(box->text(), "12.50");
  EXPECT_TRUE(d->isVisible());

  // A step starts from the number in the box, even one still waiting.
  typeAt(Qt::Key_Home, "");
  QTest::keyClick(box, Qt::Key_Delete);  // "2.50"
  QTest::keyClick(box, Qt::Key_Down);
  EXPECT_EQ(box->text(), "2.49");
  EXPECT_EQ(change(), cents(2.49 - p1));
}

// Under a German locale the numbers show with a comma, and a close typed
// with a comma or a point is taken alike; a second separator is refused.
TEST(DetailQuoteDialog, UnderAGermanLocaleACommaShowsAndEitherSeparatorIsTaken) {
  const test::ScopedLocale german(QLocale(QLocale::German, QLocale::Germany));
  const Monitored m = monitored(21);
  auto d = fromList(m);
  CloseSpinBox* box = d->closeBox();
  auto comma = [](std::string text) { return QString::fromStdString(text).replace('.', ','); };
  EXPECT_EQ(shown(*d, "Open:"), comma(cents(m.bars[0].open)));
  for (const char* typed : {"13,25", "13.25"}) {
    box->selectAll();
    QTest::keyClicks(box, typed);
    EXPECT_EQ(box->text(), typed);
    EXPECT_EQ(d->model().bar(0).close, 13.25);
    EXPECT_EQ(shown(*d, "Change:"), comma(cents(13.25 - m.bars[1].close)));
  }
  box->selectAll();
  QTest::keyClicks(box, "14,,");
  EXPECT_EQ(box->text(), "14,");
  EXPECT_EQ(d->model().bar(0).close, 14);
}

TEST(DetailQuoteDialog, TheCloseStepsByCentsAndNotBelowZero) {
  std::vector<QuoteBar> bars(2);
  bars[0].close = 0.02;
  bars[1].close = 0.04;
  CDetailQuoteDialog d(bars, false, false, 1, 0, SignalState{}, kConfirmDays);
  d.show();
  QTest::mouseClick(d.closeBox(), Qt::LeftButton, {}, d.closeBox()->arrowRect(false).center());
  EXPECT_EQ(d.closeBox()->text(), "0.01");
  EXPECT_EQ(shown(d, "Change%:"), "-75.00");
  QTest::keyClick(d.closeBox(), Qt::Key_Down);
  QTest::keyClick(d.closeBox(), Qt::Key_Down);
  QTest::mouseClick(d.closeBox(), Qt::LeftButton, {}, d.closeBox()->arrowRect(false).center());
  EXPECT_EQ(d.closeBox()->text(), "0.00");
  QTest::keyClick(d.closeBox(), Qt::Key_Up);
  EXPECT_EQ(d.closeBox()->text(), "0.01");
  QTest::keyClick(d.closeBox(), Qt::Key_PageUp);
  EXPECT_EQ(d.closeBox()->text(), "0.11");
}

TEST(DetailQuoteDialog, OpeningFromTheListLeavesTheSecurityUntouched) {
  Monitored m = monitored(21);
  std::vector<QuoteBar> bars = m.bars;
  std::vector<unsigned char> barBytes(sizeof(QuoteBar) * bars.size());
  std::vector<unsigned char> stateBytes(sizeof(SignalState));
  std::memcpy(barBytes.data(), bars.data(), barBytes.size());
  std::memcpy(stateBytes.data(), &m.state, stateBytes.size());

  QWidget owner;
  bool seen = false;
  double shownClose = 0;
  QWidget* parent = nullptr;
  WhenDialogShown(
      [&](CDetailQuoteDialog& d) {
        parent = d.parentWidget();
        d.closeBox()->selectAll();
        QTest::keyClicks(d.closeBox(), "99.9");
        for (int k = 0; k < 30; ++k) QTest::keyClick(d.closeBox(), Qt::Key_Up);
        QTest::mouseClick(d.closeBox(), Qt::LeftButton, {}, d.closeBox()->arrowRect(false).center());
        QTest::keyClick(d.closeBox(), Qt::Key_Return);
        shownClose = d.model().bar(0).close;
      },
      &seen);
  ShowDetailQuote(&owner, bars.data(), kMonitoredBars, false, true, kConfirmDays, 0, m.state);

  ASSERT_TRUE(seen);
  EXPECT_EQ(parent, &owner);
  EXPECT_EQ(shownClose, 100.19);  // the dialog did work on its own copy
  EXPECT_EQ(std::memcmp(barBytes.data(), bars.data(), barBytes.size()), 0);
  EXPECT_EQ(std::memcmp(stateBytes.data(), &m.state, stateBytes.size()), 0);
}

TEST(DetailQuoteDialog, KeepsTheNewest1095Of1500Bars) {
  auto bars = test::MarketBars(1500, 2);
  SignalState state;
  computeIndicators(false, false, 14, 14, 3, 3, 1499, 0, bars, state, kConfirmDays);
  bars[0].SetDate("6-Dec-05");
  ASSERT_NE(bars[kHistoryCapacity - 1].change, 0);
  const auto before = bars;
  CDetailQuoteDialog d(bars, false, false, 1499, 0, SignalState{}, kConfirmDays);
  d.show();
  EXPECT_EQ(d.model().barCount(), kHistoryCapacity);
  EXPECT_EQ(d.model().bar(kHistoryCapacity - 1).close, bars[kHistoryCapacity - 1].close);
  EXPECT_EQ(shown(d, "Date:"), "6-Dec-05");
  QTest::keyClick(d.closeBox(), Qt::Key_Up);  // recomputes from the oldest kept bar
  EXPECT_EQ(d.closeBox()->text().toStdString(), cents(bars[0].close + 0.01));
  EXPECT_EQ(d.model().bar(kHistoryCapacity - 1).change, 0);  // it has no older bar in the dialog
  EXPECT_EQ(test::FirstDifference(bars, before), "");
}

std::string percentText(const char* pattern, double fraction) {
  char text[48];
  std::snprintf(text, sizeof text, pattern, fraction * 100);
  return text;
}

BacktestSummary backtestOf(std::span<const QuoteBar> bars) {
  BacktestOptions options;
  options.confirmDays = EffectiveConfirmDays(systemConfig());
  return RunBacktest(bars, options).summary;
}

std::string tradesText(const BacktestSummary& s) {
  return std::to_string(s.trades) + (s.openPositions > 0 ? " + 1 open" : "");
}

// The back-test box sits beside the advice box and sums up the series the
// dialog was opened with; a what-if close leaves it alone.
TEST(DetailQuoteDialog, ShowsTheBacktestBesideTheAdvice) {
  auto bars = test::MarketBars(400, 7);
  const BacktestSummary expected = backtestOf(bars);
  ASSERT_GT(expected.trades, 1);
  ASSERT_GT(expected.maxDrawdown, 0);
  CDetailQuoteDialog d(bars, false, false, 399, 0, SignalState{}, EffectiveConfirmDays(systemConfig()));
  d.show();
  EXPECT_EQ(shown(d, "Trades:").toStdString(), tradesText(expected));
  EXPECT_EQ(shown(d, "Won:").toStdString(), percentText("%.2lf%%", expected.winShare));
  EXPECT_EQ(shown(d, "Return:").toStdString(), percentText("%+.2lf%%", expected.totalReturn));
  EXPECT_EQ(shown(d, "Max drawdown:").toStdString(), percentText("-%.2lf%%", expected.maxDrawdown));
  EXPECT_EQ(shown(d, "Buy & hold:").toStdString(), percentText("%+.2lf%%", expected.buyAndHold));
  EXPECT_TRUE(d.valueBox(QStringLiteral("Trades:"))->isReadOnly());

  QWidget* advice = d.valueBox(QStringLiteral("Bullish if closing above:"))->parentWidget();
  auto* backtest = qobject_cast<QGroupBox*>(d.valueBox(QStringLiteral("Trades:"))->parentWidget());
  ASSERT_NE(backtest, nullptr);
  EXPECT_EQ(backtest->title(), "Back-test");
  EXPECT_GE(backtest->geometry().left(), advice->geometry().right());
  EXPECT_EQ(backtest->geometry().top(), advice->geometry().top());
  EXPECT_LE(backtest->geometry().right(), d.width());

  d.closeBox()->selectAll();
  QTest::keyClicks(d.closeBox(), "99.9");
  EXPECT_EQ(shown(d, "Trades:").toStdString(), tradesText(expected));
  EXPECT_EQ(shown(d, "Return:").toStdString(), percentText("%+.2lf%%", expected.totalReturn));
}

// A click on an older bar of a chart shows that bar, and the back-test of
// the chart's whole series beside it.
TEST(DetailQuoteDialog, FromAChartTheBacktestIsOfTheWholeSeries) {
  constexpr int kCount = 400, kClicked = 150;
  auto m = test::makeModel(kCount, 1224, 600);  // 3 pixels a bar
  const auto market = test::MarketBars(kCount, 7);
  for (int i = 0; i < kCount; ++i) m->data.bars[i] = market[static_cast<std::size_t>(i)];
  m->updateBarSpacing();
  const std::span<const QuoteBar> all(m->data.bars.data(), kCount);
  const BacktestSummary whole = backtestOf(all);
  ASSERT_NE(tradesText(whole), tradesText(backtestOf(all.subspan(kClicked))));

  QWidget owner;
  bool seen = false;
  std::string trades;
  double close = 0;
  WhenDialogShown(
      [&](CDetailQuoteDialog& d) {
        trades = shown(d, "Trades:").toStdString();
        close = d.model().bar(0).close;
      },
      &seen);
  ASSERT_TRUE(OpenChartDetailQuote(&owner, *m, m->slotCentre(kClicked)));
  ASSERT_TRUE(seen);
  EXPECT_EQ(close, market[kClicked].close);
  EXPECT_EQ(trades, tradesText(whole));
}

TEST(DetailQuoteDialog, ScreenImage) {
  // Set VELMORA_SCREENSHOT to a file name to write the picture used in the README.
  Monitored m = monitored(21);
  m.bars[0].SetDate("30-Dec-05");
  auto d = fromList(m);
  const QImage image = d->grab().toImage();
  EXPECT_GT(image.width(), 300);
  EXPECT_GT(image.height(), 300);
  if (const char* path = std::getenv("VELMORA_SCREENSHOT")) {
    EXPECT_TRUE(image.save(QString::fromLocal8Bit(path)));
  }
}

}  // namespace
}  // namespace velmora
