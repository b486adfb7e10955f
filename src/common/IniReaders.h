#pragma once
// Readers of numbers and texts in the program's settings files. They read
// through a ProfileReader (the settings file) and never fail: a missing file,
// section or key gives the default.
#include <QString>
#include <cstdint>
#include <optional>

class ProfileReader;

// At most 255 characters of the value, or the default when the key is missing.
QString ReadIniString(const ProfileReader& file, const QString& section, const QString& key,
                      const QString& defaultValue);

// ParseNumber of the value, rounded to the nearest integer with halves to even.
// Values beyond the 32-bit range saturate at its ends; NaN gives the default.
int32_t ReadIniLong(const ProfileReader& file, const QString& section, const QString& key,
                    int32_t defaultValue);

// ParseNumber of the value. A value that is not finite (too large for a float)
// gives the default, so no infinite threshold or hysteresis reaches the engine.
float ReadIniSingle(const ProfileReader& file, const QString& section, const QString& key,
                    float defaultValue);

// The single nearest to `value`, or nothing when it lies beyond the float
// range (or is NaN or infinite).
std::optional<float> toSingle(double value);

// Rounds to the nearest integer, halves to even, saturating at the 32-bit
// range; NaN gives `fallback`. Used wherever a double becomes a counter.
int32_t roundHalfEvenToInt32(double value, int32_t fallback = 0);
