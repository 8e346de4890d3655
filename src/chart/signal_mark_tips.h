#pragma once

// Tooltips for a chart's signal marks: what a buy or sell circle or a
// trend triangle under the pointer means, and for which day.
//
// The chart view installs the tips on itself once:
//
//   new SignalMarkTips(this, [this] { return loaded != 0 ? &chart : nullptr; });

#include <QObject>
#include <functional>
#include <string>

#include "chart/chart_model.h"

class QWidget;

namespace velmora {

// The mark at (x, y) of a painted chart and the rectangle it covers.
struct SignalMarkTip {
  std::string text;  // empty: no mark there
  Rect area;
};

// The trend triangles lie over the circles, so a point on both names the
// triangle. Only visible bars count.
SignalMarkTip SignalMarkTipAt(const ChartViewModel& model, int x, int y);

// Shows SignalMarkTipAt's text as the view's tooltip while the pointer
// rests on a mark, and no tooltip elsewhere. `model` gives the chart shown,
// or nullptr while there is none (monitor mode, a chart not yet loaded).
class SignalMarkTips : public QObject {
 public:
  SignalMarkTips(QWidget* view, std::function<const ChartViewModel*()> model);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* view_;
  std::function<const ChartViewModel*()> model_;
};

}  // namespace velmora
