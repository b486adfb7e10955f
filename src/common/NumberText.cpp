#include "common/NumberText.h"

#include <charconv>

namespace {
QString withSeparator(QString text, const QLocale& locale) {
    if (NumberText::usesDecimalComma(locale))
        text.replace(u'.', u',');
    return text;
}
} // namespace

bool NumberText::usesDecimalComma(const QLocale& locale) {
    return locale.decimalPoint() == QStringLiteral(",");
}

QString NumberText::shortestSingle(float value, const QLocale& locale) {
    // to_chars gives the shortest round-trip form of the float itself; going
    // through double would write 0.2f as 0.200000003.
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (ec != std::errc())
        return QStringLiteral("0");
    QString text = QString::fromLatin1(buffer, end - buffer);
    text.replace(u'e', u'E');
    return withSeparator(text, locale);
}

QString NumberText::threeDecimals(float value, const QLocale& locale) {
    return withSeparator(QString::number(static_cast<double>(value), 'f', 3), locale);
}

double NumberText::shortestDouble(float value) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    double parsed = 0.0;
    std::from_chars(text, end, parsed);
    return parsed;
}
