#include "recorder/XtRedrawPlan.h"
#include "recorder/XtRecording.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Samples 1 s apart at the 10 s / DIV scale (500 ms per row): each older
// sample lies two rows further down, its column set by its voltage.
TEST(XtRedrawPlan, TraceRunsFromThePenRowDownThroughOlderSamples) {
    XtRecording recording;
    recording.addSample(-1000, -1.0f); // across the clock's zero
    recording.addSample(0, 0.0f);
    recording.addSample(1000, 1.0f);
    const XtRedrawPlan plan = XtRedrawPlan::make(recording, -1.1f, 1.1f, 207, 500);
    ASSERT_EQ(plan.trace.size(), 3u);
    EXPECT_NEAR(plan.trace[0].x(), 196.63636, 1e-4);
    EXPECT_EQ(plan.trace[0].y(), 20.0);
    EXPECT_NEAR(plan.trace[1].x(), 103.0, 1e-4);
    EXPECT_EQ(plan.trace[1].y(), 22.0);
    EXPECT_NEAR(plan.trace[2].x(), 9.36364, 1e-4);
    EXPECT_EQ(plan.trace[2].y(), 24.0);
}

TEST(XtRedrawPlan, MarksLieAtTheirTimeBelowTheNewestSampleNewestFirst) {
    XtRecording recording;
    recording.addMark(10000, 100);
    recording.addMark(25000, 200);
    recording.addSample(40000, 0.0f);
    const XtRedrawPlan plan = XtRedrawPlan::make(recording, -11.0f, 11.0f, 207, 30000);
    ASSERT_EQ(plan.marks.size(), 2u);
    EXPECT_EQ(plan.marks[0].counter, 200);
    EXPECT_DOUBLE_EQ(plan.marks[0].row, 20.5);
    EXPECT_EQ(plan.marks[1].counter, 100);
    EXPECT_DOUBLE_EQ(plan.marks[1].row, 21.0);
}

} // namespace
