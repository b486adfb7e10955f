#pragma once
// What the recorder remembers: a ring of the latest 10000 samples and the
// latest 999 trigger marks, in the fixed arrays the data file mirrors. Kept
// apart from any window so that the program records the same way with or
// without one, and so that the file format and the redraw walk can be tested
// on their own. A recording is valid when isValid() holds; addSample() and
// addMark() keep it so, and a data file is only taken over when it is.
#include "recording/TriggerMark.h"
#include "recording/XtSample.h"

#include <array>
#include <cstdint>

struct XtRecording {
    static constexpr int32_t RingSize = 10000;
    static constexpr int32_t MarkSlots = 1000;
    static constexpr int32_t MaxMarks = 999;

    int32_t SampleIndex = -1; // slot of the newest sample, -1 before the first
    int32_t SampleCount = 0;  // valid samples, 0..RingSize
    std::array<XtSample, RingSize> SampleRing{};
    int32_t MarkCount = 0; // valid marks, 0..MaxMarks; they end at the last entry
    std::array<TriggerMark, MarkSlots> TriggerMarks{}; // newest at entry MarkSlots - 1

    // The next slot of the ring takes the sample; the oldest falls out of a full ring.
    void addSample(int32_t time, float value);
    // All entries move down by one (the oldest falls out) and the mark goes last.
    void addMark(int32_t time, int32_t counter);

    // The counts and the index lie where the arrays can serve them. A sample
    // index of -1 is only valid while there are no samples.
    static bool isValid(int32_t sampleCount, int32_t sampleIndex, int32_t markCount);
    bool isValid() const { return isValid(SampleCount, SampleIndex, MarkCount); }

    // The reference time of a redraw: the newest sample's time, 0 without one.
    int32_t referenceTime() const;

    // The slots a redraw visits after the newest, newest first: back through
    // the ring, wrapping from slot 0 to the last slot only when the ring is
    // full, stopping before the oldest slot of a full ring, and never visiting
    // more than SampleCount - 1 slots (so slots that hold no sample of this
    // run are never drawn). `visit` receives the slot number.
    template <typename Visit> void forEachRedrawSlot(Visit&& visit) const {
        if (SampleCount <= 0 || SampleIndex < 0 || SampleIndex >= RingSize)
            return;
        const int32_t oldest = (SampleIndex + 1) % RingSize;
        int32_t slot = SampleIndex;
        for (int32_t visited = 1; visited < SampleCount; ++visited) {
            --slot;
            if (slot < 0) {
                if (SampleCount < RingSize)
                    return;
                slot = RingSize - 1;
            }
            if (slot == oldest)
                return;
            visit(slot);
        }
    }
};
