#include "chart/overlay_prop_page.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <limits>

#include "chart/locale_number.h"
#include "chart/number_text.h"

namespace velmora {

COverlayPropPage::COverlayPropPage(const SystemConfig& config, QWidget* parent) : QWidget(parent) {
  values_.showBacktest = config.bCheckBacktest != 0 ? 1 : 0;
  bollinger_ = new QCheckBox(QStringLiteral("Bollinger Bands"), this);
  bollingerBox_ = new QLineEdit(this);
  ema_ = new QCheckBox(QStringLiteral("EMA"), this);
  auto* grid = new QGridLayout(this);
  grid->addWidget(bollinger_, 0, 0);
  grid->addWidget(bollingerBox_, 0, 1);
  grid->addWidget(ema_, 1, 0);
  auto* periods = new QHBoxLayout;
  for (QLineEdit*& box : emaBoxes_) {
    box = new QLineEdit(this);
    box->setMaximumWidth(48);
    periods->addWidget(box);
  }
  periods->addStretch();
  grid->addLayout(periods, 1, 1);
  backtest_ = new QCheckBox(QStringLiteral("Show back-test trades"), this);
  grid->addWidget(backtest_, 2, 0, 1, 2);
  grid->setRowStretch(3, 1);
  connect(bollinger_, &QCheckBox::clicked, this, &COverlayPropPage::checkClicked);
  connect(ema_, &QCheckBox::clicked, this, &COverlayPropPage::checkClicked);
}

void COverlayPropPage::openPage() {
  bollinger_->setChecked(values_.showBollinger != 0);
  bollingerBox_->setText(LocaleNumber(values_.bollingerParameter));
  ema_->setChecked(values_.showEma != 0);
  for (int i = 0; i < 5; ++i) emaBoxes_[i]->setText(LocaleNumber(values_.emaPeriods[i]));
  // The overlay always shows the five averages; nothing here can change it.
  bollinger_->setEnabled(false);
  ema_->setEnabled(false);
  for (QLineEdit* box : emaBoxes_) box->setEnabled(false);
  backtest_->setChecked(values_.showBacktest != 0);
  checkRule();
}

QLineEdit* COverlayPropPage::readControls(QString& message) {
  Values next = values_;
  next.showBollinger = bollinger_->isChecked() ? 1 : 0;
  next.showEma = ema_->isChecked() ? 1 : 0;
  next.showBacktest = backtest_->isChecked() ? 1 : 0;
  // Any integer will do: the boxes are shown, never edited.
  constexpr int kLow = std::numeric_limits<int>::min(), kHigh = std::numeric_limits<int>::max();
  if (!ReadIntegerBox(*bollingerBox_, kLow, kHigh, next.bollingerParameter, message)) return bollingerBox_;
  for (int i = 0; i < 5; ++i)
    if (!ReadIntegerBox(*emaBoxes_[i], kLow, kHigh, next.emaPeriods[i], message)) return emaBoxes_[i];
  values_ = next;
  return nullptr;
}

void COverlayPropPage::checkClicked() {
  values_.showBollinger = bollinger_->isChecked() ? 1 : 0;
  values_.showEma = ema_->isChecked() ? 1 : 0;
  checkRule();
}

void COverlayPropPage::checkRule() {
  bollingerBox_->setVisible(bollinger_->isChecked());
  for (QLineEdit* box : emaBoxes_) box->setVisible(ema_->isChecked());
}

}  // namespace velmora
