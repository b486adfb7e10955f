#pragma once
// The quick reading of the numbers that fill recorded histories: an optional
// sign, decimal digits with one decimal point, an optional exponent. It gives
// exactly the double that std::from_chars gives, because it only accepts what
// one exact multiplication or division of two exact doubles can deliver (at
// most 19 significant digits forming a mantissa up to 2^53, a power of ten up
// to 10^22, which IEEE arithmetic then rounds correctly). Everything else
// (more digits, large exponents, "inf", "nan", hexadecimal, odd signs) is left
// to the careful reader, which is why a caller must treat "no" as "not sure".
//
// The text must end with a character that cannot continue a number (a line
// feed, say): scanning stops only there.
#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace DecimalScan {

inline constexpr double PowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool isDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

namespace detail {
// The mantissa and exponent as one correctly rounded double, or false.
inline bool compose(uint64_t mantissa, int exponent, bool negative, double& value) {
    if (mantissa > (uint64_t{1} << 53) || exponent < -22 || exponent > 22) {
        if (mantissa != 0)
            return false;
        exponent = 0;
    }
    const auto m = static_cast<double>(mantissa);
    const double magnitude = exponent >= 0 ? m * PowersOfTen[exponent] : m / PowersOfTen[-exponent];
    value = negative ? -magnitude : magnitude;
    return true;
}

// An exponent "e-3" at `p` added to `exponent`; the character after it, or nullptr.
inline const char* exponentPart(const char* p, int& exponent) {
    if (*p != 'e' && *p != 'E')
        return p;
    ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    if (!isDigit(*p))
        return nullptr;
    int written = 0;
    for (; isDigit(*p); ++p) {
        written = written * 10 + (*p - '0');
        if (written > 9999)
            return nullptr;
    }
    exponent += negative ? -written : written;
    return p;
}

} // namespace detail

// Reads the number that starts at `p`; `comma` also takes ',' as the decimal
// point. Returns the character after the number with `value` set, or nullptr.
// (Reading eight digits at once was tried: on the short digit runs of
// recorded histories this plain loop is faster.)
inline const char* scan(const char* p, bool comma, double& value) {
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    // Leading zeros carry no digit of the mantissa.
    const char* first = p;
    while (*p == '0')
        ++p;
    uint64_t mantissa = 0;
    const char* start = p;
    for (; isDigit(*p); ++p)
        mantissa = mantissa * 10 + static_cast<unsigned char>(*p - '0');
    ptrdiff_t digits = p - start; // significant digits taken into the mantissa
    bool any = p != first;
    int exponent = 0; // decimal exponent of the mantissa's last digit
    if (*p == '.' || (comma && *p == ',')) {
        ++p;
        const char* fraction = p;
        if (mantissa == 0) {
            while (*p == '0')
                ++p;
        }
        start = p;
        for (; isDigit(*p); ++p)
            mantissa = mantissa * 10 + static_cast<unsigned char>(*p - '0');
        digits += p - start;
        exponent = -static_cast<int>(std::min<ptrdiff_t>(p - fraction, 100000));
        any = any || p != fraction;
    }
    if (!any || digits > 19)
        return nullptr;
    p = detail::exponentPart(p, exponent);
    return p && detail::compose(mantissa, exponent, negative, value) ? p : nullptr;
}

} // namespace DecimalScan
