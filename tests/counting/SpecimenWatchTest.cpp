// The cycle record and the specimen watch: generated load histories (a noisy
// steady signal that loses amplitude, a drifting mean, a machine that stops)
// fed cycle by cycle with injected times, and the [Watch] section of the
// settings file, damaged and across a restart.
#include "counting/SpecimenWatch.h"
#include "counting/CycleRecorder.h"
#include "counting/WatchSettingsFile.h"
#include "platform/ProfileFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <tuple>
#include <vector>

namespace {

// Cycles first..last of a history, one a second, their peak and valley each
// with +/-1 % noise of the amplitude, told to `watch`; returns the events.
struct History {
    std::function<double(int)> amplitude = [](int) { return 1.0; };
    std::function<double(int)> mean = [](int) { return 0.0; };
    std::mt19937 noise{7};

    CycleRecord record(int k) {
        std::uniform_real_distribution<double> jitter(-0.01, 0.01);
        const double a = amplitude(k);
        CycleRecorder recorder;
        recorder.extremum(float(mean(k) - a + jitter(noise) * a), false);
        recorder.extremum(float(mean(k) + a + jitter(noise) * a), true);
        return recorder.cycleCompleted(k, k * 50, k);
    }
    void run(SpecimenWatch& watch, int first, int last) {
        for (int k = first; k <= last; ++k) {
            watch.tick(k - 0.5, true);
            watch.cycle(record(k));
        }
    }
};

const WatchSettings Armed{.armed = true};

TEST(CycleRecorder, PeakAndValleyAreTheExtremesOfEitherKindSinceTheLastCycle) {
    // extrema (value, maximum), peak, valley, complete
    const std::tuple<std::vector<std::pair<float, bool>>, float, float, bool> rows[] = {
        {{{-1, false}, {1, true}}, 1, -1, true},
        // An uncounted maximum and a shallow minimum lie inside.
        {{{-1, false}, {0.5f, true}, {-0.8f, false}, {1.2f, true}}, 1.2f, -1, true},
        // A minimum above a maximum still only widens nothing.
        {{{0.3f, false}, {0.2f, true}, {0.9f, true}}, 0.9f, 0.2f, true},
        // The first cycle after start saw maxima only: not judged.
        {{{2, true}}, 2, 2, false},
    };
    for (const auto& [extrema, peak, valley, complete] : rows) {
        CycleRecorder recorder;
        recorder.extremum(-9, false); // a previous cycle's extrema are forgotten
        recorder.cycleCompleted(1, 100, 1.0);
        for (const auto& [value, maximum] : extrema)
            recorder.extremum(value, maximum);
        const CycleRecord& r = recorder.cycleCompleted(2, 160, 2.5);
        EXPECT_EQ(std::tuple(r.number, r.peak, r.valley, r.complete, r.samples),
                  std::tuple(2, peak, valley, complete, int64_t{60}));
        EXPECT_FLOAT_EQ(r.amplitude, (peak - valley) / 2);
        EXPECT_FLOAT_EQ(r.mean, (peak + valley) / 2);
    }
}

TEST(SpecimenWatch, FailureIsConfirmedByConsecutiveCyclesAndNfIsTheFirst) {
    using Load = std::function<double(int)>;
    using Set = std::function<void(WatchSettings&)>;
    const auto steady = [](int) { return 1.0; };
    const auto zero = [](int) { return 0.0; };
    const auto drop = [](int k) { return k < 5000 ? 1.0 : 0.88; };
    // what, amplitude and mean of cycle k, settings, N_f, criterion
    const std::tuple<const char*, Load, Load, Set, int32_t, WatchCriterion> rows[] = {
        {"12 % drop", drop, zero, [](WatchSettings&) {}, 5000, WatchCriterion::Amplitude},
        {"drop, M = 10", drop, zero, [](WatchSettings& s) { s.confirmCycles = 10; }, 5000,
         WatchCriterion::Amplitude},
        {"drop, amplitude not checked", drop, zero,
         [](WatchSettings& s) { s.amplitudeCheck = false; }, 0, WatchCriterion::None},
        {"drop of 8 %, 7 % allowed", [](int k) { return k < 5000 ? 1.0 : 0.92; }, zero,
         [](WatchSettings& s) { s.amplitudeDropPercent = 7; }, 5000, WatchCriterion::Amplitude},
        // Two failing cycles in every three never make three in a row.
        {"intermittent", [](int k) { return k >= 5000 && k % 3 != 0 ? 0.8 : 1.0; }, zero,
         [](WatchSettings&) {}, 0, WatchCriterion::None},
        {"mean drifts 15 % inside the band", steady, [](int k) { return 0.15 * k / 8000; },
         [](WatchSettings&) {}, 0, WatchCriterion::None},
        {"mean jumps 30 % up", steady, [](int k) { return k < 6000 ? 0.0 : 0.3; },
         [](WatchSettings&) {}, 6000, WatchCriterion::Peak},
        {"mean jumps 30 % down, peak unchecked", steady,
         [](int k) { return k < 6000 ? 0.0 : -0.3; }, [](WatchSettings& s) { s.peakCheck = false; },
         6000, WatchCriterion::Valley},
    };
    for (const auto& [what, amplitude, mean, set, nf, criterion] : rows) {
        SCOPED_TRACE(what);
        WatchSettings settings = Armed;
        set(settings);
        SpecimenWatch watch(settings);
        History history{amplitude, mean};
        history.run(watch, 1, 8000);
        const WatchState& s = watch.state();
        EXPECT_EQ(std::tuple(s.reference.fromCycle, s.reference.toCycle), std::tuple(101, 150));
        EXPECT_NEAR(s.reference.amplitude, 1.0, 0.005);
        EXPECT_EQ(std::tuple(s.failure.cycle, s.failure.criterion, s.failure.confirmedCycle),
                  std::tuple(nf, criterion, nf > 0 ? nf + settings.confirmCycles - 1 : 0));
    }
}

TEST(SpecimenWatch, StallComesAfterTNotBeforeAndTheNextCycleEndsIt) {
    // T set, cycle periods taking turns, the T that applies: 20 median cycle
    // times (of an even number of times, the mean of the middle two), at least 10 s
    const std::tuple<double, double, double, double> rows[] = {
        {0, 1.0, 1.0, 20.0}, {0, 0.1, 0.1, 10.0}, {0, 3.0, 1.0, 40.0}, {5, 1.0, 1.0, 5.0}};
    for (const auto& [stallSeconds, odd, even, limit] : rows) {
        SCOPED_TRACE(limit);
        WatchSettings settings = Armed;
        settings.stallSeconds = stallSeconds;
        SpecimenWatch watch(settings);
        CycleRecord record;
        record.complete = true;
        watch.tick(0, true);
        for (int k = 1; k <= 200; ++k) {
            record.number = k;
            record.endSeconds += k % 2 != 0 ? odd : even;
            watch.cycle(record);
        }
        const double last = record.endSeconds;
        EXPECT_FALSE(watch.tick(last + limit - 0.01, true).any());
        // A device that does not answer is reported elsewhere, and is no stall.
        EXPECT_FALSE(watch.tick(last + limit + 1, false).any());
        // Answering again, the clock starts anew with the grace of a start.
        const double back = last + limit + 2;
        const double graced = limit + SpecimenWatch::GraceSeconds;
        EXPECT_FALSE(watch.tick(back, true).any());
        EXPECT_FALSE(watch.tick(back + graced - 0.01, true).any());
        EXPECT_TRUE(watch.tick(back + graced, true).has(WatchEvents::StallBegun));
        EXPECT_EQ(std::tuple(watch.state().stall.lastCycle, watch.state().stall.sinceSeconds),
                  std::tuple(200, back));
        EXPECT_FALSE(watch.tick(back + 2 * graced, true).any()) << "said once";
        record.number = 201;
        record.endSeconds = back + 2 * graced + 1;
        EXPECT_TRUE(watch.cycle(record).has(WatchEvents::StallEnded));
        // Without a pause the grace is over: T after the last cycle.
        EXPECT_FALSE(watch.tick(record.endSeconds + limit - 0.01, true).any());
        EXPECT_TRUE(watch.tick(record.endSeconds + limit, true).has(WatchEvents::StallBegun));
    }
}

TEST(SpecimenWatch, CountSetBelowTheReferenceForgetsItAndTakeReferenceNowUsesTheLastR) {
    const std::tuple<int32_t, bool> rows[] = {{0, true}, {149, true}, {150, false}, {9000, false}};
    for (const auto& [count, forgotten] : rows) {
        SpecimenWatch watch(Armed);
        History history;
        history.run(watch, 1, 300);
        EXPECT_EQ(watch.countSet(count).has(WatchEvents::ReferenceForgotten), forgotten) << count;
        EXPECT_EQ(watch.state().reference.taken, !forgotten) << count;
    }
    SpecimenWatch watch(Armed);
    History history{[](int k) { return k <= 20 ? 1.0 : 2.0; }};
    history.run(watch, 1, 60);
    EXPECT_TRUE(watch.takeReferenceNow(61).has(WatchEvents::ReferenceTaken));
    const WatchReference& r = watch.state().reference;
    EXPECT_EQ(std::tuple(r.fromCycle, r.toCycle, r.takenSeconds), std::tuple(11, 60, 61.0));
    EXPECT_NEAR(r.amplitude, (10 * 1.0 + 40 * 2.0) / 50, 0.01);
}

// A restart between the reference and the failure: what the file kept makes
// the same N_f as a run that never stopped. (A failure's own trip through the
// file, across a new core, is the core watch test's.)
TEST(WatchSettingsFile, RestartKeepsTheSettingsAndTheReference) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Cyclomarkator.INI");
    const auto drop = [](int k) { return k < 5000 ? 1.0 : 0.88; };
    WatchFileContents contents;
    contents.settings = Armed;
    contents.settings.bandPercent = 12.5;
    contents.settings.logPerDecade = 7;
    contents.settings.logEveryNth = 1000;
    contents.commands = {"mail -s failed lab", "stop-rig \"rig 1\"", 90};
    History history{drop};
    {
        SpecimenWatch watch(contents.settings);
        history.run(watch, 1, 3000);
        contents.reference = watch.state().reference;
        ProfileFile file(path);
        WatchSettingsFile::write(file, contents, QLocale(QLocale::German));
        ASSERT_TRUE(file.save());
    }
    ProfileFile file(path);
    ASSERT_TRUE(file.load());
    QStringList problems;
    const WatchFileContents read = WatchSettingsFile::load(file, problems);
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
    EXPECT_EQ(std::tie(read.settings, read.reference, read.commands),
              std::tie(contents.settings, contents.reference, contents.commands));
    SpecimenWatch watch(read.settings);
    watch.restore(read.reference, read.failure);
    history.run(watch, 3001, 6000);
    EXPECT_EQ(watch.state().failure.cycle, 5000);
}

TEST(WatchSettingsFile, EveryBadValueIsRefusedWithAMessageAndTheDefaultKept) {
    const auto refused = [](const QString& text, const QString& message) {
        SCOPED_TRACE(text.toStdString());
        ProfileFile file;
        file.loadText("[Watch]\n" + text);
        QStringList problems;
        const WatchFileContents read = WatchSettingsFile::load(file, problems);
        ASSERT_EQ(problems.size(), 1) << problems.join(u'\n').toStdString();
        EXPECT_TRUE(problems[0].contains(message)) << problems[0].toStdString();
        const WatchFileContents defaults;
        EXPECT_EQ(
            std::tie(read.settings, read.reference, read.failure, read.commands),
            std::tie(defaults.settings, defaults.reference, defaults.failure, defaults.commands));
    };
    for (const char* value :
         {"SettlingCycles=abc", "SettlingCycles=-1", "ReferenceCycles=0", "ReferenceCycles=1e99",
          "ConfirmCycles=2.5", "AmplitudeDropPercent=100", "AmplitudeDropPercent=10x",
          "BandPercent=NaN", "BandPercent=0", "StallSeconds=-3", "LogPerDecade=0", "LogEveryNth=-5",
          "Armed=2", "CommandTimeout=0"})
        refused(value, QStringLiteral("[Watch] %1 is refused").arg(value));
    const QString reference = "ReferenceAmplitude=1\nReferencePeak=1\nReferenceTaken=0\n";
    refused(reference + "ReferenceValley=x\nReferenceFrom=1\nReferenceTo=2",
            "the reference is refused");
    refused(reference + "ReferenceValley=-1\nReferenceFrom=9\nReferenceTo=2",
            "the reference is refused");
    refused("FailedAt=50\nFailedCriterion=bogus\nFailedValues=1;2;3\nFailedConfirmedAt=52",
            "the failure is refused");
    refused("FailedAt=50\nFailedCriterion=peak\nFailedValues=1;2\nFailedConfirmedAt=52",
            "the failure is refused");
}

} // namespace
