// The specimen watch in the running counter: a failure or a stall is saved in
// [Watch] before the status line shows it, survives a new core over the same
// settings file, and a count set below the reference forgets it, said once.
#include "support/CoreRig.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace {

struct WatchRig {
    WatchRig() {
        rig.state.TriggerEnabled = false; // the chart's marks are the watch's
        rig.core->applyWatch(
            {.armed = true, .settlingCycles = 2, .referenceCycles = 3, .stallSeconds = 2}, {});
        // Whatever tells of a failure must find it in the settings file already.
        rig.view.onProblem = [this](const QString& text) {
            if (text.contains(QLatin1String("failed at N_f")) &&
                rig.saved("Watch", "FailedAt") !=
                    QString::number(rig.core->watch().watch().state().failure.cycle))
                ++shownBeforeSaved;
        };
    }
    // `n` ticks of 40 ms at `v`.
    void ticks(int n, float v = -1.0f) {
        rig.backend->voltages.assign(rig.backend->voltages.size(), v);
        for (int i = 0; i < n; ++i) {
            rig.clock.advance(40);
            rig.core->Timer_Cyclomarkator_Timer();
        }
    }
    int said(const QString& part) const {
        return static_cast<int>(std::count_if(rig.view.problems.begin(), rig.view.problems.end(),
                                              [&](const QString& p) { return p.contains(part); }));
    }
    CoreRig rig;
    int shownBeforeSaved = 0;
};

// Reference over cycles 3..5 (amplitude 1 V); from cycle 10 the load changes.
TEST(CoreWatchTest, AFailureIsSavedBeforeItIsShownAndSurvivesARestart) {
    const std::tuple<float, float, WatchCriterion> rows[] = {
        {0.5f, -1.0f, WatchCriterion::Amplitude}, // 25 % less amplitude
        {1.3f, -0.7f, WatchCriterion::Peak},      // the same amplitude, moved out of the band
    };
    for (const auto& [high, low, criterion] : rows) {
        SCOPED_TRACE(high);
        WatchRig t;
        for (int c = 1; c <= 9; ++c)
            t.rig.countMaximum();
        EXPECT_EQ(t.rig.view.watch, QStringLiteral("watching ±0.0 %"));
        for (int c = 10; c <= 14; ++c)
            t.rig.countMaximum(high, low);
        EXPECT_EQ(t.rig.state.CycleCount, 14) << "the watch never stops the count";
        const WatchFailure f = t.rig.core->watch().watch().state().failure; // a copy
        EXPECT_EQ(f.criterion, criterion);
        EXPECT_EQ(t.said(QStringLiteral("failed at N_f = 10")), 1);
        EXPECT_EQ(t.shownBeforeSaved, 0);
        EXPECT_EQ(std::pair(f.cycle, f.confirmedCycle), std::pair(10, 12));
        EXPECT_EQ(t.rig.view.watch, QStringLiteral("FAILED at N_f 10"));
        EXPECT_EQ(t.rig.recorder.recording().TriggerMarks[XtRecording::MarkSlots - 1].Counter, 10);
        // A new core over the same file keeps the reference and N_f.
        ASSERT_EQ(t.rig.settings.load(), SettingsStore::Loaded::Read);
        t.rig.core = t.rig.makeCore(QLocale::c());
        t.rig.core->showCounters();
        EXPECT_EQ(t.rig.core->watch().watch().state().failure, f);
        EXPECT_EQ(t.rig.core->watch().watch().state().reference.toCycle, 5);
        EXPECT_EQ(t.rig.view.watch, QStringLiteral("FAILED at N_f 10"));
    }
}

// T = 2 s: 50 ticks of 40 ms without a cycle while the device answers. Then
// the reference (cycles 3..5) is forgotten by a count set below it, said once.
TEST(CoreWatchTest, AStallIsSaidOnceAfterTAndACountSetBelowTheReferenceForgetsIt) {
    WatchRig w;
    for (int c = 1; c <= 3; ++c)
        w.rig.countMaximum();
    w.ticks(49);
    EXPECT_EQ(w.said(QStringLiteral("No cycle counted")), 0) << "1.96 s is no stall";
    w.ticks(1);
    EXPECT_EQ(w.said(QStringLiteral("No cycle counted for 2 s")), 1);
    EXPECT_TRUE(w.rig.view.watch.startsWith(QLatin1String("stalled since ")));
    EXPECT_EQ(w.rig.saved("Cyclomarkator", "Value"), QStringLiteral("3"));
    // The log's stall row names the last cycle and leaves the values empty.
    const QByteArray stallRow = fileBytes(w.rig.core->cycleLogPath()).trimmed().split('\n').last();
    EXPECT_TRUE(stallRow.startsWith("3,") && stallRow.endsWith(",,,,,0,stall"))
        << stallRow.toStdString();
    w.ticks(40);
    EXPECT_TRUE(w.rig.view.recoveries.isEmpty());
    w.rig.countMaximum();
    EXPECT_EQ(w.rig.view.recoveries.size(), 1);
    EXPECT_TRUE(w.rig.view.recoveries.last().contains(QLatin1String("counted again (cycle 4)")));
    EXPECT_EQ(w.said(QStringLiteral("No cycle counted")), 1);

    for (int c = 5; c <= 6; ++c)
        w.rig.countMaximum();
    ASSERT_EQ(w.rig.saved("Watch", "ReferenceTo"), QStringLiteral("5"));
    ASSERT_TRUE(w.rig.core->changeCount(7));
    EXPECT_EQ(w.said(QStringLiteral("forgotten")), 0);
    ASSERT_TRUE(w.rig.core->resetCount());
    ASSERT_TRUE(w.rig.core->resetCount());
    EXPECT_EQ(w.said(QStringLiteral("forgotten")), 1);
    EXPECT_EQ(w.rig.saved("Watch", "ReferenceAmplitude"), QString());
    EXPECT_EQ(w.rig.view.watch, QStringLiteral("armed"));
}

} // namespace
