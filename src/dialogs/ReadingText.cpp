#include "dialogs/ReadingText.h"

#include "common/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

const QString Blanks = QStringLiteral("  ");
const QString NoReading = QStringLiteral("-----");

QString withSeparator(QString text, const QLocale& locale) {
    if (NumberText::usesDecimalComma(locale))
        text.replace(u'.', u',');
    return text;
}

// "-0.0" or "-0." for a value that rounds to zero would look like a reading
// below zero; the sign goes when no digit other than 0 is left.
QString withoutNegativeZero(QString text) {
    const bool zero =
        std::none_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'1' && c <= u'9'; });
    if (zero && text.startsWith(u'-'))
        text.remove(0, 1);
    return text;
}

} // namespace

QString ReadingText::number(float value, const QLocale& locale) {
    if (value == 0.0f)
        return QStringLiteral("0");
    char buffer[32];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7);
    if (ec != std::errc())
        return QStringLiteral("0");
    QString text = QString::fromLatin1(buffer, end - buffer);
    text.replace(u'e', u'E');
    return withSeparator(text, locale);
}

QString ReadingText::fourDecimals(float value, const QLocale& locale) {
    QString text = QString::number(static_cast<double>(value), 'f', 4);
    while (text.endsWith(u'0'))
        text.chop(1);
    return withSeparator(withoutNegativeZero(text), locale);
}

QString ReadingText::millivolts(float volts, const QLocale& locale) {
    if (!std::isfinite(volts))
        return NoReading;
    const float millivolts = volts * 1000.0f;
    const QString text = QString::number(static_cast<double>(millivolts), 'f', 1);
    return withSeparator(withoutNegativeZero(text), locale) + QStringLiteral(" mV") + Blanks;
}

QString ReadingText::decimal(float volts, const QLocale& locale) {
    if (!std::isfinite(volts))
        return NoReading;
    return number(volts, locale) + Blanks;
}

QString ReadingText::hex(int32_t raw) {
    return QStringLiteral("0x") + QString::number(static_cast<uint32_t>(raw), 16).toUpper() +
           Blanks;
}

QString ReadingText::lsb(int32_t raw) {
    QString bits = QStringLiteral("...");
    for (int bit = 7; bit >= 0; --bit) {
        bits += (raw >> bit) & 1 ? u'1' : u'0';
        if (bit == 4)
            bits += u'.';
    }
    return bits + Blanks;
}

QString ReadingText::sampling(double rate, double cyclesPerSecond, int64_t samplesPerCycle,
                              QLocale locale) {
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString how =
        rate > 0.0 ? QStringLiteral("Stream: %1 scans/s").arg(locale.toString(rate, 'g', 7))
                   : QStringLiteral("One sample a tick (25/s)");
    if (!(cyclesPerSecond > 0.0))
        return how + QStringLiteral("; no cycles measured yet");
    return how + QStringLiteral("; %1 cycles/s measured, %2 samples a cycle")
                     .arg(locale.toString(cyclesPerSecond, 'f', 1))
                     .arg(samplesPerCycle);
}
