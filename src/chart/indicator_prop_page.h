#pragma once

#include <QWidget>

#include "base/system_config.h"
#include "core/quote_bar.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace velmora {

// The RSI period and the three stochastic numbers run from 1 to the bars a
// chart keeps: a longer period could never give a value.
inline constexpr int kLongestIndicatorPeriod = kHistoryCapacity;

// Page "Indicator" of the chart-setting sheet: the indicator panels and
// their periods. Only Volume, RSI and Stochastics can be switched; the
// others are shown, disabled.
class CIndicatorPropPage : public QWidget {
  Q_OBJECT
 public:
  struct Values {
    int showVolume = 1;
    int showRsi = 1;
    int showStochastics = 1;
    int rsiPeriod = 14;
    int stochFirst = 14;
    int stochSecond = 3;
    int stochThird = 3;
    int showMacd = 0;
    int showWilliams = 0;
    int showMoneyFlow = 0;
    int showOnBalanceVolume = 0;
    int showPriceLabels = 0;
  };

  // The three switches start as the configuration has them now.
  explicit CIndicatorPropPage(const SystemConfig& config, QWidget* parent = nullptr);

  const Values& values() const { return values_; }

  void openPage();
  // OK: the check boxes and number edits into the values. The first number
  // edit that holds no integer from 1 to kLongestIndicatorPeriod is
  // returned with the message to show, and nothing is stored; else null.
  [[nodiscard]] QLineEdit* readControls(QString& message);

  QCheckBox* volumeCheck() const { return volume_; }
  QCheckBox* rsiCheck() const { return rsi_; }
  QCheckBox* stochasticsCheck() const { return stochastics_; }
  QCheckBox* williamsCheck() const { return williams_; }
  QCheckBox* macdCheck() const { return macd_; }
  QCheckBox* moneyFlowCheck() const { return moneyFlow_; }
  QCheckBox* onBalanceVolumeCheck() const { return onBalanceVolume_; }
  QCheckBox* priceLabelsCheck() const { return priceLabels_; }
  QComboBox* rsiList() const { return rsiList_; }
  QLineEdit* rsiPeriodBox() const { return rsiPeriod_; }
  QComboBox* stochasticList() const { return stochList_; }
  QLineEdit* stochasticBox(int i) const { return stochBoxes_[i]; }

 private slots:
  void checkClicked();
  void rsiChosen(int index);
  void stochasticChosen(int index);

 private:
  // Each switch in a row with its list and number boxes.
  void layOut();
  void checkRule();
  void rsiListRule();
  void stochasticListRule();
  void showRsiPeriod();
  void showStochasticNumbers();

  Values values_;
  QCheckBox* volume_;
  QCheckBox* rsi_;
  QCheckBox* stochastics_;
  QCheckBox* williams_;
  QCheckBox* macd_;
  QCheckBox* moneyFlow_;
  QCheckBox* onBalanceVolume_;
  QCheckBox* priceLabels_;
  QComboBox* rsiList_;
  QLineEdit* rsiPeriod_;
  QComboBox* stochList_;
  QLineEdit* stochBoxes_[3];
  QComboBox* williamsList_;
  QLineEdit* williamsPeriod_;
  QWidget* macdControls_[4];
  QComboBox* moneyFlowList_;
  QLineEdit* moneyFlowPeriod_;
};

}  // namespace velmora
