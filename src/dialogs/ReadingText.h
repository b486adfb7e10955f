#pragma once
// The number texts of the A/D setup dialog and the calibration: a single
// "written as a number" (up to seven significant digits, as a person reads a
// converter value), the live readings in their four display modes and the
// "0.####" pattern. The decimal separator is the locale's comma or a point,
// so that ParseNumber reads every text back.
#include <QLocale>
#include <QString>
#include <cstdint>

namespace ReadingText {

// The shortest text of up to seven significant digits: "-10", "0.1",
// "1.234568E+08". Minus zero is written "0".
QString number(float value, const QLocale& locale);

// At least one integer digit, at most four decimals, trailing zeros dropped,
// the separator always kept: "-0.1", "12.3457", "0.".
QString fourDecimals(float value, const QLocale& locale);

// The display modes of the live readings; each text ends in two blanks.
// A reading that is not a number (a failed read) shows as "-----".
QString millivolts(float volts, const QLocale& locale); // "1234.5 mV  "
QString decimal(float volts, const QLocale& locale);    // "1.2345  "
QString hex(int32_t raw);                               // "0xA5  ", -2 as "0xFFFFFFFE  "
QString lsb(int32_t raw);                               // the low 8 bits: "...1010.0101  "

// How the converter is sampled: a stream's rate (0: one sample a tick) and
// the cycles per second and samples a cycle measured lately (0: none yet).
// "Stream: 20000 scans/s; 300.0 cycles/s measured, 67 samples a cycle".
QString sampling(double rate, double cyclesPerSecond, int64_t samplesPerCycle, QLocale locale);

} // namespace ReadingText
