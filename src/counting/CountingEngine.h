#pragma once
// The counting engine: one call per sample tracks the running extreme, confirms
// a minimum or maximum once the signal has moved back by more than the
// hysteresis, counts confirmed extrema past the threshold into stress cycles
// and decides whether a trigger falls due. Pure arithmetic on the state it is
// given (no Qt, no I/O, no allocation), shared by the main window, the
// headless mode and the offline counter; the caller applies the outside effects.
#include "counting/CountingState.h"

#include <cstdint>

// What one sample changed, for the caller to show, publish and fire.
struct StepResult {
    bool extremumCounted = false;    // a confirmed extremum was counted
    bool cycleCompleted = false;     // ... and it completed a stress cycle
    bool nextTriggerChanged = false; // NextTriggerCount has a new value
    bool triggerDue = false;
    int32_t delayMs = 0;  // wait before firing the due trigger; <= 0 fires at once
    int32_t dueCycle = 0; // CycleCount when the trigger fell due
};

class CountingEngine {
public:
    // Both objects must outlive the engine; the engine only changes them in step().
    CountingEngine(CountingState& state, ExtremumTracker& tracker)
        : m_state(state), m_tracker(tracker) {}

    // One sample `voltage` taken at `now` (millisecond clock): countSample()
    // then decideTrigger(). Without a ready converter the sample is 0 V and the
    // tracked extreme is pulled to 0 V, so nothing is confirmed while the
    // converter is missing.
    StepResult step(float voltage, int32_t now, bool adReady);

    // The two halves of step(), for a caller that saves a counted extremum
    // before the trigger decision recomputes the next trigger.
    StepResult countSample(float& voltage, bool adReady);
    // Decides the trigger and keeps the sample for the next one.
    void decideTrigger(float voltage, int32_t now, StepResult& result);

    // The reading taken once at start-up, before the first tick: it only says
    // on which side of the threshold the signal starts, so that a voltage
    // source does not see a crossing where the signal merely starts beyond it.
    void takeFirstReading(float voltage);

    // One counted extremum: MinorCount advances and wraps at ExtremaPerCycle
    // (below 1 taken as 1), completing a cycle. CycleCount stops at the 32-bit
    // limit instead of wrapping negative. Returns true when a cycle completed.
    static bool countExtremum(CountingState& state);

    // The cycle count at which the next trigger falls due, from CycleCount, the
    // profile and ExtraEvents. Intervals below 1 are taken as 1 and the result
    // saturates at the 32-bit range.
    static int32_t nextTriggerCount(const CountingState& state);

    // Stores nextTriggerCount() in the state; true when the value changed.
    static bool updateNextTrigger(CountingState& state);

private:
    bool confirmExtremum(float voltage);
    bool triggerIsDue(float voltage, StepResult& result);
    bool lastExtremumBeforeNextTrigger() const;
    int32_t interpolatedDelay(float voltage, int32_t now) const;

    CountingState& m_state;
    ExtremumTracker& m_tracker;
};
