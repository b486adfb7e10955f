// The counting core without a window: what a tick and a counted extremum write
// to the labels, the exchange file and the settings file, and how a trigger
// reaches the flag file, the title and the recorder.
#include "counting/CounterCore.h"

#include "adc/AdcFacade.h"
#include "adc/Class_AD.h"
#include "adc/ExchangeFile.h"
#include "counting/TriggerFile.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/Prompts.h"
#include "platform/RegistryArea.h"
#include "support/ManualClock.h"
#include "support/RecordingCoreView.h"
#include "support/ScriptedPrompts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <tuple>
#include <vector>

namespace {

// The placeholder converter with channel voltages the test sets; it remembers
// which channels were read.
class SetVoltages final : public Class_AD {
public:
    std::vector<float> voltages = std::vector<float>(4, 0.0f);
    std::vector<int32_t> reads;

    float AD_get_voltage(int32_t channel) override {
        reads.push_back(channel);
        return voltages.at(static_cast<size_t>(channel));
    }
    int32_t AD_channels() override { return static_cast<int32_t>(voltages.size()); }
};

QByteArray bytesOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

float floatAt(const QByteArray& bytes, int index) {
    return qFromLittleEndian<float>(bytes.constData() + index * 4);
}

class CounterCoreTest : public testing::Test {
protected:
    QTemporaryDir dir;
    ManualClock clock{1000};
    RegistryArea registry{dir.filePath(QStringLiteral("registry.ini"))};
    ScriptedPrompts prompts;
    NoLibadxDevices devices;
    AdcFacade adc{clock, registry, prompts, dir.path(), devices};
    ExchangeFile exchange{dir.path(), prompts};
    TriggerFile trigger{dir.path()};
    RecordingCoreView view;
    CountingState state;
    SetVoltages* backend = nullptr;
    QTime timeOfDay{14, 3, 27};
    std::unique_ptr<CounterCore> core;

    void SetUp() override {
        adc.ADBackend = std::make_unique<SetVoltages>();
        backend = static_cast<SetVoltages*>(adc.ADBackend.get());
        adc.ADReady = -1;
        core = makeCore(QLocale::c());
    }
    // Without a scheduler a delayed trigger fires right after its announcement.
    std::unique_ptr<CounterCore> makeCore(const QLocale& locale) {
        return std::make_unique<CounterCore>(
            state, CounterCore::Parts{adc, exchange, trigger, clock, view, nullptr}, settingsPath(),
            [this] { return timeOfDay; }, locale);
    }
    QString settingsPath() const { return dir.filePath(QStringLiteral("Cyclomarkator.INI")); }
    QString flagPath() const { return dir.filePath(QStringLiteral("~Trigger.tmp")); }
    QString saved(const char* section, const char* key) const {
        ProfileFile file(settingsPath());
        file.load();
        return file.readString(QLatin1String(section), QLatin1String(key), {});
    }
    // One maximum per call, counted in mode 0 with threshold 0.
    void countMaximum() {
        for (const float voltage : {1.0f, -1.0f}) {
            backend->voltages.at(static_cast<size_t>(state.ADChannel)) = voltage;
            clock.advance(40);
            core->Timer_Cyclomarkator_Timer();
        }
    }
};

// Element 0 of the exchange record is the count, elements 1..7 the channels
// 1..7; channels beyond the eighth have no place and must not be read. A new
// count rewrites only the first four bytes, so readers keep the voltages.
TEST_F(CounterCoreTest, TickPublishesEightChannelsWithTheCountAndShowsTheVoltage) {
    backend->voltages = {5, 1.5f, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    state.CycleCount = 1234;
    state.ADChannel = 1;
    ASSERT_EQ(exchange.ADCFile_open(), 1);
    core->Timer_Cyclomarkator_Timer();
    EXPECT_EQ(backend->reads, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 1}));
    const QByteArray before = bytesOf(exchange.path());
    ASSERT_EQ(before.size(), 32);
    const SampleRecord expected{1234, 1.5f, 2, 3, 4, 5, 6, 7};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(floatAt(before, i), expected[i]) << i;
    EXPECT_EQ(view.voltage, QStringLiteral("1.500"));
    EXPECT_EQ(view.plotted, QList<float>{1.5f});

    core->SetCount(77);
    const QByteArray after = bytesOf(exchange.path());
    EXPECT_EQ(view.count, QStringLiteral("77"));
    EXPECT_EQ(floatAt(after, 0), 77.0f);
    EXPECT_EQ(after.mid(4), before.mid(4));
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
        core->Timer_Cyclomarkator_Timer();
    EXPECT_EQ(view.activityLines, expected);

    adc.ADReady = 0;
    backend->reads.clear();
    core->tracker().Direction = 1;
    core->tracker().TrackedExtreme = 5.0f;
    for (int i = 0; i < 3; ++i)
        core->Timer_Cyclomarkator_Timer();
    EXPECT_EQ(view.voltage, QStringLiteral("no A/D"));
    EXPECT_TRUE(backend->reads.empty());
    EXPECT_EQ(view.activityLines, expected);
    EXPECT_EQ(state.CycleCount, 0);
    EXPECT_EQ(core->tracker().TrackedExtreme, 0.0f);
}

// Every counted extremum reaches the settings file at once, so a power cut
// loses nothing; a completed cycle reaches the exchange file at once too.
TEST_F(CounterCoreTest, CountedExtremaReachLabelsExchangeFileAndSettingsFile) {
    state.ExtremaPerCycle = 2;
    adc.ADInterfaceName = QStringLiteral("Dummy A/D");
    ASSERT_EQ(exchange.ADCFile_open(), 1);
    countMaximum();
    EXPECT_EQ(view.minorCount, QStringLiteral("1"));
    EXPECT_EQ(saved("Cyclomarkator", "Value2"), QStringLiteral("1"));
    countMaximum();
    EXPECT_EQ(view.count, QStringLiteral("1"));
    EXPECT_EQ(view.minorCount, QStringLiteral("0"));
    EXPECT_EQ(saved("Cyclomarkator", "Value"), QStringLiteral("1"));
    EXPECT_EQ(saved("Cyclomarkator", "Value2"), QStringLiteral("0"));
    EXPECT_EQ(floatAt(bytesOf(exchange.path()), 0), 1.0f);
    EXPECT_EQ(saved("HARDWARE", "A/D-Converter"), QStringLiteral("Dummy A/D"));
}

// Source 0 with two extrema per cycle and every second cycle: only the
// maximum that completes cycle 2 fires; the next trigger is recomputed after.
TEST_F(CounterCoreTest, MaxSourceFiresWithLabelTitleFlagAndMark) {
    state.ExtremaPerCycle = 2;
    state.TriggerProfile[6].Every = 2;
    ASSERT_TRUE(core->openTriggerFile());
    core->UpdateNextTrigger();
    EXPECT_EQ(view.nextTrigger, QStringLiteral("2"));
    timeOfDay = QTime(21, 5, 7);
    for (int i = 0; i < 3; ++i)
        countMaximum();
    EXPECT_TRUE(view.triggerLabel.isEmpty());
    countMaximum();
    EXPECT_EQ(view.triggerLabel, QStringLiteral("2 T"));
    EXPECT_EQ(view.titles.last(), QStringLiteral("Trigger (2) at 21:05:07 OK"));
    EXPECT_EQ(view.marks, (QList<int32_t>{0, 2}));
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\1\0\0\0", 4));
    EXPECT_EQ(view.nextTrigger, QStringLiteral("4"));
    timeOfDay = QTime(9, 5, 7); // 24-hour clock with leading zeros
    core->SignalTrigger(1);
    EXPECT_EQ(view.titles.last(), QStringLiteral("Trigger (2) at 09:05:07 OK"));
}

// With triggers off a due cycle must not set the flag, but the manual
// trigger still must.
TEST_F(CounterCoreTest, TriggersOffFireNothingButTheManualTrigger) {
    state.TriggerEnabled = 0;
    state.TriggerDelayMs = 30;
    ASSERT_TRUE(core->openTriggerFile());
    core->UpdateNextTrigger();
    EXPECT_EQ(view.nextTrigger, QStringLiteral("Trigger off"));
    countMaximum(); // cycle 1 falls due
    EXPECT_EQ(view.titles.last(), QStringLiteral("Delay 30 ms..."));
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\0\0\0\0", 4));
    EXPECT_EQ(view.marks.size(), 1);
    EXPECT_TRUE(core->SignalTrigger(1));
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\1\0\0\0", 4));
    EXPECT_EQ(view.marks.size(), 2);
}

// Another program may hold the flag file with more bytes in it: the flag is
// written in place. A write that fails shows ERROR and closes the file; later
// triggers still show and mark, without OK or ERROR.
TEST_F(CounterCoreTest, FlagIsWrittenInPlaceAndAFailedWriteClosesTheFile) {
    QFile planted(flagPath());
    ASSERT_TRUE(planted.open(QIODevice::WriteOnly) && planted.write("ABCDEFGH") == 8);
    planted.close();
    ASSERT_TRUE(core->openTriggerFile());
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\0\0\0\0EFGH", 8));
    EXPECT_TRUE(core->SignalTrigger(1));
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\1\0\0\0EFGH", 8));
    EXPECT_EQ(view.titles, (QList<QString>{QStringLiteral("Trigger (0) at 14:03:27 OK"),
                                           QStringLiteral("Trigger (0) at 14:03:27 OK")}));
    EXPECT_EQ(view.marks, (QList<int32_t>{0, 0}));

    // A file size limit of 0 makes the next write at offset 0 fail with EFBIG.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit none = old;
    none.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
    const bool written = core->SignalTrigger(1);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(view.titles.last(), QStringLiteral("Trigger (0) at 14:03:27 ERROR"));
    EXPECT_EQ(view.marks.size(), 2);
    EXPECT_FALSE(trigger.isOpen());
    EXPECT_FALSE(core->SignalTrigger(1));
    EXPECT_EQ(view.titles.last(), QStringLiteral("Trigger (0) at 14:03:27"));
    EXPECT_EQ(view.marks.size(), 3);
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\1\0\0\0EFGH", 8));
}

// One report per episode (not one per extremum), and the count is not lost.
TEST_F(CounterCoreTest, FailedSettingsSaveIsReportedOncePerEpisodeAndRetried) {
    ASSERT_TRUE(QDir().mkdir(settingsPath()));
    core->CountExtremum();
    core->CountExtremum();
    ASSERT_EQ(view.problems.size(), 1);
    EXPECT_TRUE(view.problems[0].contains(settingsPath()));
    ASSERT_TRUE(QDir().rmdir(settingsPath()));
    core->CountExtremum();
    EXPECT_EQ(saved("Cyclomarkator", "Value"), QStringLiteral("3"));
    ASSERT_TRUE(QFile::remove(settingsPath()));
    ASSERT_TRUE(QDir().mkdir(settingsPath()));
    EXPECT_FALSE(core->SaveSettings());
    EXPECT_EQ(view.problems.size(), 2);
}

// A count set over the link is on disk before anything shows or publishes
// it; one that cannot be saved is not shown at all and changes nothing.
TEST_F(CounterCoreTest, ChangedCountIsSavedBeforeItIsShownOrNotChangedAtAll) {
    ASSERT_EQ(exchange.ADCFile_open(), 1);
    state.CycleCount = 41;
    core->showCounters();
    ASSERT_TRUE(QDir().mkdir(settingsPath()));
    const CountingState before = state;
    EXPECT_FALSE(core->changeCount(1500));
    EXPECT_EQ(state, before);
    EXPECT_EQ(view.count, QStringLiteral("41"));
    ASSERT_TRUE(QDir().rmdir(settingsPath()));

    view.count.clear();
    EXPECT_TRUE(core->changeCount(1500));
    EXPECT_EQ(saved("Cyclomarkator", "Value"), QStringLiteral("1500"));
    EXPECT_EQ(saved("Trigger", "TrigCount"), QStringLiteral("1501"));
    EXPECT_EQ(view.count, QStringLiteral("1500"));
    EXPECT_EQ(view.nextTrigger, QStringLiteral("1501"));
    EXPECT_EQ(floatAt(bytesOf(dir.filePath(QStringLiteral("~ADC.txt"))), 0), 1500.0f);
}

// Red marks the side of the threshold on which the chosen trigger acts; the
// voltage is written with the desktop's decimal separator.
TEST_F(CounterCoreTest, VoltageTurnsRedOnTheSideWhereTheTriggerActs) {
    state.Threshold = 0.5f;
    const std::tuple<int32_t, float, bool> cases[] = {
        {0, 0.6f, true},  {0, 0.5f, false}, {2, 0.6f, true}, {1, 0.4f, true},
        {1, 0.5f, false}, {3, 0.6f, false}, {3, 0.4f, true}};
    for (const auto& [source, voltage, red] : cases) {
        state.TriggerSource = source;
        core->PrintVoltage(voltage);
        EXPECT_EQ(view.voltageRed, red) << source << " " << voltage;
    }
    core = makeCore(QLocale(QLocale::German, QLocale::Germany));
    core->PrintVoltage(-1.25f);
    EXPECT_EQ(view.voltage, QStringLiteral("-1,250"));
}

} // namespace
