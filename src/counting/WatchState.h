#pragma once
// The specimen watch's settings and the state it keeps (reference, failure,
// stall): plain values, owned by whoever owns the watch, saved in the settings
// file's [Watch] section before anything shows them. The limits of each
// setting are here, so the settings file, a dialog and the offline counter's
// options refuse the same values.
#include "recording/CycleLogSchedule.h"

#include <cstdint>

// What a failure broke: the amplitude fell below (100 - X) % of the reference
// amplitude, or the peak or valley left the band of +/- Y % of the reference
// amplitude around its reference value.
enum class WatchCriterion : int32_t { None = 0, Amplitude = 1, Peak = 2, Valley = 3 };

// "amplitude", "peak", "valley", or "" for None: the names the settings file,
// the offline counter and the link use.
const char* criterionName(WatchCriterion criterion);
// None for a name that is none of those (case matters).
WatchCriterion criterionFromName(const char* name);

struct WatchSettings {
    bool armed = false;
    int32_t settlingCycles = 100;     // S: cycles after arming before the reference
    int32_t referenceCycles = 50;     // R: cycles the reference is the mean of
    bool amplitudeCheck = true;       // X enabled
    double amplitudeDropPercent = 10; // X
    bool peakCheck = true;            // Y enabled for the peak ...
    bool valleyCheck = true;          // ... and for the valley
    double bandPercent = 20;          // Y, of the reference amplitude
    int32_t confirmCycles = 3;        // M consecutive cycles confirm a failure
    double stallSeconds = 0;          // T; 0: the larger of 10 s and 20 median cycle times
    // The cycle log's schedule: every cycle up to 100, then logPerDecade per
    // decade of the count, and every logEveryNth cycle when above 0.
    int32_t logPerDecade = CycleLogSchedule::DefaultPerDecade;
    int32_t logEveryNth = 0;
    bool operator==(const WatchSettings&) const = default;

    static constexpr int32_t MaxSettlingCycles = 100'000'000;
    static constexpr double MaxAmplitudeDropPercent = 99.999; // 100 would never fail
    static constexpr int32_t MaxReferenceCycles = 100'000;    // each keeps 12 bytes of history
    static constexpr int32_t MaxConfirmCycles = 100'000;
    static constexpr double MaxBandPercent = 1000;
    static constexpr double MaxStallSeconds = 30 * 86400.0;
    static constexpr int32_t MaxLogPerDecade = CycleLogSchedule::MaxPerDecade;
};

// The mean load of the reference cycles fromCycle..toCycle.
struct WatchReference {
    bool taken = false;
    float peak = 0.0f;
    float valley = 0.0f;
    float amplitude = 0.0f;
    int32_t fromCycle = 0;
    int32_t toCycle = 0;
    double takenSeconds = 0; // the caller's clock (the program: seconds since the epoch)
    bool operator==(const WatchReference&) const = default;
};

// A confirmed failure: N_f is `cycle`, the first of the M cycles that broke
// `criterion`; the values are those of cycle N_f.
struct WatchFailure {
    bool failed = false;
    int32_t cycle = 0;
    WatchCriterion criterion = WatchCriterion::None;
    float peak = 0.0f;
    float valley = 0.0f;
    float amplitude = 0.0f;
    int32_t confirmedCycle = 0; // the M-th cycle, where it was confirmed
    double seconds = 0;         // when cycle N_f ended, on the caller's clock
    bool operator==(const WatchFailure&) const = default;
};

// No counted cycle for limitSeconds since sinceSeconds (the last cycle, or
// the start or end of a pause) while the device answered.
struct WatchStall {
    bool stalled = false;
    int32_t lastCycle = 0;
    double sinceSeconds = 0;
    double limitSeconds = 0; // the T that applied
    double endedSeconds = 0; // when the next counted cycle ended it
};

struct WatchState {
    WatchReference reference;
    WatchFailure failure;
    WatchStall stall;
};

// What one call changed, for the caller to save before it shows it; several
// can come together (a cycle that ends a stall and completes the reference).
struct WatchEvents {
    enum : uint32_t {
        ReferenceTaken = 1,
        FailureConfirmed = 2,
        StallBegun = 4,
        StallEnded = 8,
        ReferenceForgotten = 16,
    };
    uint32_t bits = 0;
    bool any() const { return bits != 0; }
    bool has(uint32_t event) const { return (bits & event) != 0; }
};
