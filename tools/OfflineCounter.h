#pragma once
// Runs the program's counting engine over recorded samples and reports every
// counted extremum and every trigger, so a lab can try threshold, hysteresis
// and trigger profile on a load history before starting a weeks-long test.
// Samples come in batches; times are either a fixed interval or per sample.
#include "counting/CountingEngine.h"
#include "counting/CountingState.h"

#include <cstdint>
#include <cstdio>
#include <string>

class OfflineCounter {
public:
    enum class Format { Text, Json };

    // `state` is copied; `out` receives one line per event.
    OfflineCounter(const CountingState& state, int32_t intervalMs, Format format, std::FILE* out);

    // Samples in the order of the history. With `times` (never decreasing,
    // in units of `secondsPerUnit`) the engine's clock and the reported times
    // follow them; without, samples are `intervalMs` apart.
    void setTimeUnit(double secondsPerUnit) { m_secondsPerUnit = secondsPerUnit; }
    [[gnu::flatten]] void process(const float* values, const double* times, size_t count);
    void process(float voltage) { process(&voltage, nullptr, 1); }
    // The closing summary line; every event line is written out before it.
    void finish(int64_t headerLines, int64_t gaps);

    const CountingState& state() const { return m_state; }
    int64_t extremaCounted() const { return m_extrema; }
    int64_t triggersFired() const { return m_triggers; }
    int64_t samples() const { return m_samples; }

private:
    [[gnu::noinline]] void reportEvents(const StepResult& result, float voltage, double seconds);
    void report(const char* event, float voltage, double seconds, int32_t cycle, int32_t delayMs);
    void flush();

    CountingState m_state;
    ExtremumTracker m_tracker{};
    CountingEngine m_engine;
    int32_t m_intervalMs;
    uint32_t m_clock = 0; // the program's wrapping millisecond tick
    bool m_timed = false;
    double m_secondsPerUnit = 1.0;
    Format m_format;
    std::FILE* m_out;
    std::string m_pending; // event lines not yet handed to `m_out`
    int32_t m_startCount;
    int64_t m_samples = 0;
    int64_t m_extrema = 0;
    int64_t m_triggers = 0;
};
