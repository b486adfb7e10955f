#pragma once
// Builds one CycleRecord per counted stress cycle from what the engine
// confirms: it is told every confirmed extreme (counted or not) and every
// completed cycle, and keeps only a running highest and lowest value, so a
// cycle costs a few comparisons and no allocation. Shared by the program's
// sample loop and the offline counter; feeds the specimen watch.
#include <cstdint>

// One counted stress cycle. Peak and valley are the highest and lowest
// confirmed extremum of either kind since the previous counted cycle.
struct CycleRecord {
    int32_t number = 0;      // the cycle count it completed
    double endSeconds = 0.0; // when it was completed, on the caller's clock
    float peak = 0.0f;
    float valley = 0.0f;
    float mean = 0.0f;      // (peak + valley) / 2
    float amplitude = 0.0f; // (peak - valley) / 2
    int64_t samples = 0;    // samples since the previous counted cycle
    // False when the cycle saw confirmed extrema of one kind only (the first
    // cycle after start or after the count was set, before the tracker has
    // gone both ways): peak and valley are then the highest and lowest of what
    // it saw, which is no measure of the load, so the watch does not judge it.
    bool complete = false;
};

class CycleRecorder {
public:
    // A confirmed extreme (`maximum` or minimum) of `value` volts.
    void extremum(float value, bool maximum) {
        if (!m_seenAny) {
            m_high = m_low = value;
            m_seenAny = true;
        } else if (value > m_high) {
            m_high = value;
        } else if (value < m_low) {
            m_low = value;
        }
        (maximum ? m_sawMaximum : m_sawMinimum) = true;
    }

    // The cycle `number` completed at sample `sampleIndex`, `seconds`: the
    // record of it, and the next cycle starts empty. The extreme that
    // completed it must have been passed to extremum() first.
    const CycleRecord& cycleCompleted(int32_t number, int64_t sampleIndex, double seconds);

    // Forgets the extrema seen so far, for a count that was set or reset: the
    // next record starts at `sampleIndex` and is not complete.
    void restart(int64_t sampleIndex);

    const CycleRecord& last() const { return m_record; }

private:
    CycleRecord m_record;
    int64_t m_startIndex = 0;
    float m_high = 0.0f;
    float m_low = 0.0f;
    bool m_seenAny = false;
    bool m_sawMaximum = false;
    bool m_sawMinimum = false;
};
