#include "chart/indicator_prop_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <array>
#include <cstdio>

#include "base/text_helpers.h"
#include "chart/locale_number.h"
#include "chart/number_text.h"

namespace velmora {

namespace {

constexpr const char* kOther = "Other";
constexpr const char* kRsiChoices[] = {"8", "10", "12", "14", "Other"};
constexpr const char* kStochasticChoices[] = {"5-3-3", "14-3-3", "Other"};

template <typename Texts>
QComboBox* makeList(QWidget* parent, const Texts& texts) {
  auto* list = new QComboBox(parent);
  for (const char* text : texts) list->addItem(QString::fromLatin1(text));
  return list;
}

QLineEdit* numberBox(QWidget* parent) {
  auto* box = new QLineEdit(parent);
  box->setMaximumWidth(48);
  return box;
}

}  // namespace

CIndicatorPropPage::CIndicatorPropPage(const SystemConfig& config, QWidget* parent) : QWidget(parent) {
  values_.showVolume = config.bCheckVolume ? 1 : 0;
  values_.showRsi = config.bCheckRSI ? 1 : 0;
  values_.showStochastics = config.bCheckStochastics ? 1 : 0;

  volume_ = new QCheckBox(QStringLiteral("Volume"), this);
  rsi_ = new QCheckBox(QStringLiteral("RSI"), this);
  stochastics_ = new QCheckBox(QStringLiteral("Stochastics"), this);
  williams_ = new QCheckBox(QStringLiteral("Williams %R"), this);
  macd_ = new QCheckBox(QStringLiteral("MACD"), this);
  moneyFlow_ = new QCheckBox(QStringLiteral("Money Flow Index"), this);
  onBalanceVolume_ = new QCheckBox(QStringLiteral("On Balance Volume"), this);
  priceLabels_ = new QCheckBox(QStringLiteral("Price Lables"), this);
  rsiList_ = makeList(this, kRsiChoices);
  rsiPeriod_ = numberBox(this);
  stochList_ = makeList(this, kStochasticChoices);
  for (QLineEdit*& box : stochBoxes_) box = numberBox(this);
  // Offered but not computed: their parameters are shown, never used.
  williamsList_ = makeList(this, std::array<const char*, 2>{"14", "Other"});
  williamsPeriod_ = numberBox(this);
  williamsPeriod_->setText(QStringLiteral("14"));
  macdControls_[0] = makeList(this, std::array<const char*, 2>{"12-26-9", "Other"});
  const char* macdNumbers[] = {"12", "26", "9"};
  for (int i = 0; i < 3; ++i) {
    auto* box = numberBox(this);
    box->setText(QString::fromLatin1(macdNumbers[i]));
    macdControls_[i + 1] = box;
  }
  moneyFlowList_ = makeList(this, std::array<const char*, 2>{"14", "Other"});
  moneyFlowPeriod_ = numberBox(this);
  moneyFlowPeriod_->setText(QStringLiteral("14"));
  for (QCheckBox* off : {williams_, macd_, moneyFlow_, onBalanceVolume_, priceLabels_})
    off->setEnabled(false);
  layOut();

  for (QCheckBox* check :
       {volume_, rsi_, stochastics_, williams_, macd_, moneyFlow_, onBalanceVolume_, priceLabels_})
    connect(check, &QCheckBox::clicked, this, &CIndicatorPropPage::checkClicked);
  connect(rsiList_, qOverload<int>(&QComboBox::activated), this, &CIndicatorPropPage::rsiChosen);
  connect(stochList_, qOverload<int>(&QComboBox::activated), this, &CIndicatorPropPage::stochasticChosen);
}

void CIndicatorPropPage::layOut() {
  auto* grid = new QGridLayout(this);
  auto addRow = [&](int row, QCheckBox* check, std::initializer_list<QWidget*> controls) {
    grid->addWidget(check, row, 0);
    auto* line = new QHBoxLayout;
    for (QWidget* w : controls) line->addWidget(w);
    line->addStretch();
    grid->addLayout(line, row, 1);
  };
  addRow(0, volume_, {});
  addRow(1, rsi_, {rsiList_, rsiPeriod_});
  addRow(2, stochastics_, {stochList_, stochBoxes_[0], stochBoxes_[1], stochBoxes_[2]});
  addRow(3, williams_, {williamsList_, williamsPeriod_});
  addRow(4, macd_, {macdControls_[0], macdControls_[1], macdControls_[2], macdControls_[3]});
  addRow(5, moneyFlow_, {moneyFlowList_, moneyFlowPeriod_});
  addRow(6, onBalanceVolume_, {});
  addRow(7, priceLabels_, {});
  grid->setRowStretch(8, 1);
}

void CIndicatorPropPage::openPage() {
  volume_->setChecked(values_.showVolume != 0);
  rsi_->setChecked(values_.showRsi != 0);
  stochastics_->setChecked(values_.showStochastics != 0);
  williams_->setChecked(values_.showWilliams != 0);
  macd_->setChecked(values_.showMacd != 0);
  moneyFlow_->setChecked(values_.showMoneyFlow != 0);
  onBalanceVolume_->setChecked(values_.showOnBalanceVolume != 0);
  priceLabels_->setChecked(values_.showPriceLabels != 0);
  showRsiPeriod();
  showStochasticNumbers();
  checkRule();
  rsiList_->setCurrentIndex(rsiList_->findText(QStringLiteral("14")));
  stochList_->setCurrentIndex(stochList_->findText(QStringLiteral("14-3-3")));
  rsiListRule();
  stochasticListRule();
}

QLineEdit* CIndicatorPropPage::readControls(QString& message) {
  Values next = values_;
  next.showVolume = volume_->isChecked() ? 1 : 0;
  next.showRsi = rsi_->isChecked() ? 1 : 0;
  next.showStochastics = stochastics_->isChecked() ? 1 : 0;
  // A period of 0 would leave its indicator without a single value.
  QLineEdit* boxes[4] = {rsiPeriod_, stochBoxes_[0], stochBoxes_[1], stochBoxes_[2]};
  int* numbers[4] = {&next.rsiPeriod, &next.stochFirst, &next.stochSecond, &next.stochThird};
  for (int i = 0; i < 4; ++i)
    if (!ReadIntegerBox(*boxes[i], 1, kLongestIndicatorPeriod, *numbers[i], message)) return boxes[i];
  values_ = next;
  return nullptr;
}

void CIndicatorPropPage::checkClicked() {
  values_.showVolume = volume_->isChecked() ? 1 : 0;
  values_.showRsi = rsi_->isChecked() ? 1 : 0;
  values_.showStochastics = stochastics_->isChecked() ? 1 : 0;
  checkRule();
}

void CIndicatorPropPage::checkRule() {
  const bool rsi = rsi_->isChecked();
  rsiList_->setVisible(rsi);
  rsiPeriod_->setVisible(rsi);
  const bool stochastics = stochastics_->isChecked();
  stochList_->setVisible(stochastics);
  for (QLineEdit* box : stochBoxes_) box->setVisible(stochastics);
  williamsList_->setVisible(williams_->isChecked());
  williamsPeriod_->setVisible(williams_->isChecked());
  for (QWidget* control : macdControls_) control->setVisible(macd_->isChecked());
  moneyFlowList_->setVisible(moneyFlow_->isChecked());
  moneyFlowPeriod_->setVisible(moneyFlow_->isChecked());
}

void CIndicatorPropPage::rsiChosen(int) { rsiListRule(); }
void CIndicatorPropPage::stochasticChosen(int) { stochasticListRule(); }

void CIndicatorPropPage::rsiListRule() {
  const bool other = rsiList_->currentText() == QLatin1String(kOther);
  rsiPeriod_->setReadOnly(!other);
  if (other) return;
  values_.rsiPeriod = rsiList_->currentText().toInt();
  showRsiPeriod();
}

void CIndicatorPropPage::stochasticListRule() {
  const bool other = stochList_->currentText() == QLatin1String(kOther);
  for (QLineEdit* box : stochBoxes_) box->setReadOnly(!other);
  if (other) return;
  char preset[16];
  CopyBounded(preset, sizeof preset, stochList_->currentText().toLatin1().constData());
  ReplaceChar(preset, '-', ' ');
  std::sscanf(preset, "%d%d%d", &values_.stochFirst, &values_.stochSecond, &values_.stochThird);
  showStochasticNumbers();
}

void CIndicatorPropPage::showRsiPeriod() { rsiPeriod_->setText(LocaleNumber(values_.rsiPeriod)); }

void CIndicatorPropPage::showStochasticNumbers() {
  stochBoxes_[0]->setText(LocaleNumber(values_.stochFirst));
  stochBoxes_[1]->setText(LocaleNumber(values_.stochSecond));
  stochBoxes_[2]->setText(LocaleNumber(values_.stochThird));
}

}  // namespace velmora
