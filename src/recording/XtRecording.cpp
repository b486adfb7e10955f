#include "recording/XtRecording.h"

#include "platform/ZR2010.h"

void XtRecording::addSample(int32_t time, float value) {
    SampleIndex = SampleIndex >= RingSize - 1 || SampleIndex < 0 ? 0 : SampleIndex + 1;
    if (SampleCount < RingSize)
        ++SampleCount;
    SampleRing[static_cast<size_t>(SampleIndex)] = {time, value};
}

void XtRecording::addMark(int32_t time, int32_t counter) {
    if (MarkCount < MaxMarks)
        ++MarkCount;
    // One block move instead of a loop: a trigger must not cost a thousand copies.
    ZR2010::ZR_memcpy(&TriggerMarks[0], &TriggerMarks[1],
                      static_cast<int32_t>((MarkSlots - 1) * sizeof(TriggerMark)));
    TriggerMarks[MarkSlots - 1] = {time, counter};
}

bool XtRecording::isValid(int32_t sampleCount, int32_t sampleIndex, int32_t markCount) {
    if (sampleCount < 0 || sampleCount > RingSize)
        return false;
    if (sampleIndex < -1 || sampleIndex >= RingSize)
        return false;
    if (sampleCount > 0 && sampleIndex < 0)
        return false;
    return markCount >= 0 && markCount <= MaxMarks;
}

int32_t XtRecording::referenceTime() const {
    if (SampleCount <= 0 || SampleIndex < 0 || SampleIndex >= RingSize)
        return 0;
    return SampleRing[static_cast<size_t>(SampleIndex)].Time;
}
