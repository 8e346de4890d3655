#pragma once

// The checks of a number typed into a box, with the messages a dialog shows
// when the text is refused: shared by the chart-setting pages and the
// shell's dialogs.

#include <QString>

namespace velmora {

// The standard checks of a number box, shared by the dialogs and the
// chart-setting sheet. Each reads `text` (blanks around it ignored): when it
// holds a number from `low` to `high` that number goes into `value` and the
// result is empty; otherwise `value` is left alone and the result is the
// message to show: "Please enter an integer.", "Please enter an integer
// between %1 and %2.", "Please enter a number." or "Please enter a number
// between %1 and %2.".
QString CheckIntegerText(const QString& text, int low, int high, int& value);
QString CheckNumberText(const QString& text, double low, double high, double& value);

}  // namespace velmora
