#pragma once
// The input checks of the trigger dialog, free of widgets: they take the texts
// of the boxes and return either the values to apply or the first box that
// fails together with the text to put into it. Nothing here changes state.
#include <QString>
#include <cstdint>
#include <variant>

namespace TriggerSettingsCheck {

// The boxes of the trigger dialog that hold numbers.
enum class Field { Counter, ExtremaPerCycle, Threshold, Hysteresis, Delay };

struct Texts {
    QString counter;         // Text_Cyclomarkator
    QString extremaPerCycle; // Text_Periodizitaet
    QString threshold;       // Text_Threshold
    QString hysteresis;      // Text_Hysterese
    QString delay;           // Text_Delay
};

// The box that failed and the text that replaces what the user typed.
struct Failure {
    Field field;
    QString replacement;
    bool operator==(const Failure&) const = default;
};

// What "OK" applies.
struct Settings {
    float Threshold = 0.0f;  // volts
    float Hysteresis = 0.0f; // volts, >= 0
    int32_t TriggerDelayMs = 0;
    int32_t ExtremaPerCycle = 1;
};

// What "&Set" applies.
struct Counter {
    int32_t CycleCount = 0;
    int32_t ExtremaPerCycle = 1;
};

// Threshold, hysteresis, delay, then extrema per cycle; the first failure wins.
// Numbers are read with a decimal comma or point, except the extrema per cycle,
// where a comma ends the number ("2,5" is 2). Values too large for a single
// are refused like negative ones, so no infinite volt value reaches counting.
std::variant<Settings, Failure> checkOk(const Texts& texts);

// Counter value (>= 0), then extrema per cycle (>= 1), both rounded halves to
// even. The counter keeps every digit up to the 32-bit limit (a single would
// turn 16777217 into 16777216) and larger values stop at that limit.
std::variant<Counter, Failure> checkSet(const Texts& texts);

} // namespace TriggerSettingsCheck
