#include "counting/CycleRecorder.h"

const CycleRecord& CycleRecorder::cycleCompleted(int32_t number, int64_t sampleIndex,
                                                 double seconds) {
    CycleRecord& r = m_record;
    r.number = number;
    r.endSeconds = seconds;
    r.peak = m_high;
    r.valley = m_low;
    r.mean = (m_high + m_low) / 2.0f;
    r.amplitude = (m_high - m_low) / 2.0f;
    r.samples = sampleIndex - m_startIndex;
    r.complete = m_sawMaximum && m_sawMinimum;
    m_startIndex = sampleIndex;
    m_seenAny = m_sawMaximum = m_sawMinimum = false;
    return r;
}

void CycleRecorder::restart(int64_t sampleIndex) {
    m_startIndex = sampleIndex;
    m_seenAny = m_sawMaximum = m_sawMinimum = false;
}
