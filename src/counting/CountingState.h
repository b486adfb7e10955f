#pragma once
// The counting and trigger settings and the running count: one instance for the
// program, owned by the application object and shared by reference with the
// dialogs, the settings file and the counting engine. Booleans are -1/0 or 0/1
// exactly as the settings file stores them.
#include <array>
#include <cstdint>

// One row of the trigger profile: below the stress cycle `BelowCycle`, a trigger
// falls due every `Every` cycles. Row 6 uses only `Every` (above all rows).
struct ProfileRow {
    int32_t BelowCycle = 0;
    int32_t Every = 1;
    bool operator==(const ProfileRow&) const = default;
};

struct CountingState {
    int32_t CycleCount = 0;      // completed stress cycles
    int32_t MinorCount = 0;      // extrema counted in the unfinished cycle
    int32_t ExtremaPerCycle = 1; // counted extrema per stress cycle
    int32_t CountMode = 0;       // 0 counts maxima, 1 counts minima
    float Threshold = 0.0f;      // volts; counting gate and trigger threshold
    float Hysteresis = 0.2f;     // volts the signal must move back to confirm an extreme
    int32_t ADChannel = 0;       // counted channel, from 0
    int32_t TriggerEnabled = 1;  // 0 off, 1 on
    int32_t TriggerSource = 0;   // 0 max., 1 min., 2 rising through, 3 falling through
    int32_t TriggerDelayMs = 0;
    int32_t NextTriggerCount = 1;
    int32_t ExtraEvents = 0; // additional triggers right after a due one, 0..2
    int32_t ProfileRows = 0; // used rows 0..5 of TriggerProfile
    std::array<ProfileRow, 7> TriggerProfile{};
    int16_t WasAboveThreshold = 0; // -1 when the previous sample was above Threshold
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
