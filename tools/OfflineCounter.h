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
#include <vector>

struct SampleEvent;

// A minimum or maximum the engine confirmed, counted or not: where its peak
// was and where the signal had moved back far enough to confirm it.
struct ExtremumEvent {
    int64_t peakIndex = 0;
    double peakSeconds = 0.0;
    int64_t index = 0; // the confirming sample, where the count changes
    double seconds = 0.0;
    float value = 0.0f; // the peak's voltage
    bool maximum = false;
    bool counted = false;
    bool completed = false; // ... and completed a stress cycle
    int32_t cycle = 0;      // CycleCount after it
};

struct TriggerEvent {
    int64_t index = 0;
    double seconds = 0.0;
    int32_t cycle = 0;
    int32_t delayMs = 0;
};

// Told of every event while the counter runs (the picture, the summary file).
class CountObserver {
public:
    virtual ~CountObserver() = default;
    virtual void extremum(const ExtremumEvent& event) = 0;
    virtual void trigger(const TriggerEvent& event) = 0;
    // False when peakIndex and peakSeconds are not used: the sample loop then
    // does not follow the running extreme, which saves time on every sample.
    virtual bool wantsPeaks() const { return true; }
};

class OfflineCounter {
public:
    enum class Format { Text, Json };

    // `state` is copied; `out` receives one line per event.
    OfflineCounter(const CountingState& state, int32_t intervalMs, Format format, std::FILE* out);

    // Samples in the order of the history. With `times` (never decreasing,
    // in units of `secondsPerUnit`) the engine's clock and the reported times
    // follow them; without, samples are `intervalMs` apart.
    void setTimeUnit(double secondsPerUnit) { m_secondsPerUnit = secondsPerUnit; }
    // Without times, sample i at i / rate seconds (above 0), on the engine's
    // clock exactly as the program counts a stream at that rate.
    void setRate(double rate) { m_rate = rate; }
    void process(const float* values, const double* times, size_t count);
    void process(float voltage) { process(&voltage, nullptr, 1); }
    // Not owned; must outlive the counter.
    void addObserver(CountObserver* observer) {
        m_observers.push_back(observer);
        m_peaksWanted = m_peaksWanted || observer->wantsPeaks();
    }
    // The time of sample `index` when the samples are `intervalMs` apart (or at the rate).
    double secondsAt(int64_t index) const {
        return m_rate > 0.0 ? static_cast<double>(index) / m_rate
                            : static_cast<double>(index) * m_intervalMs / 1000.0;
    }
    // The closing summary line; every event line is written out before it.
    // `textTail` (" key=value ...") or `jsonTail` (",\"key\":...") is added to it.
    void finish(int64_t headerLines, int64_t gaps, const std::string& textTail = {},
                const std::string& jsonTail = {});

    const CountingState& state() const { return m_state; }
    int64_t extremaCounted() const { return m_extrema; }
    int64_t triggersFired() const { return m_triggers; }
    int64_t samples() const { return m_samples; }

private:
    template <typename TimeOf, typename OnEvent>
    void runSteps(const float* values, const double* times, size_t count, TimeOf&& timeOf,
                  OnEvent&& onEvent);
    void movePeak(int64_t first, size_t offset, const double* times);
    void tellExtremum(const SampleEvent& sample, double seconds);
    [[gnu::noinline]] void reportEvents(const StepResult& result, float voltage, double seconds);
    void report(const char* event, float voltage, double seconds, int32_t cycle, int32_t delayMs);
    void flush();

    CountingState m_state;
    ExtremumTracker m_tracker{};
    CountingEngine m_engine;
    int32_t m_intervalMs;
    double m_rate = 0.0;
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
    std::vector<CountObserver*> m_observers;
    bool m_peaksWanted = false;
    int64_t m_peakIndex = 0; // where the running extreme was reached
    double m_peakSeconds = 0.0;
};
