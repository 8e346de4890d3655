#include "chart/detail_quote_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QVBoxLayout>

#include "base/system_config.h"
#include "chart/chart_backtest.h"
#include "chart/locale_number.h"

namespace velmora {

namespace {

namespace dq = detail_quote_text;

QString latin(const char* text) { return QString::fromLatin1(text); }
QString latin(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}
// A number of the model ("C" text) as the user's locale writes it.
QString number(const std::string& text) { return LocaleNumberText(latin(text)); }

// Wide enough for a ten-digit volume or a price in the hundred millions.
int numberWidth(const QWidget* w) {
  return w->fontMetrics().horizontalAdvance(QStringLiteral("0000000000.00")) + 12;
}
int letterWidth(const QWidget* w) { return w->fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 12; }

QLineEdit* readOnlyBox(QWidget* parent, int width) {
  auto* box = new QLineEdit(parent);
  box->setReadOnly(true);
  box->setFocusPolicy(Qt::ClickFocus);  // Tab moves between the close box and OK only
  box->setFixedWidth(width);
  box->setAlignment(Qt::AlignRight);
  return box;
}

// A group's grid whose label column is as wide in every group, so that
// the boxes of the groups above one another line up.
QGridLayout* labelledGrid(QWidget* group) {
  auto* grid = new QGridLayout(group);
  grid->setColumnMinimumWidth(0, group->fontMetrics().horizontalAdvance(QStringLiteral("Prev 2 High:")) + 4);
  return grid;
}

// The boxes that show one number of the model each.
struct Field {
  const char* label;
  std::string DetailQuoteTexts::*text;
};
constexpr Field kFields[] = {
    {dq::kOpen, &DetailQuoteTexts::open},
    {dq::kHigh, &DetailQuoteTexts::high},
    {dq::kLow, &DetailQuoteTexts::low},
    {dq::kChange, &DetailQuoteTexts::change},
    {dq::kChangePercent, &DetailQuoteTexts::changePercent},
    {dq::kVolume, &DetailQuoteTexts::volume},
    {dq::kAvgVolume, &DetailQuoteTexts::avgVolume},
    {dq::kRatio, &DetailQuoteTexts::ratio},
    {dq::kPreClose, &DetailQuoteTexts::preClose},
    {dq::kPrev2High, &DetailQuoteTexts::prev2High},
    {dq::kPrev2Low, &DetailQuoteTexts::prev2Low},
    {dq::kToEma10, &DetailQuoteTexts::toEma10},
    {dq::kRsi, &DetailQuoteTexts::rsi},
    {dq::kStochK, &DetailQuoteTexts::stochK},
    {dq::kStochD, &DetailQuoteTexts::stochD},
    {dq::kBullishIf, &DetailQuoteTexts::bullishAbove},
    {dq::kBearishIf, &DetailQuoteTexts::bearishBelow},
};

// A typed close is plain digits with at most one decimal separator (a point,
// or the one of the user's locale); anything else (letters, signs,
// exponents) is refused at the keystroke.
constexpr int kMaxCloseChars = 15;

// The back-test box, a label and its box a row.
constexpr const char* kBacktestTitle = "Back-test";
constexpr const char* kBacktestTrades = "Trades:";
constexpr const char* kBacktestWon = "Won:";
constexpr const char* kBacktestReturn = "Return:";
constexpr const char* kBacktestDrawdown = "Max drawdown:";
constexpr const char* kBacktestBuyAndHold = "Buy & hold:";

}  // namespace

// ---- the close box -------------------------------------------------------

CloseSpinBox::CloseSpinBox(QWidget* parent) : QAbstractSpinBox(parent) {
  setAlignment(Qt::AlignRight);
  setAccelerated(false);
  // textEdited fires for the user's changes only, not for showText().
  connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
    if (onTyped) onTyped(text);
  });
}

void CloseSpinBox::showText(const QString& text) { lineEdit()->setText(text); }

QRect CloseSpinBox::arrowRect(bool up) const {
  QStyleOptionSpinBox option;
  initStyleOption(&option);
  return style()->subControlRect(QStyle::CC_SpinBox, &option,
                                 up ? QStyle::SC_SpinBoxUp : QStyle::SC_SpinBoxDown, this);
}

void CloseSpinBox::stepBy(int steps) {
  // The arrow's step counts against the close: the up arrow's -1 raises it.
  if (onSpin) onSpin(-steps);
}

QValidator::State CloseSpinBox::validate(QString& input, int& /*pos*/) const {
  if (input.size() > kMaxCloseChars) return QValidator::Invalid;
  const QString localePoint = QLocale().decimalPoint();
  int points = 0;
  for (QChar c : input) {
    if (c == QLatin1Char('.') || (localePoint.size() == 1 && c == localePoint.front())) {
      if (++points > 1) return QValidator::Invalid;
    } else if (!c.isDigit() || c.unicode() > 0x7f) {
      return QValidator::Invalid;
    }
  }
  return QValidator::Acceptable;
}

QAbstractSpinBox::StepEnabled CloseSpinBox::stepEnabled() const {
  // The close never steps below zero.
  return canStepDown_ ? (StepUpEnabled | StepDownEnabled) : StepEnabled(StepUpEnabled);
}

void CloseSpinBox::keyPressEvent(QKeyEvent* event) {
  // Enter applies the typed close (even "12.50") instead of closing the dialog.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (onApply) onApply();
    event->accept();
    return;
  }
  QAbstractSpinBox::keyPressEvent(event);
}

// ---- the dialog ----------------------------------------------------------

CDetailQuoteDialog::CDetailQuoteDialog(std::span<const QuoteBar> bars, bool isIndex, bool incremental,
                                       int start, int end, const SignalState& state, int confirmDays,
                                       QWidget* parent)
    : QDialog(parent), model_(bars, isIndex, incremental, start, end, state, confirmDays) {
  setWindowTitle(latin(dq::kTitle));
  setModal(true);

  auto* left = new QVBoxLayout;
  left->addWidget(tradeGroup());
  left->addWidget(boxGroup(dq::kPreviousGroup, {dq::kPreClose, dq::kPrev2High, dq::kPrev2Low}));
  left->addStretch();
  auto* right = new QVBoxLayout;
  right->addWidget(averageGroup());
  right->addWidget(boxGroup(dq::kIndicatorGroup, {dq::kRsi, dq::kStochK, dq::kStochD}));
  right->addWidget(signalGroup());
  right->addStretch();
  auto* columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* advice = new QHBoxLayout;
  advice->addWidget(adviceGroup(), 1);
  advice->addWidget(backtestGroup());

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addLayout(advice);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  close_->onTyped = [this](const QString& text) { typed(text); };
  close_->onSpin = [this](int delta) { spun(delta); };
  close_->onApply = [this] { apply(); };
  showTexts();
  showBacktest(DetailQuoteBacktest(bars, isIndex, confirmDays));
  close_->setFocus();
  close_->selectAll();
}

QLineEdit* CDetailQuoteDialog::addBox(const char* label, QWidget* parent) {
  QLineEdit* box = readOnlyBox(parent, numberWidth(parent));
  boxes_.emplace_back(latin(label), box);
  return box;
}

QLineEdit* CDetailQuoteDialog::valueBox(const QString& label) const {
  for (const auto& [name, box] : boxes_)
    if (name == label) return box;
  return nullptr;
}

QWidget* CDetailQuoteDialog::tradeGroup() {
  auto* group = new QGroupBox(latin(dq::kTradeGroup), this);
  auto* grid = labelledGrid(group);
  int row = 0;
  auto addRow = [&](const char* label, QWidget* field) {
    grid->addWidget(new QLabel(latin(label), group), row, 0);
    grid->addWidget(field, row, 1);
    ++row;
  };
  for (const char* label : {dq::kDate, dq::kOpen, dq::kHigh, dq::kLow}) addRow(label, addBox(label, group));
  close_ = new CloseSpinBox(group);
  close_->setFixedWidth(numberWidth(group) + close_->arrowRect(true).width());
  addRow(dq::kClose, close_);
  for (const char* label : {dq::kChange, dq::kChangePercent, dq::kVolume, dq::kAvgVolume, dq::kRatio})
    addRow(label, addBox(label, group));
  // "Cur.Trend:" shows the confirmed trend, the box beside it today's break.
  auto* trend = new QHBoxLayout;
  trend->addWidget(addBox(dq::kTrend, group));
  breakState_ = readOnlyBox(group, numberWidth(group));
  trend->addWidget(breakState_);
  grid->addWidget(new QLabel(latin(dq::kTrend), group), row, 0);
  grid->addLayout(trend, row, 1);
  grid->setColumnStretch(2, 1);
  return group;
}

int CDetailQuoteDialog::addBoxRows(QGridLayout* grid, QWidget* group,
                                   std::initializer_list<const char*> labels) {
  int row = 0;
  for (const char* label : labels) {
    grid->addWidget(new QLabel(latin(label), group), row, 0);
    grid->addWidget(addBox(label, group), row, 1);
    ++row;
  }
  return row;
}

QWidget* CDetailQuoteDialog::boxGroup(const char* title, std::initializer_list<const char*> labels) {
  auto* group = new QGroupBox(latin(title), this);
  auto* grid = labelledGrid(group);
  addBoxRows(grid, group, labels);
  grid->setColumnStretch(2, 1);
  return group;
}

QWidget* CDetailQuoteDialog::averageGroup() {
  auto* group = new QGroupBox(latin(dq::kAverageGroup), this);
  auto* grid = labelledGrid(group);
  grid->addWidget(new QLabel(latin(dq::kToEma10), group), 0, 0);
  grid->addWidget(addBox(dq::kToEma10, group), 0, 1);
  grid->addWidget(new QLabel(latin(dq::kPercentSign), group), 0, 2);
  for (int k = 0; k < 6; ++k) {
    const char* label = dq::kEma[static_cast<std::size_t>(k)];
    grid->addWidget(new QLabel(latin(label), group), k + 1, 0);
    grid->addWidget(addBox(label, group), k + 1, 1);
    above_[static_cast<std::size_t>(k)] = readOnlyBox(group, letterWidth(group));
    above_[static_cast<std::size_t>(k)]->setAlignment(Qt::AlignCenter);
    grid->addWidget(above_[static_cast<std::size_t>(k)], k + 1, 2);
  }
  grid->setColumnStretch(3, 1);
  return group;
}

QWidget* CDetailQuoteDialog::signalGroup() {
  auto* group = new QGroupBox(latin(dq::kSignalGroup), this);
  auto* grid = new QGridLayout(group);
  for (int k = 0; k < 6; ++k) {
    const char* label = dq::kSignals[static_cast<std::size_t>(k)];
    grid->addWidget(new QLabel(latin(label), group), 0, k, Qt::AlignHCenter);
    QLineEdit* box = readOnlyBox(group, letterWidth(group));
    box->setAlignment(Qt::AlignCenter);
    boxes_.emplace_back(latin(label), box);
    grid->addWidget(box, 1, k, Qt::AlignHCenter);
  }
  return group;
}

QWidget* CDetailQuoteDialog::adviceGroup() {
  // The closes at which the sentiment would change, and today's sentiment.
  auto* group = new QGroupBox(this);
  auto* grid = new QGridLayout(group);
  const int row = addBoxRows(grid, group, {dq::kBullishIf, dq::kBearishIf});
  sentiment_ = new QLabel(group);
  grid->addWidget(sentiment_, row, 0, 1, 3);
  grid->setColumnStretch(2, 1);
  return group;
}

QWidget* CDetailQuoteDialog::backtestGroup() {
  auto* group = new QGroupBox(latin(kBacktestTitle), this);
  auto* grid = new QGridLayout(group);
  addBoxRows(grid, group,
             {kBacktestTrades, kBacktestWon, kBacktestReturn, kBacktestDrawdown, kBacktestBuyAndHold});
  return group;
}

void CDetailQuoteDialog::showBacktest(const BacktestSummary& summary) {
  const BacktestFigureTexts t = BacktestFigures(summary);
  valueBox(latin(kBacktestTrades))->setText(number(t.trades));
  valueBox(latin(kBacktestWon))->setText(number(t.won));
  valueBox(latin(kBacktestReturn))->setText(number(t.totalReturn));
  valueBox(latin(kBacktestDrawdown))->setText(number(t.maxDrawdown));
  valueBox(latin(kBacktestBuyAndHold))->setText(number(t.buyAndHold));
}

void CDetailQuoteDialog::typed(const QString& text) {
  // The model reads "C": "13,25" typed under a German locale is 13.25, and
  // waits after "13," as after "13.".
  model_.typeClose(CNumberText(text).toStdString());
  showTexts();
}

void CDetailQuoteDialog::spun(int delta) {
  model_.spinClose(delta);
  showTexts();
  close_->selectAll();
}

void CDetailQuoteDialog::apply() {
  model_.recompute();
  showTexts();
}

void CDetailQuoteDialog::showTexts() {
  const DetailQuoteTexts& t = model_.texts();
  valueBox(latin(dq::kDate))->setText(latin(t.date));
  valueBox(latin(dq::kTrend))->setText(latin(t.trend));
  for (const Field& f : kFields) valueBox(latin(f.label))->setText(number(t.*f.text));
  for (std::size_t k = 0; k < 6; ++k) {
    valueBox(latin(dq::kEma[k]))->setText(number(t.ema[k]));
    above_[k]->setText(latin(t.aboveEma[k]));
    valueBox(latin(dq::kSignals[k]))->setText(latin(t.signalMarks[k]));
  }
  breakState_->setText(latin(t.breakState));
  sentiment_->setText(latin(t.sentiment));
  // While the user types, the box already holds the model's text (in
  // whichever form the user typed it); setting it again would move the
  // cursor.
  if (CNumberText(close_->text()) != latin(t.close)) close_->showText(number(t.close));
  close_->setCanStepDown(model_.close() >= 0.01);
}

BacktestSummary DetailQuoteBacktest(std::span<const QuoteBar> bars, bool isIndex, int confirmDays) {
  BacktestOptions options;
  options.confirmDays = confirmDays;
  options.isIndex = isIndex;
  return RunBacktest(bars.first(std::min<std::size_t>(bars.size(), QuoteSeries::kCapacity)), options).summary;
}

void ShowDetailQuote(QWidget* owner, const QuoteBar* bars, int count, bool isIndex, bool incremental,
                     int start, int end, const SignalState& state, std::span<const QuoteBar> backtestBars) {
  const std::size_t n = bars == nullptr || count <= 0 ? 0 : static_cast<std::size_t>(count);
  const int confirmDays = EffectiveConfirmDays(systemConfig());
  CDetailQuoteDialog dialog(std::span<const QuoteBar>(bars, n), isIndex, incremental, start, end, state,
                            confirmDays, owner);
  if (!backtestBars.empty()) dialog.showBacktest(DetailQuoteBacktest(backtestBars, isIndex, confirmDays));
  dialog.exec();
}

}  // namespace velmora
