#include "chart/number_text.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>

#include "base/app_identity.h"
#include "chart/locale_number.h"

namespace velmora {

bool ReadIntegerBox(const QLineEdit& box, int low, int high, int& value, QString& message) {
  bool ok = false;
  const int v = CNumberText(box.text().trimmed()).toInt(&ok);
  if (!ok) {
    message = QStringLiteral("Please enter an integer.");
    return false;
  }
  if (v < low || v > high) {
    message = QStringLiteral("Please enter an integer between %1 and %2.").arg(low).arg(high);
    return false;
  }
  value = v;
  return true;
}

bool ReadNumberBox(const QLineEdit& box, double low, double high, double& value, QString& message) {
  bool ok = false;
  const double v = CNumberText(box.text().trimmed()).toDouble(&ok);
  if (!ok) {
    message = QStringLiteral("Please enter a number.");
    return false;
  }
  // Written so that a "nan" is out of range too.
  if (!(v >= low && v <= high)) {
    message = QStringLiteral("Please enter a number between %1 and %2.").arg(low).arg(high);
    return false;
  }
  value = v;
  return true;
}

void ShowRefusal(QWidget* owner, QWidget* field, const QString& message) {
  QMessageBox::warning(owner, QString::fromLatin1(kAppTitle), message);
  field->setFocus();
  if (auto* box = qobject_cast<QLineEdit*>(field)) box->selectAll();
  if (auto* list = qobject_cast<QComboBox*>(field); list != nullptr && list->lineEdit() != nullptr)
    list->lineEdit()->selectAll();
}

}  // namespace velmora
