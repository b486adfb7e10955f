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
    StepResult result = countSample(voltage, adReady);
    decideTrigger(voltage, now, result);
    return result;
}

StepResult CountingEngine::countSample(float& voltage, bool adReady) {
    StepResult result;
    if (!adReady) {
        voltage = 0.0f;
        m_tracker.TrackedExtreme = 0.0f;
    }
    if (confirmExtremum(voltage)) {
        result.extremumCounted = true;
        result.cycleCompleted = countExtremum(m_state);
    }
    return result;
}

void CountingEngine::takeFirstReading(float voltage) {
    m_state.WasAboveThreshold = voltage > m_state.Threshold;
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
        const bool counted =
            m_state.CountMode == CountedExtrema::Minima && extreme <= m_state.Threshold;
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
    const bool counted =
        m_state.CountMode == CountedExtrema::Maxima && extreme >= m_state.Threshold;
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

void CountingEngine::decideTrigger(float voltage, int32_t now, StepResult& result) {
    if (triggerIsDue(voltage, result)) {
        result.triggerDue = true;
        result.dueCycle = m_state.CycleCount;
        result.delayMs = isVoltageCrossing(m_state.TriggerSource) ? interpolatedDelay(voltage, now)
                                                                  : m_state.TriggerDelayMs;
    }
    m_tracker.LastSampleTime = now;
    m_tracker.LastSampleVoltage = voltage;
    m_state.WasAboveThreshold = voltage > m_state.Threshold;
}

// The extremum sources test the counted extremum before recomputing the next
// trigger; the crossing sources recompute first and then look for a crossing
// of the threshold (WasAboveThreshold still describes the previous sample here).
bool CountingEngine::triggerIsDue(float voltage, StepResult& result) {
    if (isVoltageCrossing(m_state.TriggerSource)) {
        const bool rising = m_state.TriggerSource == TriggerOn::RisingThroughThreshold;
        const bool beyond = rising ? voltage > m_state.Threshold : voltage < m_state.Threshold;
        if (!beyond)
            return false;
        result.nextTriggerChanged = updateNextTrigger(m_state);
        return m_state.WasAboveThreshold != rising && lastExtremumBeforeNextTrigger();
    }
    if (!result.extremumCounted)
        return false;
    const bool due = m_state.CycleCount == m_state.NextTriggerCount && m_state.MinorCount == 0;
    result.nextTriggerChanged = updateNextTrigger(m_state);
    return due;
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
