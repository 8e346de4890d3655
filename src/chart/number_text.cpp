#include "chart/number_text.h"

namespace velmora {

QString CheckIntegerText(const QString& text, int low, int high, int& value) {
  bool ok = false;
  const int v = text.trimmed().toInt(&ok);
  if (!ok) return QStringLiteral("Please enter an integer.");
  if (v < low || v > high)
    return QStringLiteral("Please enter an integer between %1 and %2.").arg(low).arg(high);
  value = v;
  return {};
}

QString CheckNumberText(const QString& text, double low, double high, double& value) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok) return QStringLiteral("Please enter a number.");
  // Written so that a "nan" is out of range too.
  if (!(v >= low && v <= high))
    return QStringLiteral("Please enter a number between %1 and %2.").arg(low).arg(high);
  value = v;
  return {};
}

}  // namespace velmora
