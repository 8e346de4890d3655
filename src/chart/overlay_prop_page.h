#pragma once

#include <QWidget>

#include "base/system_config.h"

class QCheckBox;
class QLineEdit;

namespace velmora {

// Page "Overlay" of the chart-setting sheet. The moving-average overlay is
// always on with the periods 10, 20, 50, 100 and 200; Bollinger bands are
// offered but not drawn, and their switch is disabled. The back-test switch
// (off unless bCheckBacktest says otherwise when the page is made) draws the
// trades of the chart's marks on its price panel.
class COverlayPropPage : public QWidget {
  Q_OBJECT
 public:
  struct Values {
    int showEma = 1;
    int emaPeriods[5] = {10, 20, 50, 100, 200};
    int showBollinger = 0;
    int bollingerParameter = 0;
    int showBacktest = 0;
  };

  explicit COverlayPropPage(const SystemConfig& config, QWidget* parent = nullptr);

  const Values& values() const { return values_; }

  void openPage();
  // OK: the controls into the values. The first number edit that holds no
  // integer is returned with the message to show, and nothing is stored;
  // else null.
  [[nodiscard]] QLineEdit* readControls(QString& message);

  QCheckBox* bollingerCheck() const { return bollinger_; }
  QLineEdit* bollingerBox() const { return bollingerBox_; }
  QCheckBox* emaCheck() const { return ema_; }
  QLineEdit* emaBox(int i) const { return emaBoxes_[i]; }
  QCheckBox* backtestCheck() const { return backtest_; }

 private slots:
  void checkClicked();

 private:
  void checkRule();

  Values values_;
  QCheckBox* bollinger_;
  QLineEdit* bollingerBox_;
  QCheckBox* ema_;
  QLineEdit* emaBoxes_[5];
  QCheckBox* backtest_;
};

}  // namespace velmora
