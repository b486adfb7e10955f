#pragma once
// The recorder's two scale menus: nine time scales (seconds per grid
// division of 20 rows, so the scroll interval in milliseconds per row) and
// seven voltage ranges, whose full scale sits at 1/22 and 21/22 of the width.
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace XtScales {
struct TimeScale {
    const char* caption;
    int32_t secondsPerDivision;
};
struct VoltageScale {
    const char* caption;
    float fullScale; // volts
};

inline constexpr std::array<TimeScale, 9> TimeScales{{
    {"1 s / DIV", 1},
    {"2 s / DIV", 2},
    {"5 s / DIV", 5},
    {"10 s / DIV", 10},
    {"20 s / DIV", 20},
    {"1 min / DIV", 60},
    {"2 min / DIV", 120},
    {"5 min / DIV", 300},
    {"10 min / DIV", 600},
}};

inline constexpr std::array<VoltageScale, 7> VoltageScales{{
    {"-10 ... +10 V", 10.0f},
    {"-5 ... +5 V", 5.0f},
    {"-2 ... +2 V", 2.0f},
    {"-1 ... +1 V", 1.0f},
    {"-0.5 ... +0.5 V", 0.5f},
    {"-0.2 ... +0.2 V", 0.2f},
    {"-0.1 ... +0.1 V", 0.1f},
}};

constexpr int16_t DefaultTimeScaleIndex = 3;
constexpr int16_t DefaultXScaleIndex = 0;
// What an index outside the menu becomes (for both menus: 10 s / DIV, +-1 V).
constexpr int16_t FallbackScaleIndex = 3;

bool isTimeScaleIndex(int32_t index);
bool isXScaleIndex(int32_t index);

// Milliseconds per row, the nearest whole number to seconds / 20 * 1000;
// nothing for an index outside the menu.
std::optional<int32_t> scrollIntervalMs(int32_t index);

struct XRange {
    float Xmin;
    float Xmax;
};
// The plot's edges for a voltage scale: the full scale times 1.1.
std::optional<XRange> xRange(int32_t index);

// The menu titles that show the choice: "&t [10 s / DIV]", "&X [-1 ... +1 V]".
QString timeMenuTitle(int32_t index);
QString xMenuTitle(int32_t index);
} // namespace XtScales
