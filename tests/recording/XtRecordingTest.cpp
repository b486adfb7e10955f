#include "recording/XtRecording.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A recording after `samples` samples whose value is their number, the first
// going into the slot after `index`.
std::unique_ptr<XtRecording> recordingOf(int samples, int32_t index = -1) {
    auto recording = std::make_unique<XtRecording>();
    recording->SampleIndex = index;
    for (int n = 0; n < samples; ++n)
        recording->addSample(n * 40, static_cast<float>(n));
    return recording;
}

// A full ring takes the next sample in place of the oldest, and only that.
TEST(XtRecording, TheSampleAfterAFullRingOverwritesTheOldestSlot) {
    auto recording = recordingOf(10000);
    recording->addSample(123, -2.5f);
    EXPECT_EQ(recording->SampleIndex, 0);
    EXPECT_EQ(recording->SampleCount, 10000);
    EXPECT_EQ(recording->SampleRing[0].Value, -2.5f);
    EXPECT_EQ(recording->SampleRing[1].Value, 1.0f); // the next oldest is still there
}

// The redraw draws the newest sample and walks back from it one slot at a
// time, wrapping from 0 to 9999, through `visited` slots, `first` to `last`.
TEST(XtRecording, TheRedrawWalksTheRingFromTheNewestBackAndLeavesOutTheOldest) {
    const struct {
        int32_t index; // before the first sample
        int samples;
        size_t visited;
        int32_t first, last;
    } cases[] = {
        {-1, 5, 4, 3, 0},
        {-1, 9999, 9998, 9997, 0},
        // 9 999 of the 10 000 drawn: the newest in slot 9999, then 9998 down
        // to 1; the oldest (slot 0) is left out.
        {-1, 10000, 9998, 9998, 1},
        // Newest in slot 0: wraps to 9999 and stops before slot 1.
        {-1, 10001, 9998, 9999, 2},
        // A count below what the index implies (after loading a file without
        // samples into a running recorder): stale slots of an earlier run are
        // never drawn.
        {500, 2, 1, 501, 501},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.samples);
        std::vector<int32_t> slots;
        recordingOf(c.samples, c.index)->forEachRedrawSlot([&](int32_t s) { slots.push_back(s); });
        ASSERT_EQ(slots.size(), c.visited);
        EXPECT_EQ(slots.front(), c.first);
        EXPECT_EQ(slots.back(), c.last);
        for (size_t n = 1; n < slots.size(); ++n)
            ASSERT_EQ((slots[n - 1] - slots[n] + 10000) % 10000, 1) << "at " << n;
    }
}

// After 999 marks the oldest drop out and the count stays.
TEST(XtRecording, MarksBeyond999KeepTheCountAndDropTheOldest) {
    XtRecording recording;
    for (int32_t n = 1; n <= 1005; ++n)
        recording.addMark(n * 10, n);
    EXPECT_EQ(recording.MarkCount, 999);
    for (int32_t k = 1; k <= 999; ++k) // the 999 newest, 7..1005, the newest last
        ASSERT_EQ(recording.TriggerMarks[static_cast<size_t>(k)].Counter, 6 + k) << k;
}

} // namespace
