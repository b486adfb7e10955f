#pragma once
// The locale-tolerant number reader behind every number the program reads from
// a file, a dialog or a peer. It never fails: text without a leading number is 0.
#include <QString>
#include <QStringView>

// Replaces the first comma of `text` by a point (in the caller's string, as
// callers rely on), then reads the leading number: blanks, tabs and line feeds
// are skipped anywhere; sign, digits, one point, an exponent with E or D;
// "&H" and "&O" read hexadecimal and octal integers. A value beyond the float
// range comes back as +/-infinity, never as undefined behaviour.
float ParseNumber(QString& text);

// The plain reading: the leading number of the text with a point as the only
// decimal separator ("2,5" reads 2), without touching the caller's text, kept
// in double precision (the integer readers round it themselves, so counts
// above 2^24 survive a round trip exactly).
double parseLeadingNumber(QStringView text);

// The same reading; `end` is set to the position just after the number's last
// character (0 when the text holds no number), so that a caller can refuse a
// value with anything after its number ("5abc", "0x10", "1e").
double parseLeadingNumber(QStringView text, qsizetype& end);
