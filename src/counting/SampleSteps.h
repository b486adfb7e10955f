#pragma once
// The per-sample loop that the program and the offline counter share: the
// engine's steps (extremum tracking, counting, the trigger decision) run on
// each sample of a run in order, with that sample's time, and the caller is
// told of every sample that confirmed an extreme, counted one or made a
// trigger due. Header-only so that each caller's loop is compiled with its
// own callbacks inlined: a long history runs through here at full speed.
#include "counting/CountingEngine.h"
#include "counting/CountingState.h"

#include <cstddef>
#include <cstdint>

// A sample that changed something, for the caller to report or apply.
struct SampleEvent {
    size_t offset = 0; // the sample's position in the run
    StepResult result;
    bool confirmed = false; // an extreme was confirmed on this sample ...
    bool maximum = false;   // ... a maximum (else a minimum)
    float extreme = 0.0f;   // ... of this voltage
    float voltage = 0.0f;   // the sample
    int32_t now = 0;        // its time on the engine's millisecond clock
};

class SampleSteps {
public:
    // The engine and its tracker must belong together; both outlive the call.
    SampleSteps(CountingEngine& engine, const ExtremumTracker& tracker)
        : m_engine(engine), m_tracker(tracker) {}

    // Runs `count` samples, sample i at values[i * stride] taken at timeOf(i)
    // (milliseconds, int32_t, wrapping). onEvent(const SampleEvent&) is called
    // for each sample that confirmed, counted or fired; onPeak(i) each time
    // the running extreme moves to sample i (pass NoPeaks when not wanted: the
    // test then costs nothing).
    template <typename TimeOf, typename OnEvent, typename OnPeak>
    void run(const float* values, size_t stride, size_t count, TimeOf&& timeOf, OnEvent&& onEvent,
             OnPeak&& onPeak) {
        for (size_t i = 0; i < count; ++i) {
            const float voltage = values[i * stride];
            const float before = m_tracker.TrackedExtreme;
            const int32_t direction = m_tracker.Direction;
            const int32_t now = timeOf(i);
            const StepResult result = m_engine.step(voltage, now, true);
            const bool confirmed = m_tracker.Direction != direction;
            if (confirmed || result.extremumCounted || result.triggerDue) [[unlikely]]
                onEvent(SampleEvent{i, result, confirmed, direction > 0, before, voltage, now});
            if (confirmed || m_tracker.TrackedExtreme != before)
                onPeak(i);
        }
    }

    template <typename TimeOf, typename OnEvent>
    void run(const float* values, size_t stride, size_t count, TimeOf&& timeOf, OnEvent&& onEvent) {
        run(values, stride, count, timeOf, onEvent, NoPeaks{});
    }

    struct NoPeaks {
        void operator()(size_t) const {}
    };

private:
    CountingEngine& m_engine;
    const ExtremumTracker& m_tracker;
};
