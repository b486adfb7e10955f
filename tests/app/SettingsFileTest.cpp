#include "app/SettingsFile.h"

#include "platform/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <unistd.h>

namespace {

constexpr int32_t Max = std::numeric_limits<int32_t>::max();
const QLocale German(QLocale::German, QLocale::Germany);

CountingState loadText(const QString& text) {
    ProfileFile file;
    file.loadText(text);
    CountingState state;
    QString name;
    SettingsFile::LoadSettings(file, state, name);
    return state;
}

struct LoadCase {
    const char* name;
    const char* text;
    double (*field)(const CountingState&);
    double expected;
};
void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

double minor(const CountingState& s) {
    return s.MinorCount;
}
double count(const CountingState& s) {
    return s.CycleCount;
}
double perCycle(const CountingState& s) {
    return s.ExtremaPerCycle;
}
double next(const CountingState& s) {
    return s.NextTriggerCount;
}
double source(const CountingState& s) {
    return s.TriggerSource;
}
double enabled(const CountingState& s) {
    return s.TriggerEnabled;
}
double rows(const CountingState& s) {
    return s.ProfileRows;
}
double events(const CountingState& s) {
    return s.ExtraEvents;
}
double hysteresis(const CountingState& s) {
    return s.Hysteresis;
}
double threshold(const CountingState& s) {
    return s.Threshold;
}
double delay(const CountingState& s) {
    return s.TriggerDelayMs;
}
double channel(const CountingState& s) {
    return s.ADChannel;
}

class LoadCheck : public testing::TestWithParam<LoadCase> {};

TEST_P(LoadCheck, AppliesTheCheckOfTheKey) {
    const LoadCase& c = GetParam();
    EXPECT_FLOAT_EQ(c.field(loadText(QString::fromUtf8(c.text))), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    SettingsFile, LoadCheck,
    testing::Values(
        LoadCase{"MinorNotBelowPerCycle", "[Cyclomarkator]\nValue2=5\nPeriodizitaet=2", minor, 0},
        LoadCase{"MinorBelowPerCycle", "[Cyclomarkator]\nValue2=1\nPeriodizitaet=2", minor, 1},
        LoadCase{"NegativeCount", "[Cyclomarkator]\nValue=-7", count, 0},
        LoadCase{"HugeCount", "[Cyclomarkator]\nValue=1e99", count, Max},
        LoadCase{"HugeNegativeCount", "[Cyclomarkator]\nValue=-5e20", count, 0},
        LoadCase{"PerCycleZero", "[Cyclomarkator]\nPeriodizitaet=0", perCycle, 1},
        LoadCase{"TrigCountNotAbove", "[Cyclomarkator]\nValue=150\n[Trigger]\nTrigCount=100", next,
                 151},
        LoadCase{"TrigCountAbove", "[Cyclomarkator]\nValue=150\n[Trigger]\nTrigCount=200", next,
                 200},
        LoadCase{"TrigCountMissing", "[Cyclomarkator]\nValue=150", next, 151},
        LoadCase{"TrigCountAtLimit", "[Cyclomarkator]\nValue=1e99", next, Max},
        LoadCase{"SourceSix", "[Trigger]\nSource=6", source, 1},
        LoadCase{"SourceFour", "[Trigger]\nSource=4", source, 0},
        LoadCase{"SourceThree", "[Trigger]\nSource=3", source, 3},
        LoadCase{"EnabledFive", "[Trigger]\nEnabled=5", enabled, 1},
        LoadCase{"ProfilesNine", "[Profile]\nProfiles=9", rows, 6},
        LoadCase{"ProfilesNegative", "[Profile]\nProfiles=-2", rows, 0},
        LoadCase{"EventsThree", "[Trigger]\nEvents=3", events, 0},
        LoadCase{"EventsTwo", "[Trigger]\nEvents=2", events, 2},
        LoadCase{"HysteresisComma", "[Trigger]\nHysterese=0,5", hysteresis, 0.5},
        LoadCase{"HysteresisPoint", "[Trigger]\nHysterese=0.5", hysteresis, 0.5},
        LoadCase{"HysteresisNegative", "[Trigger]\nHysterese=-0.3", hysteresis, 0.2},
        LoadCase{"HysteresisInfinite", "[Trigger]\nHysterese=1e99", hysteresis, 0.2},
        LoadCase{"ThresholdNaNText", "[Trigger]\nADthreshold=NaN", threshold, 0},
        LoadCase{"ThresholdHuge", "[Trigger]\nADthreshold=-1e99", threshold, 0},
        LoadCase{"DelayNegative", "[Trigger]\nTrigDelay=-5", delay, 0},
        LoadCase{"DelayDecimals", "[Trigger]\nTrigDelay=12.9", delay, 12},
        LoadCase{"ChannelNegative", "[Trigger]\nADchannel=-3", channel, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// The loader's own defaults must be the program's: count 0, one extremum per
// cycle, maxima, triggers on at source 0, 0 V, 0.2 V, no delay, next trigger 1.
TEST(SettingsFile, NoFileGivesTheDefaults) {
    QTemporaryDir dir;
    ProfileFile file(dir.filePath(QStringLiteral("Cyclomarkator.INI")));
    EXPECT_FALSE(file.load());
    CountingState state;
    state.CycleCount = 99; // whatever was there before is replaced
    state.Hysteresis = 5.0f;
    QString name = QStringLiteral("old");
    int32_t onTop = 5;
    SettingsFile::LoadSettings(file, state, name, &onTop);
    EXPECT_EQ(state, CountingState());
    EXPECT_EQ(state.Hysteresis, 0.2f);
    EXPECT_EQ(state.NextTriggerCount, 1);
    EXPECT_EQ(name, QString());
    EXPECT_EQ(onTop, 0);
}

// Whatever the file holds, the state must stay inside the ranges the rest of
// the program relies on.
void expectSane(const CountingState& s) {
    EXPECT_GE(s.CycleCount, 0);
    EXPECT_GE(s.ExtremaPerCycle, 1);
    EXPECT_TRUE(s.MinorCount >= 0 && s.MinorCount < s.ExtremaPerCycle);
    EXPECT_TRUE(s.TriggerSource >= 0 && s.TriggerSource <= 3);
    EXPECT_TRUE(s.ExtraEvents >= 0 && s.ExtraEvents <= 2);
    EXPECT_TRUE(s.ProfileRows >= 0 && s.ProfileRows <= 6);
    EXPECT_TRUE(std::isfinite(s.Threshold) && std::isfinite(s.Hysteresis));
    EXPECT_GE(s.Hysteresis, 0.0f);
    EXPECT_GE(s.TriggerDelayMs, 0);
    EXPECT_TRUE(s.NextTriggerCount > s.CycleCount || s.CycleCount == Max);
}

TEST(SettingsFile, HostileFilesLoadSaneValues) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Cyclomarkator.INI"));
    QByteArray junk(4096, '\0');
    QRandomGenerator random(1234);
    for (char& c : junk)
        c = "[]=\n\r;,.-e9ValueTrigger\0\xff"[random.bounded(26)];
    const QList<QByteArray> contents = {
        "garbage without any structure",
        "[Cyclomarkator]\nValue=" + QByteArray(10000, '9') + "\nValue2=" + QByteArray(10000, 'x'),
        "[Cyclomarkator]\nValue=-5e20\nValue2=1e99\nPeriodizitaet=-1e99\n[Trigger]\n"
        "ADthreshold=1e99\nHysterese=NaN\nTrigDelay=-99999999999\nEvents=1e99\nSource=&HFFFF\n"
        "[Profile]\nProfiles=99999999999\n",
        "[" + QByteArray(10000, '[') + "\n" + QByteArray(10000, '='),
        junk,
        "[Trigger]\nHysterese=-inf\nADthreshold=inf\nTrigCount=-1\n",
    };
    for (const QByteArray& content : contents) {
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(content);
        out.close();
        ProfileFile file(path);
        file.load();
        CountingState state;
        QString name;
        SettingsFile::LoadSettings(file, state, name);
        SCOPED_TRACE(content.left(60).toStdString());
        expectSane(state);
        EXPECT_LE(name.size(), 255);
    }
}

TEST(SettingsFile, FolderInPlaceOfTheFileGivesDefaults) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Cyclomarkator.INI"));
    ASSERT_TRUE(QDir().mkdir(folder));
    ProfileFile file(folder);
    EXPECT_FALSE(file.load());
    CountingState state;
    state.CycleCount = 5;
    QString name;
    SettingsFile::LoadSettings(file, state, name);
    EXPECT_EQ(state, CountingState());
}

TEST(SettingsFile, UnreadableFileGivesDefaults) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads files without read permission";
    QTemporaryDir dir;
    const QString locked = dir.filePath(QStringLiteral("Cyclomarkator.INI"));
    QFile out(locked);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("[Cyclomarkator]\nValue=77\n");
    out.close();
    ASSERT_TRUE(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    ProfileFile file(locked);
    EXPECT_FALSE(file.load());
    CountingState state;
    QString name;
    SettingsFile::LoadSettings(file, state, name);
    EXPECT_EQ(state.CycleCount, 0);
}

CountingState sampleState() {
    CountingState s;
    s.CycleCount = 1200;
    s.MinorCount = 1;
    s.ExtremaPerCycle = 2;
    s.CountMode = 1;
    s.TriggerSource = 2;
    s.ADChannel = 3;
    s.Threshold = 1.5f;
    s.TriggerDelayMs = 250;
    s.NextTriggerCount = 1300;
    s.ExtraEvents = 2;
    s.ProfileRows = 1;
    s.TriggerProfile[0] = {10, 2};
    s.TriggerProfile[6].Every = 200;
    return s;
}

TEST(SettingsFile, SaveWritesEveryKeyInOrder) {
    ProfileFile file;
    SettingsFile::writeSettings(file, sampleState(), QStringLiteral("Dummy A/D"), -1, QLocale::c());
    EXPECT_EQ(file.text(), QStringLiteral("[HARDWARE]\nA/D-Converter=Dummy A/D\n"
                                          "[Cyclomarkator]\nAlwaysOnTop=-1\nValue=1200\n"
                                          "Value2=1\nPeriodizitaet=2\nCountMode=1\n"
                                          "[Trigger]\nEnabled=1\nSource=2\nADchannel=3\n"
                                          "ADthreshold=1.5\nHysterese=0.2\nTrigDelay=250\n"
                                          "TrigCount=1300\nEvents=2\n"
                                          "[Profile]\nProfiles=1\n0To=10\n0N=2\n6N=200\n"));
}

TEST(SettingsFile, SaveKeepsEverythingElseOfTheFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Cyclomarkator.INI"));
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("; kept\n[General]\nLeft=1500\n[Cyclomarkator]\nvalue=7\nNote=keep\n"
              "[Profile]\nProfiles=3\n2To=99\n[Recorder]\nXScale=2\n");
    out.close();
    ASSERT_TRUE(SettingsFile::SaveSettings(path, sampleState(), QString(), 0, QLocale::c()));
    ProfileFile file(path);
    ASSERT_TRUE(file.load());
    const QString text = file.text();
    for (const char* kept : {"; kept\n", "[General]\nLeft=1500\n", "Note=keep\n", "2To=99\n",
                             "[Recorder]\nXScale=2\n"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(kept))) << kept;
    EXPECT_EQ(text.count(QStringLiteral("alue=")), 1);
    EXPECT_EQ(file.readInt(QStringLiteral("Cyclomarkator"), QStringLiteral("Value"), 0), 1200);
}

TEST(SettingsFile, SinglesReadBackExactlyInEitherLocale) {
    for (const QLocale& locale : {QLocale::c(), German}) {
        for (float value : {0.2f, -0.003f, 1.1f, 1e20f, 1e-7f, -1e38f, 123456.7f}) {
            CountingState state;
            state.Threshold = value;
            state.Hysteresis = 0.2f;
            ProfileFile file;
            SettingsFile::writeSettings(file, state, QString(), 0, locale);
            const CountingState back = loadText(file.text());
            EXPECT_EQ(back.Threshold, value) << locale.name().toStdString();
            EXPECT_EQ(back.Hysteresis, 0.2f);
            EXPECT_EQ(file.readString(QStringLiteral("Trigger"), QStringLiteral("Hysterese"), {}),
                      locale == German ? QStringLiteral("0,2") : QStringLiteral("0.2"));
        }
    }
}

TEST(SettingsFile, RoundTripThroughTheFileWithADecimalComma) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Cyclomarkator.INI"));
    const CountingState saved = sampleState();
    ASSERT_TRUE(SettingsFile::SaveSettings(path, saved, QStringLiteral("Dummy A/D"), -1, German));
    ProfileFile file(path);
    ASSERT_TRUE(file.load());
    CountingState loaded;
    QString name;
    int32_t onTop = 0;
    SettingsFile::LoadSettings(file, loaded, name, &onTop);
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(name, QStringLiteral("Dummy A/D"));
    EXPECT_EQ(onTop, -1);
}

TEST(SettingsFile, FailedSaveSaysWhyAndLeavesTheFolder) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("Cyclomarkator.INI"));
    ASSERT_TRUE(QDir().mkdir(folder));
    QString error;
    EXPECT_FALSE(
        SettingsFile::SaveSettings(folder, sampleState(), QString(), 0, QLocale::c(), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
}

} // namespace
