#include "common/ParseNumber.h"

#include "common/IniReaders.h"

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace {

bool isIgnored(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

// Skips ignored characters from `pos`; returns the next significant one or 0.
char16_t peek(QStringView text, qsizetype& pos) {
    while (pos < text.size() && isIgnored(text[pos]))
        ++pos;
    return pos < text.size() ? text[pos].unicode() : u'\0';
}

int digitValue(char16_t c, int radix) {
    int value = -1;
    if (c >= u'0' && c <= u'9')
        value = c - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
    return value < radix ? value : -1;
}

// "&H1F" or "&O17": an unsigned integer in the given radix; digits beyond the
// range of a double simply make the value grow towards infinity. `end` moves
// past the last digit.
double readRadixInteger(QStringView text, qsizetype pos, int radix, qsizetype& end) {
    double value = 0.0;
    for (;;) {
        const int digit = digitValue(peek(text, pos), radix);
        if (digit < 0)
            return value;
        value = value * radix + digit;
        end = ++pos;
    }
}

// Collects the characters of a decimal number (sign, digits, one point,
// exponent) into plain ASCII for strtod, dropping the ignored blanks. `end`
// moves past the last character taken ("1e" takes the 1 alone).
std::string collectDecimal(QStringView text, qsizetype pos, qsizetype& end) {
    std::string number;
    char16_t c = peek(text, pos);
    if (c == u'+' || c == u'-') {
        number += static_cast<char>(c);
        ++pos;
    }
    bool seenPoint = false;
    bool seenDigit = false;
    for (c = peek(text, pos); c != u'\0'; c = peek(text, pos)) {
        if (c >= u'0' && c <= u'9') {
            number += static_cast<char>(c);
            seenDigit = true;
        } else if (c == u'.' && !seenPoint) {
            number += '.';
            seenPoint = true;
        } else {
            break;
        }
        end = ++pos;
    }
    if (!seenDigit) {
        end = 0;
        return {};
    }
    if (c == u'E' || c == u'e' || c == u'D' || c == u'd') {
        std::string exponent = "e";
        ++pos;
        char16_t s = peek(text, pos);
        if (s == u'+' || s == u'-') {
            exponent += static_cast<char>(s);
            ++pos;
        }
        // Leading zeros add nothing; beyond six significant digits any exponent
        // is out of every range, and strtod's work stays bounded.
        bool exponentDigits = false;
        std::string digits;
        for (s = peek(text, pos); s >= u'0' && s <= u'9'; s = peek(text, pos)) {
            exponentDigits = true;
            if ((s != u'0' || !digits.empty()) && digits.size() <= 6)
                digits += static_cast<char>(s);
            end = ++pos;
        }
        if (digits.size() > 6)
            digits = "999999";
        if (exponentDigits)
            number += exponent + (digits.empty() ? std::string("0") : digits);
    }
    return number;
}

double readLeading(QStringView text, qsizetype& end) {
    end = 0;
    qsizetype pos = 0;
    if (peek(text, pos) == u'&') {
        qsizetype after = pos + 1;
        const char16_t kind = peek(text, after);
        if (kind == u'H' || kind == u'h')
            return readRadixInteger(text, after + 1, 16, end);
        if (kind == u'O' || kind == u'o')
            return readRadixInteger(text, after + 1, 8, end);
        return 0.0;
    }
    const std::string number = collectDecimal(text, pos, end);
    if (number.empty())
        return 0.0;
    // The C locale, whatever the process locale says: the text is already
    // normalised to a decimal point.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return strtod_l(number.c_str(), nullptr, cLocale);
}

} // namespace

double parseLeadingNumber(QStringView text) {
    qsizetype end = 0;
    return readLeading(text, end);
}

double parseLeadingNumber(QStringView text, qsizetype& end) {
    return readLeading(text, end);
}

float ParseNumber(QString& text) {
    const qsizetype comma = text.indexOf(u',');
    if (comma >= 0)
        text[comma] = u'.';
    const double value = parseLeadingNumber(text);
    // A double outside the float range may not be converted directly.
    if (const std::optional<float> single = toSingle(value))
        return *single;
    return value < 0 ? -std::numeric_limits<float>::infinity()
                     : std::numeric_limits<float>::infinity();
}
