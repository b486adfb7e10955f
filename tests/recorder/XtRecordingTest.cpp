#include "recorder/XtRecording.h"
#include "platform/MillisecondClock.h"
#include "platform/Prompts.h"
#include "recorder/XtRecorderModel.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// A recording after `samples` samples whose value is their number.
std::unique_ptr<XtRecording> recordingOf(int samples) {
    auto recording = std::make_unique<XtRecording>();
    for (int n = 0; n < samples; ++n)
        recording->addSample(n * 40, static_cast<float>(n));
    return recording;
}

std::vector<int32_t> walk(const XtRecording& recording) {
    std::vector<int32_t> slots;
    recording.forEachRedrawSlot([&](int32_t slot) { slots.push_back(slot); });
    return slots;
}

TEST(XtRecording, TheSampleAfterAFullRingOverwritesTheOldestSlot) {
    auto recording = recordingOf(10000);
    EXPECT_EQ(recording->SampleIndex, 9999);
    EXPECT_EQ(recording->SampleCount, 10000);
    recording->addSample(123, -2.5f);
    EXPECT_EQ(recording->SampleIndex, 0);
    EXPECT_EQ(recording->SampleCount, 10000);
    EXPECT_EQ(recording->SampleRing[0].Time, 123);
    EXPECT_EQ(recording->SampleRing[0].Value, -2.5f);
    EXPECT_EQ(recording->SampleRing[1].Value, 1.0f); // the next oldest is still there
}

struct WalkCase {
    const char* name;
    int samples;
    size_t visited;
    int32_t first;
    int32_t last;
};

class RedrawWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(RedrawWalk, VisitsTheRingFromTheNewestBackAndLeavesOutTheOldest) {
    const WalkCase& c = GetParam();
    const auto recording = recordingOf(c.samples);
    const std::vector<int32_t> slots = walk(*recording);
    ASSERT_EQ(slots.size(), c.visited);
    if (c.visited == 0)
        return;
    EXPECT_EQ(slots.front(), c.first);
    EXPECT_EQ(slots.back(), c.last);
    // One slot further back each time, wrapping from 0 to 9999.
    for (size_t n = 1; n < slots.size(); ++n)
        EXPECT_EQ((slots[n - 1] - slots[n] + 10000) % 10000, 1) << "at " << n;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RedrawWalk,
    testing::Values(WalkCase{"Empty", 0, 0, 0, 0}, WalkCase{"One", 1, 0, 0, 0},
                    WalkCase{"Few", 5, 4, 3, 0}, WalkCase{"AlmostFull", 9999, 9998, 9997, 0},
                    // Newest in slot 9999: 9998 down to 1, the oldest (slot 0) left out.
                    WalkCase{"FullNewestLast", 10000, 9998, 9998, 1},
                    // Newest in slot 0: wraps to 9999 and stops before slot 1.
                    WalkCase{"FullNewestFirst", 10001, 9998, 9999, 2},
                    WalkCase{"FullNewestInside", 10006, 9998, 4, 7}),
    [](const auto& info) { return std::string(info.param.name); });

// A ring whose count says fewer samples than its index implies (possible
// after loading a file without samples into a running recorder) is walked no
// further than its count: stale slots of an earlier run are never drawn.
TEST(XtRecording, TheWalkNeverVisitsMoreSlotsThanTheCountHolds) {
    XtRecording recording;
    recording.SampleIndex = 500;
    recording.addSample(0, 1.0f);
    recording.addSample(40, 2.0f);
    EXPECT_EQ(walk(recording), std::vector<int32_t>{501});
}

TEST(XtRecording, MarksBeyond999KeepTheCountAndDropTheOldest) {
    XtRecording recording;
    for (int32_t n = 1; n <= 1005; ++n)
        recording.addMark(n * 10, n);
    EXPECT_EQ(recording.MarkCount, 999);
    EXPECT_EQ(recording.TriggerMarks[999].Counter, 1005);
    EXPECT_EQ(recording.TriggerMarks[999].Time, 10050);
    EXPECT_EQ(recording.TriggerMarks[1].Counter, 7); // the 999 newest: 7..1005
    EXPECT_EQ(recording.TriggerMarks[0].Counter, 6); // beyond the count, not shown
}

TEST(XtRecorderModel, StoresTheClockTimeAndReportsSamplesAndMarks) {
    ManualClock clock(-5);
    XtRecorderModel model(clock, QString());
    std::vector<float> drawn;
    std::vector<int32_t> marked;
    QObject::connect(&model, &XtRecorderModel::samplePlotted, [&](float x) { drawn.push_back(x); });
    QObject::connect(&model, &XtRecorderModel::triggerPlotted,
                     [&](int32_t c) { marked.push_back(c); });
    model.PlotX(1.5f);
    clock.advance(40);
    model.PlotX(-0.5f);
    model.PlotTrigger(1200);
    EXPECT_EQ(model.recording().SampleRing[0].Time, -5);
    EXPECT_EQ(model.recording().SampleRing[1].Time, 35);
    EXPECT_EQ(model.recording().TriggerMarks[999].Time, 35);
    EXPECT_EQ(drawn, (std::vector<float>{1.5f, -0.5f}));
    EXPECT_EQ(marked, std::vector<int32_t>{1200});
}

// After unload has written the file nothing more is taken, so the file holds
// the recorder's last state.
TEST(XtRecorderModel, UnloadSavesOnceAndThenTakesNothingMore) {
    QTemporaryDir dir;
    ManualClock clock;
    ScriptedPrompts prompts;
    XtRecorderModel model(clock, dir.filePath(QStringLiteral("Data.dat")));
    QFile leftover(model.DataFileName() + QStringLiteral(".a1B2c3")); // of a killed save
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    model.PlotX(1.0f);
    EXPECT_TRUE(model.RecorderActive());
    model.unload(prompts);
    EXPECT_FALSE(model.RecorderActive());
    EXPECT_TRUE(QFileInfo::exists(model.DataFileName()));
    EXPECT_FALSE(leftover.exists());
    model.PlotX(2.0f);
    model.PlotTrigger(7);
    EXPECT_EQ(model.recording().SampleCount, 1);
    EXPECT_EQ(model.recording().MarkCount, 0);
    QFile::remove(model.DataFileName());
    model.unload(prompts);
    EXPECT_FALSE(QFileInfo::exists(model.DataFileName()));
    EXPECT_TRUE(prompts.shown.isEmpty());
}

} // namespace
