#pragma once
// Runs the program's counting engine over recorded samples and reports every
// counted extremum and every trigger, so a lab can try threshold, hysteresis
// and trigger profile on a load history before starting a weeks-long test.
#include "counting/CountingEngine.h"
#include "counting/CountingState.h"

#include <cstdint>
#include <cstdio>

class OfflineCounter {
public:
    enum class Format { Text, Json };

    // `state` is copied; `out` receives one line per event.
    OfflineCounter(const CountingState& state, int32_t intervalMs, Format format, std::FILE* out);

    // One sample; `index` counts from 0.
    void process(float voltage, int64_t index);
    // The closing summary line.
    void finish(int64_t headerLines);

    const CountingState& state() const { return m_state; }
    int64_t extremaCounted() const { return m_extrema; }
    int64_t triggersFired() const { return m_triggers; }
    int64_t samples() const { return m_samples; }

private:
    void report(const char* event, int64_t index, float voltage, int32_t cycle, int32_t delayMs);

    CountingState m_state;
    ExtremumTracker m_tracker{};
    CountingEngine m_engine;
    int32_t m_intervalMs;
    Format m_format;
    std::FILE* m_out;
    int32_t m_startCount;
    int64_t m_samples = 0;
    int64_t m_extrema = 0;
    int64_t m_triggers = 0;
};
