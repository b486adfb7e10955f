#include "counting/ScanCounting.h"

#include "counting/SampleSteps.h"

#include <cmath>

namespace {
// The lowest and highest sample of the tick, in the order they were reached.
void band(const float* values, size_t stride, ScanTickResult& result) {
    float low = values[0];
    float high = values[0];
    int64_t lowAt = 0;
    int64_t highAt = 0;
    for (int64_t s = 1; s < result.scans; ++s) {
        const float v = values[static_cast<size_t>(s) * stride];
        if (v < low) {
            low = v;
            lowAt = s;
        } else if (v > high) {
            high = v;
            highAt = s;
        }
    }
    result.first = lowAt <= highAt ? low : high;
    result.second = lowAt <= highAt ? high : low;
}
} // namespace

int32_t ScanCounting::millisecondsAt(int64_t index, double rate) {
    const auto ms = static_cast<int64_t>(std::floor(static_cast<double>(index) * 1000.0 / rate));
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

int32_t ScanCounting::millisecondsOf(double seconds) {
    const auto ms = static_cast<int64_t>(std::llround(seconds * 1000.0));
    return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

int32_t ScanCounting::remainingDelay(const DueTrigger& trigger, int64_t lastIndex, double rate) {
    if (trigger.delayMs <= 0)
        return trigger.delayMs;
    const double elapsedMs = static_cast<double>(lastIndex - trigger.scanIndex) * 1000.0 / rate;
    return static_cast<int32_t>(std::ceil(trigger.delayMs - elapsedMs));
}

ScanTickResult ScanCounting::run(const ScanBlock& block, int32_t channel, double rate,
                                 const std::function<void(int64_t)>& onCycle,
                                 const std::function<void(float, bool)>& onConfirmed) {
    ScanTickResult result;
    result.scans = block.scans();
    if (result.scans <= 0 || channel < 0 || channel >= block.channels)
        return result;
    const float* values = block.values.data() + channel;
    const auto stride = static_cast<size_t>(block.channels);
    if (!m_started) {
        m_engine.takeFirstReading(values[0]);
        m_started = true;
    }
    const int64_t first = block.firstIndex;
    const double* stamps =
        block.seconds.size() == static_cast<size_t>(result.scans) ? block.seconds.data() : nullptr;
    SampleSteps steps(m_engine, m_tracker);
    steps.run(
        values, stride, static_cast<size_t>(result.scans),
        [first, rate, stamps](size_t i) {
            return stamps ? millisecondsOf(stamps[i])
                          : millisecondsAt(first + static_cast<int64_t>(i), rate);
        },
        [&](const SampleEvent& event) {
            const int64_t index = first + static_cast<int64_t>(event.offset);
            if (event.confirmed && onConfirmed)
                onConfirmed(event.extreme, event.maximum);
            if (event.result.extremumCounted)
                ++result.extremaCounted;
            if (event.result.cycleCompleted) {
                result.cycleCompleted = true;
                if (onCycle)
                    onCycle(index);
            }
            result.nextTriggerChanged |= event.result.nextTriggerChanged;
            if (event.result.triggerDue)
                result.triggers.push_back({event.result.dueCycle, event.result.delayMs, index});
        });
    band(values, stride, result);
    result.last = values[static_cast<size_t>(result.scans - 1) * stride];
    result.lastIndex = first + result.scans - 1;
    return result;
}
