#include "chart/locale_number.h"

#include <QLocale>

namespace velmora {

QString LocaleNumberText(const QString& cText) {
  const QLocale locale;
  const QString point = locale.decimalPoint();
  const QString minus = locale.negativeSign();
  QString shown;
  shown.reserve(cText.size());
  for (QChar c : cText) {
    if (c == QLatin1Char('.'))
      shown += point;
    else if (c == QLatin1Char('-'))
      shown += minus;
    else
      shown += c;
  }
  return shown;
}

QString LocaleNumber(double value) { return LocaleNumberText(QString::number(value, 'g', 15)); }

QString LocaleNumber(int value) { return LocaleNumberText(QString::number(value)); }

QString CNumberText(const QString& typed) {
  const QLocale locale;
  const QString point = locale.decimalPoint();
  const QString minus = locale.negativeSign();
  const QString plus = locale.positiveSign();
  QString text;
  text.reserve(typed.size());
  for (qsizetype i = 0; i < typed.size(); ++i) {
    const QStringView rest = QStringView(typed).mid(i);
    if (!point.isEmpty() && rest.startsWith(point)) {
      text += QLatin1Char('.');
      i += point.size() - 1;
    } else if (!minus.isEmpty() && rest.startsWith(minus)) {
      text += QLatin1Char('-');
      i += minus.size() - 1;
    } else if (!plus.isEmpty() && rest.startsWith(plus)) {
      text += QLatin1Char('+');
      i += plus.size() - 1;
    } else if (const QChar c = typed[i]; c.category() == QChar::Number_DecimalDigit) {
      text += QChar(static_cast<char16_t>(u'0' + c.digitValue()));
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace velmora
