#include "counting/CountingEngine.h"

#include "common/IniReaders.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int32_t Int32Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Int32Min = std::numeric_limits<int32_t>::min();

int32_t saturate(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, Int32Min, Int32Max));
}

// The interval N of the profile row that covers the count: the first used row
// whose BelowCycle is not below the count, else row 6. An interval below 1
// would divide by zero or run backwards, so it is taken as 1.
int32_t triggerInterval(const CountingState& state) {
    const int rows = std::clamp<int32_t>(state.ProfileRows, 0, 6);
    int32_t every = 0;
    for (int i = 0; i < rows; ++i) {
        if (state.TriggerProfile[i].BelowCycle >= state.CycleCount) {
            every = state.TriggerProfile[i].Every;
            break;
        }
    }
    if (every == 0)
        every = state.TriggerProfile[6].Every;
    return std::max<int32_t>(every, 1);
}

} // namespace

StepResult CountingEngine::step(float voltage, int32_t now, bool adReady) {
    StepResult result;
    if (!adReady) {
        voltage = 0.0f;
        m_tracker.TrackedExtreme = 0.0f;
    }
    if (confirmExtremum(voltage)) {
        result.extremumCounted = true;
        result.cycleCompleted = countExtremum(m_state);
    }
    decideTrigger(voltage, now, result);
    m_tracker.LastSampleTime = now;
    m_tracker.LastSampleVoltage = voltage;
    m_state.WasAboveThreshold = voltage > m_state.Threshold ? -1 : 0;
    return result;
}

void CountingEngine::takeFirstReading(float voltage) {
    m_state.WasAboveThreshold = voltage > m_state.Threshold ? -1 : 0;
}

// Follows the running extreme; returns true when an extreme of the counted
// kind was confirmed past the threshold. A NaN sample fails every comparison
// and so changes nothing.
bool CountingEngine::confirmExtremum(float voltage) {
    float& extreme = m_tracker.TrackedExtreme;
    // The bounds are rounded to single precision before the strict comparison,
    // so a sample exactly the hysteresis away does not yet confirm the extreme.
    if (m_tracker.Direction <= 0) {
        if (voltage < extreme) {
            extreme = voltage;
            return false;
        }
        const float bound = extreme + m_state.Hysteresis;
        if (!(voltage > bound))
            return false;
        const bool counted = m_state.CountMode == 1 && extreme <= m_state.Threshold;
        m_tracker.Direction = 1;
        extreme = voltage;
        return counted;
    }
    if (voltage > extreme) {
        extreme = voltage;
        return false;
    }
    const float bound = extreme - m_state.Hysteresis;
    if (!(voltage < bound))
        return false;
    const bool counted = m_state.CountMode == 0 && extreme >= m_state.Threshold;
    m_tracker.Direction = -1;
    extreme = voltage;
    return counted;
}

bool CountingEngine::countExtremum(CountingState& state) {
    const int32_t perCycle = std::max<int32_t>(state.ExtremaPerCycle, 1);
    if (state.MinorCount < perCycle - 1) {
        ++state.MinorCount;
        return false;
    }
    state.MinorCount = 0;
    if (state.CycleCount < Int32Max)
        ++state.CycleCount;
    return true;
}

int32_t CountingEngine::nextTriggerCount(const CountingState& state) {
    const int32_t count = state.CycleCount;
    const int32_t every = triggerInterval(state);
    // q = floor(count / every) * every. Integer floor division gives exactly
    // what dividing in floating point and rounding down gives for 32-bit
    // operands, without a library call on every sample of the voltage sources.
    int64_t quotient = count / every;
    if (count % every != 0 && count < 0)
        --quotient;
    const int64_t q = quotient * every;
    const int64_t next = count >= q + state.ExtraEvents ? q + every : int64_t{count} + 1;
    return saturate(next);
}

bool CountingEngine::updateNextTrigger(CountingState& state) {
    const int32_t next = nextTriggerCount(state);
    const bool changed = next != state.NextTriggerCount;
    state.NextTriggerCount = next;
    return changed;
}

// Sources 0 and 1 test the counted extremum before recomputing the next
// trigger; sources 2 and 3 recompute first and then look for a crossing of the
// threshold (WasAboveThreshold still describes the previous sample here).
void CountingEngine::decideTrigger(float voltage, int32_t now, StepResult& result) {
    const int32_t source = m_state.TriggerSource;
    bool due = false;
    if (source == 2 || source == 3) {
        const bool rising = source == 2;
        const bool beyond = rising ? voltage > m_state.Threshold : voltage < m_state.Threshold;
        if (!beyond)
            return;
        result.nextTriggerChanged = updateNextTrigger(m_state);
        const bool wasAbove = m_state.WasAboveThreshold != 0;
        if (wasAbove != rising)
            due = lastExtremumBeforeNextTrigger();
    } else {
        if (!result.extremumCounted)
            return;
        due = m_state.CycleCount == m_state.NextTriggerCount && m_state.MinorCount == 0;
        result.nextTriggerChanged = updateNextTrigger(m_state);
    }
    if (!due)
        return;
    result.triggerDue = true;
    result.dueCycle = m_state.CycleCount;
    result.delayMs =
        (source == 2 || source == 3) ? interpolatedDelay(voltage, now) : m_state.TriggerDelayMs;
}

// The last extremum of the cycle before NextTriggerCount is running.
bool CountingEngine::lastExtremumBeforeNextTrigger() const {
    const int32_t perCycle = std::max<int32_t>(m_state.ExtremaPerCycle, 1);
    return m_state.MinorCount == perCycle - 1 &&
           static_cast<int64_t>(m_state.CycleCount) ==
               static_cast<int64_t>(m_state.NextTriggerCount) - 1;
}

// The voltage sources fire when the threshold was crossed, not when the sample
// arrived: the delay is shortened by the time since the interpolated crossing.
int32_t CountingEngine::interpolatedDelay(float voltage, int32_t now) const {
    const float last = m_tracker.LastSampleVoltage;
    if (!(now > m_tracker.LastSampleTime) || voltage == last)
        return 0;
    const double fraction =
        (static_cast<double>(m_state.Threshold) - last) / (static_cast<double>(voltage) - last);
    // The clock wraps, so the elapsed time is taken in wrapping 32-bit arithmetic.
    const auto elapsed = static_cast<int32_t>(static_cast<uint32_t>(now) -
                                              static_cast<uint32_t>(m_tracker.LastSampleTime));
    const double delay = static_cast<double>(m_state.TriggerDelayMs) - fraction * elapsed;
    // Around a NaN or infinite sample there is no crossing to interpolate: fire at once.
    return std::isfinite(delay) ? roundHalfEvenToInt32(delay, 0) : 0;
}
