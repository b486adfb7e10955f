#include "common/IniReaders.h"

#include "common/ParseNumber.h"
#include "common/ProfileReader.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace {
constexpr qsizetype MaxValueLength = 255;

// The value text as the settings readers see it: the first comma taken as the
// decimal point, as ParseNumber does.
double readNumber(const ProfileReader& file, const QString& section, const QString& key,
                  const QString& defaultText) {
    QString text = ReadIniString(file, section, key, defaultText);
    const qsizetype comma = text.indexOf(u',');
    if (comma >= 0)
        text[comma] = u'.';
    return parseLeadingNumber(text);
}
} // namespace

QString ReadIniString(const ProfileReader& file, const QString& section, const QString& key,
                      const QString& defaultValue) {
    const std::optional<QString> value = file.rawValue(section, key);
    if (!value)
        return defaultValue;
    return value->left(MaxValueLength);
}

std::optional<float> toSingle(double value) {
    // Values up to half a step above FLT_MAX still round to FLT_MAX; beyond
    // that the conversion would be undefined, so they are refused.
    constexpr double Limit = 0x1.ffffffp127;
    if (!std::isfinite(value) || std::fabs(value) >= Limit)
        return std::nullopt;
    if (std::fabs(value) > FLT_MAX)
        return value < 0 ? -FLT_MAX : FLT_MAX;
    return static_cast<float>(value);
}

int32_t roundHalfEvenToInt32(double value, int32_t fallback) {
    if (std::isnan(value))
        return fallback;
    constexpr double Min = std::numeric_limits<int32_t>::min();
    constexpr double Max = std::numeric_limits<int32_t>::max();
    // Round first (the default rounding mode rounds halves to even), then
    // saturate, so that no out-of-range double reaches the integer conversion.
    const double rounded = std::nearbyint(value);
    if (rounded <= Min)
        return std::numeric_limits<int32_t>::min();
    if (rounded >= Max)
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rounded);
}

int32_t ReadIniLong(const ProfileReader& file, const QString& section, const QString& key,
                    int32_t defaultValue) {
    const double value = readNumber(file, section, key, QString::number(defaultValue));
    return roundHalfEvenToInt32(value, defaultValue);
}

float ReadIniSingle(const ProfileReader& file, const QString& section, const QString& key,
                    float defaultValue) {
    const double value = readNumber(file, section, key, QString::number(defaultValue));
    const std::optional<float> single = toSingle(value);
    return single ? *single : defaultValue;
}
