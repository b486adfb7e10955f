// The counting core without a window: what a tick and a counted extremum write
// to the labels, the exchange file, the settings file and the recording, and
// how a trigger reaches the flag file, the title and the recorder.
#include "counting/CounterCore.h"

#include "support/CoreRig.h"
#include "support/FileSizeLimit.h"
#include "support/TestFiles.h"

#include <QDir>
#include <gtest/gtest.h>

#include <tuple>

namespace {

class CounterCoreTest : public testing::Test {
protected:
    QByteArray flag() const { return fileBytes(rig.path("~Trigger.tmp")); }
    CoreRig rig;
};

// Element 0 of the exchange record is the count, elements 1..7 the channels
// 1..7; channels beyond the eighth have no place and must not be read.
TEST_F(CounterCoreTest, TickPublishesEightChannelsWithTheCountAndShowsTheVoltage) {
    rig.backend->voltages = {5, 1.5f, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    rig.state.CycleCount = 1234;
    rig.state.ADChannel = 1;
    ASSERT_TRUE(rig.exchange.ADCFile_open());
    rig.core->Timer_Cyclomarkator_Timer();
    EXPECT_EQ(rig.backend->reads, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 1}));
    EXPECT_EQ(fileBytes(rig.exchange.path()), littleEndianFloats({1234, 1.5f, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(rig.view.voltage, QStringLiteral("1.500"));
}

// The activity line steps right with every tick and starts again at 8. A
// missing converter must not count whatever extreme was being tracked: here a
// maximum of 5 V that a 0 V "sample" would otherwise confirm.
TEST_F(CounterCoreTest, ActivityLineStepsAndWithoutConverterNothingCounts) {
    QList<std::pair<int32_t, int32_t>> expected;
    for (int32_t x = 0; x <= 144; x += 8)
        expected.append({x, x + 8});
    expected.append({8, 16});
    for (int i = 0; i < 20; ++i)
        rig.core->Timer_Cyclomarkator_Timer();
    EXPECT_EQ(rig.view.activityLines, expected);

    rig.adc.setReady(false);
    rig.backend->reads.clear();
    rig.core->tracker() = {.TrackedExtreme = 5.0f, .Direction = 1};
    for (int i = 0; i < 3; ++i)
        rig.core->Timer_Cyclomarkator_Timer();
    EXPECT_EQ(std::tuple(rig.view.voltage, rig.backend->reads.size(), rig.view.activityLines,
                         rig.state.CycleCount, rig.core->tracker().TrackedExtreme),
              std::tuple(QStringLiteral("no A/D"), size_t{0}, expected, 0, 0.0f));
}

// A device that stops answering (a cable pulled) gives no sample: nothing is
// tracked, counted, recorded or published, the voltage shows "-----", and the
// problem is told once per episode. The first answer is told as a recovery and
// counting goes on: the 1 V maximum before the gap is confirmed after it.
TEST_F(CounterCoreTest, AFailedReadIsNeverASample) {
    const QString name = QStringLiteral("BMC Messsysteme: USB-AD:0");
    const QString lost = name + " does not answer: cable pulled. Counting waits and goes on by "
                                "itself when it answers again.";
    const QString back = name + " answers again after 3 missed readings; counting goes on.";
    ASSERT_TRUE(rig.exchange.ADCFile_open());
    rig.backend->voltages.assign(8, 1.0f);
    rig.core->Timer_Cyclomarkator_Timer();
    for (int episode = 1; episode <= 2; ++episode) {
        const QByteArray published = fileBytes(rig.exchange.path());
        const auto lines = rig.view.activityLines.size();
        rig.backend->failure = "cable pulled";
        for (int i = 0; i < 3; ++i)
            rig.core->Timer_Cyclomarkator_Timer();
        EXPECT_EQ(rig.view.voltage, QStringLiteral("-----"));
        EXPECT_EQ(rig.view.problems, QList<QString>(episode, lost));
        EXPECT_EQ(std::tuple(rig.recorder.recording().SampleCount, fileBytes(rig.exchange.path()),
                             rig.view.activityLines.size(), rig.state.CycleCount),
                  std::tuple(episode, published, lines, episode - 1));

        rig.backend->failure = nullptr;
        rig.backend->voltages.assign(8, episode == 1 ? -1.0f : 1.0f);
        rig.core->Timer_Cyclomarkator_Timer();
        EXPECT_EQ(rig.view.recoveries, QList<QString>(episode, back));
        EXPECT_EQ(rig.state.CycleCount, 1);
    }
}

// Every counted extremum and every operation on the counter reaches the
// settings file before anything shows it, so a crash or power cut never takes
// back a count that was seen; a completed cycle reaches the exchange file at
// once too.
TEST_F(CounterCoreTest, CountedExtremaAndOperationsAreSavedBeforeTheyAreShown) {
    rig.state.ExtremaPerCycle = 2;
    rig.adc.setInterfaceName(QStringLiteral("Dummy A/D"));
    ASSERT_TRUE(rig.exchange.ADCFile_open());
    rig.countMaximum();
    EXPECT_EQ(rig.view.minorCount, QStringLiteral("1"));
    EXPECT_EQ(rig.saved("Cyclomarkator", "Value2"), QStringLiteral("1"));
    rig.countMaximum();
    rig.core->CountExtremum();
    rig.core->CountExtremum();
    EXPECT_EQ(rig.shownBeforeSaved, 0);
    EXPECT_EQ(
        QStringList({rig.view.count, rig.view.minorCount, rig.saved("Cyclomarkator", "Value2")}),
        QStringList({"2", "0", "0"}));
    EXPECT_EQ(fileBytes(rig.exchange.path()).left(4), littleEndianFloats({2}));
    EXPECT_EQ(rig.saved("HARDWARE", "A/D-Converter"), QStringLiteral("Dummy A/D"));

    // The menus, the dialogs and the link change the counter through whole
    // operations: each is in the settings file before it is shown.
    rig.state.CycleCount = 40;
    rig.state.MinorCount = 1;
    EXPECT_TRUE(rig.core->resetCount());
    EXPECT_EQ(rig.view.count, QStringLiteral("0"));
    EXPECT_EQ(rig.saved("Cyclomarkator", "Value2"), QStringLiteral("1")); // the cycle goes on
    rig.core->setCounter(1500, 3);
    EXPECT_EQ(rig.view.extremaPerCycle, QStringLiteral("3"));
    EXPECT_EQ(rig.view.nextTrigger, QStringLiteral("1501"));
    EXPECT_EQ(rig.shownBeforeSaved, 0);

    rig.core->applyTriggerSettings({.CountMode = CountedExtrema::Minima,
                                    .TriggerEnabled = false,
                                    .TriggerSource = TriggerOn::FallingThroughThreshold,
                                    .Threshold = 1.25f});
    EXPECT_EQ(rig.view.nextTrigger, QStringLiteral("Trigger off"));
    EXPECT_EQ(QStringList({rig.saved("Cyclomarkator", "CountMode"), rig.saved("Trigger", "Source"),
                           rig.saved("Trigger", "ADthreshold"), rig.saved("Trigger", "Enabled")}),
              QStringList({"1", "3", "1.25", "0"}));

    TriggerProfileSettings profile{.Rows = 1, .TriggerProfile = {}, .ExtraEvents = 2};
    profile.TriggerProfile[0] = {2000, 7};
    profile.TriggerProfile[6].Every = 100;
    rig.core->applyProfile(profile);
    EXPECT_EQ(QStringList({rig.view.events, rig.saved("Profile", "0To"),
                           rig.saved("Trigger", "TrigCount")}),
              QStringList({"3x", "2000", "1505"}));

    // A count that cannot be saved is not shown at all and changes nothing.
    ASSERT_TRUE(QFile::remove(rig.settings.path()) && QDir().mkdir(rig.settings.path()));
    const CountingState before = rig.state;
    EXPECT_FALSE(rig.core->changeCount(41));
    EXPECT_EQ(rig.state, before);
    EXPECT_EQ(rig.view.count, QStringLiteral("1500"));
}

// Source 0 with two extrema per cycle and every second cycle: only the
// maximum that completes cycle 2 fires; the settings file records the count
// before the next trigger is recomputed.
TEST_F(CounterCoreTest, MaxSourceFiresWithLabelTitleFlagAndMark) {
    rig.state.ExtremaPerCycle = 2;
    rig.state.TriggerProfile[6].Every = 2;
    ASSERT_TRUE(rig.core->openTriggerFile());
    rig.core->UpdateNextTrigger();
    EXPECT_EQ(rig.view.nextTrigger, QStringLiteral("2"));
    rig.timeOfDay = QTime(21, 5, 7);
    for (int i = 0; i < 3; ++i)
        rig.countMaximum();
    EXPECT_TRUE(rig.view.triggerLabel.isEmpty());
    rig.countMaximum();
    // Label, title, next trigger, saved count.
    EXPECT_EQ(QStringList({rig.view.triggerLabel, rig.view.titles.last(), rig.view.nextTrigger,
                           rig.saved("Trigger", "TrigCount")}),
              QStringList({"2 T", "Trigger (2) at 21:05:07 OK", "4", "2"}));
    EXPECT_EQ(rig.recorder.recording().MarkCount, 2);
    EXPECT_EQ(rig.recorder.recording().TriggerMarks[XtRecording::MarkSlots - 1].Counter, 2);
    EXPECT_EQ(flag(), QByteArray("\1\0\0\0", 4));
    rig.timeOfDay = QTime(9, 5, 7); // 24-hour clock with leading zeros
    rig.core->SignalTrigger(1);
    EXPECT_EQ(rig.view.titles.last(), QStringLiteral("Trigger (2) at 09:05:07 OK"));
}

// Another program may hold the flag file with more bytes in it: the flag is
// written in place. With triggers off a due cycle must not set the flag, but
// the manual trigger still must. A write that fails shows ERROR and closes the
// file; later triggers still show and mark, without OK or ERROR. A flag file
// that is refused is named with the reason.
TEST_F(CounterCoreTest, FlagIsWrittenInPlaceAndAFailedWriteClosesTheFile) {
    QTemporaryDir other;
    ASSERT_TRUE(QFile::link(other.filePath("x"), rig.path("~Trigger.tmp")));
    EXPECT_FALSE(rig.core->openTriggerFile());
    ASSERT_EQ(rig.view.problems.size(), 1);
    EXPECT_TRUE(rig.view.problems[0].startsWith("~Trigger.tmp: Path/File access error ("));
    EXPECT_TRUE(rig.view.problems[0].contains(rig.path("~Trigger.tmp")));
    ASSERT_TRUE(QFile::remove(rig.path("~Trigger.tmp")));
    ASSERT_TRUE(putFile(rig.path("~Trigger.tmp"), "ABCDEFGH"));
    ASSERT_TRUE(rig.core->openTriggerFile());
    EXPECT_EQ(flag(), QByteArray("\0\0\0\0EFGH", 8));
    rig.state.TriggerEnabled = false;
    rig.state.TriggerDelayMs = 30;
    rig.countMaximum(); // cycle 1 falls due
    EXPECT_EQ(rig.view.titles.last(), QStringLiteral("Delay 30 ms..."));
    EXPECT_EQ(flag(), QByteArray("\0\0\0\0EFGH", 8));
    EXPECT_TRUE(rig.core->SignalTrigger(1));
    EXPECT_EQ(flag(), QByteArray("\1\0\0\0EFGH", 8));
    EXPECT_EQ(rig.view.titles.last(), QStringLiteral("Trigger (1) at 14:03:27 OK"));

    EXPECT_FALSE((FileSizeLimit(0), rig.core->SignalTrigger(1)));
    EXPECT_EQ(rig.view.titles.last(), QStringLiteral("Trigger (1) at 14:03:27 ERROR"));
    EXPECT_EQ(rig.recorder.recording().MarkCount, 2);
    EXPECT_FALSE(rig.trigger.isOpen());
    EXPECT_FALSE(rig.core->SignalTrigger(1));
    EXPECT_EQ(rig.view.titles.last(), QStringLiteral("Trigger (1) at 14:03:27"));
    EXPECT_EQ(rig.recorder.recording().MarkCount, 3);
}

// Red marks the side of the threshold on which the chosen trigger acts; the
// voltage is written with the desktop's decimal separator.
TEST_F(CounterCoreTest, VoltageTurnsRedOnTheSideWhereTheTriggerActs) {
    rig.state.Threshold = 0.5f;
    const std::tuple<TriggerOn, float, bool> cases[] = {
        {TriggerOn::MaxVoltage, 0.6f, true},
        {TriggerOn::MaxVoltage, 0.5f, false},
        {TriggerOn::MinVoltage, 0.4f, true},
        {TriggerOn::MinVoltage, 0.5f, false},
        {TriggerOn::FallingThroughThreshold, 0.4f, true}};
    for (const auto& [source, voltage, red] : cases) {
        rig.state.TriggerSource = source;
        rig.core->PrintVoltage(voltage);
        EXPECT_EQ(rig.view.voltageRed, red) << static_cast<int>(source) << " " << voltage;
    }
    rig.core = rig.makeCore(QLocale(QLocale::German, QLocale::Germany));
    rig.core->PrintVoltage(-1.25f);
    EXPECT_EQ(rig.view.voltage, QStringLiteral("-1,250"));
}

} // namespace
