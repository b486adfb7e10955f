#pragma once
// The counting and trigger settings and the running count: one instance for the
// program, owned by the session and shared by reference with the counting core,
// the settings file and the engine. The settings file stores the flags as -1/0
// or 0/1 and the choices as numbers; in memory they are bool and enum class.
#include <array>
#include <cstdint>

// Which extrema count (the settings file's CountMode 0 and 1).
enum class CountedExtrema : int32_t { Maxima = 0, Minima = 1 };

// What makes a due trigger fire (the settings file's Source, the option index
// of the trigger dialog). The first two fire on the counted extremum that
// completes the due cycle and differ only in which side of the threshold the
// voltage label marks; the last two fire when the voltage crosses the
// threshold during the last extremum before the due cycle.
enum class TriggerOn : int32_t {
    MaxVoltage = 0,
    MinVoltage = 1,
    RisingThroughThreshold = 2,
    FallingThroughThreshold = 3,
};

inline bool isVoltageCrossing(TriggerOn source) {
    return source == TriggerOn::RisingThroughThreshold ||
           source == TriggerOn::FallingThroughThreshold;
}

// One row of the trigger profile: below the stress cycle `BelowCycle`, a trigger
// falls due every `Every` cycles. Row 6 uses only `Every` (above all rows).
struct ProfileRow {
    int32_t BelowCycle = 0;
    int32_t Every = 1;
    bool operator==(const ProfileRow&) const = default;
};

using TriggerProfileRows = std::array<ProfileRow, 7>;

struct CountingState {
    int32_t CycleCount = 0;      // completed stress cycles
    int32_t MinorCount = 0;      // extrema counted in the unfinished cycle
    int32_t ExtremaPerCycle = 1; // counted extrema per stress cycle
    CountedExtrema CountMode = CountedExtrema::Maxima;
    float Threshold = 0.0f;  // volts; counting gate and trigger threshold
    float Hysteresis = 0.2f; // volts the signal must move back to confirm an extreme
    int32_t ADChannel = 0;   // counted channel, from 0
    bool TriggerEnabled = true;
    TriggerOn TriggerSource = TriggerOn::MaxVoltage;
    int32_t TriggerDelayMs = 0;
    int32_t NextTriggerCount = 1;
    int32_t ExtraEvents = 0; // additional triggers right after a due one, 0..2
    int32_t ProfileRows = 0; // used rows 0..5 of TriggerProfile
    TriggerProfileRows TriggerProfile{};
    bool WasAboveThreshold = false; // the previous sample was above Threshold
    bool operator==(const CountingState&) const = default;
};

// The per-window state of the extremum detection; all zero at start, so the
// tracker first seeks a minimum starting from 0 V.
struct ExtremumTracker {
    int32_t ActivityX = 0;       // x position of the activity line
    float TrackedExtreme = 0.0f; // running minimum or maximum, volts
    int32_t Direction = 0;       // <= 0 seeking a minimum, > 0 seeking a maximum
    int32_t LastSampleTime = 0;  // millisecond clock of the previous sample
    float LastSampleVoltage = 0.0f;
};
