#pragma once

// Numbers in the dialogs' boxes. The boxes show them as the user's locale
// writes them ("12,5" under a German locale) and take what the user types
// in that form or in the "C" form alike ("13,25" and "13.25"); the values
// then go on as numbers, and every file keeps "C". Shared by the chart's
// dialogs and the shell's.
//
// A point is always a decimal point, whatever the locale: "1.234" under a
// German locale is 1.234, not 1234. Group separators are never shown nor
// taken, so a shown number always reads back. Digits are shown as ASCII
// digits; typed digits of any script ("١٤", full-width "１４") read as well.

#include <QString>

namespace velmora {

// `cText`, a number in the "C" form ("12.50", "-0.35", "14"), with the
// locale's decimal separator and minus sign ("12,50" under a German locale).
QString LocaleNumberText(const QString& cText);

// `value` in the shortest form that reads back (20.0 is "20", 12.5 is
// "12,5" under a German locale), and an integer.
QString LocaleNumber(double value);
QString LocaleNumber(int value);

// What the user typed, in the "C" form: the locale's decimal separator
// becomes a point, its minus and plus signs "-" and "+", digits of any
// script ASCII digits; everything else is kept, so that a text that is no
// number stays none.
QString CNumberText(const QString& typed);

}  // namespace velmora
