#include "app/CounterCore.h"

#include "RecordingCoreView.h"
#include "adc/AdcFacade.h"
#include "adc/ExchangeFile.h"
#include "app/SettingsFile.h"
#include "app/TriggerFile.h"
#include "platform/MillisecondClock.h"
#include "platform/ProfileFile.h"
#include "platform/Prompts.h"
#include "platform/RegistryArea.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <vector>

namespace {

// A converter whose channel voltages the test sets; it remembers which
// channels were read.
class FakeBackend final : public Class_AD_Backend {
public:
    std::vector<float> voltages = std::vector<float>(4, 0.0f);
    std::vector<int32_t> reads;

    float AD_get_voltage(int32_t channel) override {
        reads.push_back(channel);
        return voltages.at(static_cast<size_t>(channel));
    }
    int32_t AD_channels() override { return static_cast<int32_t>(voltages.size()); }
    QString AD_channel_name(int32_t) override { return {}; }
    QString AD_dll_date() override { return {}; }
    int32_t AD_get(int32_t) override { return 0; }
    int32_t AD_has_diff_input() override { return 0; }
    int32_t AD_init(int32_t) override { return 1; }
    int32_t AD_load(QString&) override { return -1; }
    int32_t AD_input_mode(int32_t mode) override { return mode; }
    QString AD_interface_name() override { return {}; }
    void AD_Range(int32_t, float& min, float& max) override { min = -10.0f, max = 10.0f; }
    int32_t AD_Ranges() override { return 1; }
    int32_t AD_set_range(int32_t range) override { return range; }
    int32_t AD_set_averaging(int32_t averaging) override { return averaging; }
    int32_t AD_winrt_device() override { return -1; }
};

// Keeps the delayed triggers until the test fires them.
class HeldTriggers final : public TriggerScheduler {
public:
    std::vector<std::pair<int32_t, std::function<void()>>> held;
    void schedule(int32_t delayMs, std::function<void()> fire) override {
        held.emplace_back(delayMs, std::move(fire));
    }
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
    FakeBackend* backend = nullptr;
    QTime timeOfDay{14, 3, 27};
    std::unique_ptr<CounterCore> core;

    void SetUp() override {
        auto fake = std::make_unique<FakeBackend>();
        backend = fake.get();
        adc.ADBackend = std::move(fake);
        adc.ADReady = -1;
        core = makeCore(nullptr, QLocale::c());
    }
    std::unique_ptr<CounterCore> makeCore(TriggerScheduler* scheduler, const QLocale& locale) {
        return std::make_unique<CounterCore>(
            state, CounterCore::Parts{adc, exchange, trigger, clock, view, scheduler},
            settingsPath(), [this] { return timeOfDay; }, locale);
    }
    QString settingsPath() const { return dir.filePath(QStringLiteral("Cyclomarkator.INI")); }
    QString flagPath() const { return dir.filePath(QStringLiteral("~Trigger.tmp")); }
    CountingState saved() const {
        ProfileFile file(settingsPath());
        file.load();
        CountingState loaded;
        QString name;
        SettingsFile::LoadSettings(file, loaded, name);
        return loaded;
    }
    void tick(float voltage) {
        backend->voltages.at(static_cast<size_t>(state.ADChannel)) = voltage;
        clock.advance(40);
        core->Timer_Cyclomarkator_Timer();
    }
    // One maximum per call, counted in mode 0 with threshold 0.
    void countMaximum() {
        tick(1.0f);
        tick(-1.0f);
    }
};

TEST_F(CounterCoreTest, TickPublishesTheChannelsWithTheCountAndShowsTheVoltage) {
    backend->voltages = {5.0f, 1.5f, 2.5f};
    state.CycleCount = 1234;
    state.ADChannel = 1;
    ASSERT_EQ(exchange.ADCFile_open(), 1);
    core->Timer_Cyclomarkator_Timer();
    EXPECT_EQ(core->sampleRecord(), (SampleRecord{1234.0f, 1.5f, 2.5f, 0, 0, 0, 0, 0}));
    const QByteArray bytes = bytesOf(exchange.path());
    ASSERT_EQ(bytes.size(), 32);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(floatAt(bytes, i), core->sampleRecord()[i]);
    EXPECT_EQ(backend->reads, (std::vector<int32_t>{0, 1, 2, 1}));
    EXPECT_EQ(view.voltage, QStringLiteral("1.500"));
    EXPECT_TRUE(view.voltageRed);
    EXPECT_EQ(view.plotted, QList<float>{1.5f});
    EXPECT_TRUE(view.served);
}

TEST_F(CounterCoreTest, OnlyEightChannelsHaveAPlaceInTheRecord) {
    backend->voltages = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    core->Timer_Cyclomarkator_Timer();
    EXPECT_EQ(backend->reads, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 0}));
    EXPECT_EQ(core->sampleRecord()[7], 7.0f);
}

TEST_F(CounterCoreTest, ActivityLineStepsRightAndStartsAgainAtEight) {
    for (int i = 0; i < 20; ++i)
        core->Timer_Cyclomarkator_Timer();
    QList<std::pair<int32_t, int32_t>> expected;
    for (int32_t x = 0; x <= 144; x += 8)
        expected.append({x, x + 8});
    expected.append({8, 16});
    EXPECT_EQ(view.activityLines, expected);
}

TEST_F(CounterCoreTest, WithoutConverterShowsNoADAndReadsNothing) {
    adc.ADReady = 0;
    state.CountMode = 1;
    core->tracker().TrackedExtreme = 5.0f;
    core->Timer_Cyclomarkator_Timer();
    EXPECT_EQ(view.voltage, QStringLiteral("no A/D"));
    EXPECT_FALSE(view.voltageRed);
    EXPECT_TRUE(backend->reads.empty());
    EXPECT_TRUE(view.activityLines.isEmpty());
    EXPECT_EQ(core->tracker().TrackedExtreme, 0.0f);
    EXPECT_EQ(state.MinorCount, 0);
}

TEST_F(CounterCoreTest, CountedExtremaReachLabelsExchangeFileAndSettingsFile) {
    state.ExtremaPerCycle = 2;
    adc.ADInterfaceName = QStringLiteral("Dummy A/D");
    ASSERT_EQ(exchange.ADCFile_open(), 1);
    countMaximum();
    EXPECT_EQ(view.minorCount, QStringLiteral("1"));
    EXPECT_EQ(saved().MinorCount, 1);
    countMaximum();
    EXPECT_EQ(view.count, QStringLiteral("1"));
    EXPECT_EQ(view.minorCount, QStringLiteral("0"));
    EXPECT_EQ(saved().CycleCount, 1);
    EXPECT_EQ(saved().MinorCount, 0);
    // The tick's record was written before the count; SetCount updated element 0.
    EXPECT_EQ(core->sampleRecord()[0], 0.0f);
    EXPECT_EQ(floatAt(bytesOf(exchange.path()), 0), 1.0f);
    ProfileFile file(settingsPath());
    file.load();
    EXPECT_EQ(file.readString(QStringLiteral("HARDWARE"), QStringLiteral("A/D-Converter"), {}),
              QStringLiteral("Dummy A/D"));
}

TEST_F(CounterCoreTest, SetCountChangesOnlyTheFirstFourBytesOfTheExchangeFile) {
    backend->voltages = {9.0f, 2.0f, 3.0f, 4.0f};
    ASSERT_EQ(exchange.ADCFile_open(), 1);
    core->Timer_Cyclomarkator_Timer();
    const QByteArray before = bytesOf(exchange.path());
    core->SetCount(77);
    const QByteArray after = bytesOf(exchange.path());
    EXPECT_EQ(view.count, QStringLiteral("77"));
    EXPECT_EQ(floatAt(after, 0), 77.0f);
    EXPECT_EQ(after.mid(4), before.mid(4));
    EXPECT_NE(after.left(4), before.left(4));
}

TEST_F(CounterCoreTest, FlagIsWrittenInPlaceWithoutTruncating) {
    QFile planted(flagPath());
    ASSERT_TRUE(planted.open(QIODevice::WriteOnly));
    planted.write("ABCDEFGH");
    planted.close();
    ASSERT_TRUE(core->openTriggerFile());
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\0\0\0\0EFGH", 8));
    EXPECT_TRUE(core->SignalTrigger(1));
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\1\0\0\0EFGH", 8));
    EXPECT_EQ(view.titles, (QList<QString>{QStringLiteral("Trigger (0) at 14:03:27 OK"),
                                           QStringLiteral("Trigger (0) at 14:03:27 OK")}));
    EXPECT_EQ(view.marks, (QList<int32_t>{0, 0}));
}

TEST_F(CounterCoreTest, MaxSourceFiresWithLabelTitleFlagAndMark) {
    state.TriggerProfile[6].Every = 2;
    ASSERT_TRUE(core->openTriggerFile());
    core->UpdateNextTrigger();
    EXPECT_EQ(view.nextTrigger, QStringLiteral("2"));
    timeOfDay = QTime(21, 5, 7);
    countMaximum();
    EXPECT_TRUE(view.triggerLabel.isEmpty());
    countMaximum();
    EXPECT_EQ(view.triggerLabel, QStringLiteral("2 T"));
    EXPECT_EQ(view.titles.last(), QStringLiteral("Trigger (2) at 21:05:07 OK"));
    EXPECT_EQ(view.marks, (QList<int32_t>{0, 2}));
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\1\0\0\0", 4));
    EXPECT_EQ(view.nextTrigger, QStringLiteral("4"));
    timeOfDay = QTime(9, 5, 7);
    core->SignalTrigger(1);
    EXPECT_EQ(view.titles.last(), QStringLiteral("Trigger (2) at 09:05:07 OK"));
}

TEST_F(CounterCoreTest, TriggersOffFireNothingButTheManualTrigger) {
    state.TriggerEnabled = 0;
    state.TriggerDelayMs = 30;
    ASSERT_TRUE(core->openTriggerFile());
    core->UpdateNextTrigger();
    EXPECT_EQ(view.nextTrigger, QStringLiteral("Trigger off"));
    countMaximum(); // cycle 1 falls due
    EXPECT_EQ(view.titles.last(), QStringLiteral("Delay 30 ms..."));
    EXPECT_TRUE(view.triggerLabel.isEmpty());
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\0\0\0\0", 4));
    EXPECT_EQ(view.marks.size(), 1);
    EXPECT_TRUE(core->SignalTrigger(1));
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\1\0\0\0", 4));
    EXPECT_EQ(view.marks.size(), 2);
    EXPECT_TRUE(view.triggerLabel.isEmpty());
}

TEST_F(CounterCoreTest, DelayedTriggerAnnouncesItselfAndReportsTheCycleItFellDueAt) {
    HeldTriggers held;
    core = makeCore(&held, QLocale::c());
    state.TriggerDelayMs = 250;
    countMaximum();
    EXPECT_EQ(view.titles, QList<QString>{QStringLiteral("Delay 250 ms...")});
    ASSERT_EQ(held.held.size(), 1u);
    EXPECT_EQ(held.held[0].first, 250);
    countMaximum();
    countMaximum();
    held.held[0].second();
    EXPECT_EQ(view.triggerLabel, QStringLiteral("1 T"));
    EXPECT_EQ(view.titles.last(), QStringLiteral("Trigger (1) at 14:03:27"));
    EXPECT_EQ(view.marks.last(), 1);
}

TEST_F(CounterCoreTest, ImmediateSchedulerFiresRightAfterTheDelayMessage) {
    state.TriggerDelayMs = 250;
    countMaximum();
    EXPECT_EQ(view.titles, (QList<QString>{QStringLiteral("Delay 250 ms..."),
                                           QStringLiteral("Trigger (1) at 14:03:27")}));
}

TEST_F(CounterCoreTest, FailedFlagWriteClosesTheFileAndSkipsTheMark) {
    ASSERT_TRUE(core->openTriggerFile());
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
    EXPECT_EQ(view.marks.size(), 1);
    EXPECT_FALSE(trigger.isOpen());
    // From now on the trigger shows without OK or ERROR, and marks again.
    EXPECT_FALSE(core->SignalTrigger(1));
    EXPECT_EQ(view.titles.last(), QStringLiteral("Trigger (0) at 14:03:27"));
    EXPECT_EQ(view.marks.size(), 2);
    EXPECT_EQ(bytesOf(flagPath()), QByteArray("\0\0\0\0", 4));
}

TEST_F(CounterCoreTest, FailedSettingsSaveIsReportedOncePerEpisodeAndRetried) {
    ASSERT_TRUE(QDir().mkdir(settingsPath()));
    core->CountExtremum();
    core->CountExtremum();
    ASSERT_EQ(view.problems.size(), 1);
    EXPECT_TRUE(view.problems[0].contains(settingsPath()));
    ASSERT_TRUE(QDir().rmdir(settingsPath()));
    core->CountExtremum();
    EXPECT_EQ(saved().CycleCount, 3);
    ASSERT_TRUE(QFile::remove(settingsPath()));
    ASSERT_TRUE(QDir().mkdir(settingsPath()));
    EXPECT_FALSE(core->SaveSettings());
    EXPECT_EQ(view.problems.size(), 2);
}

TEST_F(CounterCoreTest, VoltageTurnsRedOnTheSideWhereTheTriggerActs) {
    state.Threshold = 0.5f;
    const struct {
        int32_t source;
        float voltage;
        bool red;
    } cases[] = {{0, 0.6f, true},  {0, 0.5f, false}, {2, 0.6f, true}, {1, 0.4f, true},
                 {1, 0.5f, false}, {3, 0.6f, false}, {3, 0.4f, true}};
    for (const auto& c : cases) {
        state.TriggerSource = c.source;
        core->PrintVoltage(c.voltage);
        EXPECT_EQ(view.voltageRed, c.red) << c.source << " " << c.voltage;
    }
    core = makeCore(nullptr, QLocale(QLocale::German, QLocale::Germany));
    core->PrintVoltage(-1.25f);
    EXPECT_EQ(view.voltage, QStringLiteral("-1,250"));
}

} // namespace
