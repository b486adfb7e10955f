#pragma once
// Numbers as the program writes them for people and for its settings file:
// plain ASCII digits with the user's decimal separator when that is a comma,
// else a point, so that ParseNumber (which takes either) always reads them back.
#include <QLocale>
#include <QString>

namespace NumberText {
// The shortest text that reads back as exactly the same single ("0.2", "0,2",
// "1E+20"); never a group separator or a locale-specific minus sign.
QString shortestSingle(float value, const QLocale& locale);

// A voltage with three decimals ("1.250", "-0,003").
QString threeDecimals(float value, const QLocale& locale);

// True when the locale writes a decimal comma.
bool usesDecimalComma(const QLocale& locale);
// A single as the shortest decimal that reads back as it, as a double: 0.1,
// not 0.10000000149011612 (for JSON numbers).
double shortestDouble(float value);
} // namespace NumberText
