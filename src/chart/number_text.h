#pragma once

// The checks of a number typed into a box, with the messages a dialog shows
// when the text is refused: shared by the chart-setting pages and the
// shell's dialogs.

#include <QString>

class QLineEdit;
class QWidget;

namespace velmora {

// The standard checks of a number box. Each reads the text of `box` (blanks
// around it ignored; in the user's locale form or "C" alike, as CNumberText
// takes it): when it holds a number from `low` to `high` that
// number goes into `value` and the result is true; otherwise `value` is
// left alone, the result is false and `message` is the message to show:
// "Please enter an integer.", "Please enter an integer between %1 and %2.",
// "Please enter a number." or "Please enter a number between %1 and %2.".
[[nodiscard]] bool ReadIntegerBox(const QLineEdit& box, int low, int high, int& value, QString& message);
[[nodiscard]] bool ReadNumberBox(const QLineEdit& box, double low, double high, double& value,
                                 QString& message);

// A refused box: the message in a warning over `owner` captioned with the
// program's title, then the focus in `field` with its text selected (a line
// edit, or the edit of an editable combo box).
void ShowRefusal(QWidget* owner, QWidget* field, const QString& message);

}  // namespace velmora
