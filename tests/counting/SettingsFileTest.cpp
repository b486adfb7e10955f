// The settings file: what the loader makes of every key (including files
// damaged or written by hand), the exact file the saver writes, that it reads
// back with either decimal separator, and that a save killed half-way leaves
// a whole file. Number parsing itself and keeping the rest of the file are
// checked with the INI readers and ProfileFile.
#include "counting/SettingsFile.h"

#include "platform/ProfileFile.h"
#include "support/TestFiles.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <tuple>

namespace {

constexpr int32_t Max = std::numeric_limits<int32_t>::max();

// clang-format off
const CountingState Sample{.CycleCount = 1200, .MinorCount = 1, .ExtremaPerCycle = 2,
                           .CountMode = CountedExtrema::Minima, .Threshold = 1.5f, .ADChannel = 3,
                           .TriggerSource = TriggerOn::RisingThroughThreshold,
                           .TriggerDelayMs = 250, .NextTriggerCount = 1300, .ExtraEvents = 2,
                           .ProfileRows = 1, .TriggerProfile = {{{10, 2}, {}, {}, {}, {}, {}, {0, 200}}}};
// clang-format on

CountingState load(const QString& text, QString* name = nullptr, bool* onTop = nullptr) {
    ProfileFile file;
    file.loadText(text);
    CountingState state;
    state.CycleCount = 99; // whatever was there before is replaced
    state.Hysteresis = 5.0f;
    QString ignored;
    SettingsFile::LoadSettings(file, state, name ? *name : ignored, onTop);
    return state;
}

QString written(const CountingState& state, const QLocale& locale = QLocale::c()) {
    ProfileFile file;
    SettingsFile::writeSettings(file, state, QStringLiteral("Dummy A/D"), true, locale);
    return file.text();
}

// A value edited by hand or left by an older version must be brought into
// the range the counting relies on, key by key (the plain clamps are checked
// with the hostile files). The state is written back to read the value (the
// writer is pinned below).
TEST(SettingsFile, LoaderAppliesTheCheckOfEveryKey) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // The minor count is checked against the extrema per cycle stored after it.
        {"[Cyclomarkator]\nValue2=2\nPeriodizitaet=2", "Value2", "0"},
        {"[Cyclomarkator]\nValue2=1\nPeriodizitaet=2", "Value2", "1"},
        // The next trigger always lies ahead of the count, or at the limit.
        {"[Cyclomarkator]\nValue=150\n[Trigger]\nTrigCount=150", "TrigCount", "151"},
        {"[Cyclomarkator]\nValue=150\n[Trigger]\nTrigCount=200", "TrigCount", "200"},
        {"[Cyclomarkator]\nValue=1e99", "TrigCount", "2147483647"},
        // Older files store source 6 for the minimum; unknown sources are the maximum.
        {"[Trigger]\nSource=6", "Source", "1"},
        {"[Trigger]\nSource=4", "Source", "0"},
        {"[Trigger]\nSource=3", "Source", "3"},
        {"[Trigger]\nEnabled=5", "Enabled", "1"},
        {"[Cyclomarkator]\nCountMode=7", "CountMode", "0"}, // would count nothing at all
        {"[Profile]\nProfiles=-2", "Profiles", "0"},
        {"[Trigger]\nEvents=3", "Events", "0"},
        {"[Trigger]\nEvents=2", "Events", "2"},
        {"[Trigger]\nHysterese=-0.3", "Hysterese", "0.2"},
        {"[Trigger]\nADchannel=-3", "ADchannel", "0"},
    };
    for (const auto& [text, key, expected] : cases) {
        const QRegularExpression line(QStringLiteral("\n%1=([^\n]*)").arg(QLatin1String(key)));
        const QString value = line.match(written(load(QString::fromUtf8(text)))).captured(1);
        EXPECT_EQ(value, QLatin1String(expected)) << text;
    }
}

// With no file the loader's own defaults must be the program's: count 0, one
// extremum per cycle, maxima, triggers on at source 0, 0 V, 0.2 V, no delay,
// next trigger 1, no interface, not on top. A damaged or hostile file must
// neither crash the loader nor leave a value outside the ranges the rest of
// the program relies on.
TEST(SettingsFile, NoFileGivesTheDefaultsAndHostileFilesSaneValues) {
    QString name = QStringLiteral("old");
    bool onTop = true;
    EXPECT_EQ(load({}, &name, &onTop), CountingState());
    EXPECT_TRUE(name.isEmpty() && !onTop) << name.toStdString();
    QByteArray junk(4096, '\0');
    QRandomGenerator random(1234);
    for (char& c : junk)
        c = "[]=\n\r;,.-e9ValueTrigger\0\xff"[random.bounded(26)];
    const QList<QByteArray> contents = {
        "[Cyclomarkator]\nValue=" + QByteArray(10000, '9') + "\nValue2=" + QByteArray(10000, 'x'),
        "[Cyclomarkator]\nValue=-5e20\nValue2=1e99\nPeriodizitaet=-1e99\nCountMode=7\n[Trigger]\n"
        "ADthreshold=1e99\nHysterese=NaN\nTrigDelay=-99999999999\nEvents=1e99\nSource=&HFFFF\n"
        "[Profile]\nProfiles=99999999999\n",
        junk,
        "[Trigger]\nHysterese=-inf\nADthreshold=inf\nTrigCount=-1\n",
    };
    for (const QByteArray& content : contents) {
        const CountingState s = load(QString::fromLatin1(content));
        const auto source = static_cast<int32_t>(s.TriggerSource);
        const auto mode = static_cast<int32_t>(s.CountMode);
        EXPECT_TRUE(s.CycleCount >= 0 && s.ExtremaPerCycle >= 1 && s.MinorCount >= 0 &&
                    s.MinorCount < s.ExtremaPerCycle && source >= 0 && source <= 3 && mode >= 0 &&
                    mode <= 1 && s.ExtraEvents >= 0 && s.ExtraEvents <= 2 && s.ProfileRows >= 0 &&
                    s.ProfileRows <= 6 && std::isfinite(s.Threshold) &&
                    std::isfinite(s.Hysteresis) && s.Hysteresis >= 0.0f && s.TriggerDelayMs >= 0 &&
                    (s.NextTriggerCount > s.CycleCount || s.CycleCount == Max))
            << written(s).toStdString();
    }
}

// Other programs and older installations read these keys by name and section.
// A lab PC set to German writes "0,2"; every single must still read back
// exactly, and the whole state must survive the trip through the file.
TEST(SettingsFile, SaveWritesEveryKeyInOrderAndReadsBackWithEitherDecimalSeparator) {
    EXPECT_EQ(written(Sample), QStringLiteral("[HARDWARE]\nA/D-Converter=Dummy A/D\n"
                                              "[Cyclomarkator]\nAlwaysOnTop=-1\nValue=1200\n"
                                              "Value2=1\nPeriodizitaet=2\nCountMode=1\n"
                                              "[Trigger]\nEnabled=1\nSource=2\nADchannel=3\n"
                                              "ADthreshold=1.5\nHysterese=0.2\nTrigDelay=250\n"
                                              "TrigCount=1300\nEvents=2\n"
                                              "[Profile]\nProfiles=1\n0To=10\n0N=2\n6N=200\n"));
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)}) {
        for (float value : {1.5f, -0.003f, 1.1f, 1e20f, 1e-7f, -1e38f, 123456.7f}) {
            CountingState saved = Sample;
            saved.Threshold = value;
            const QString text = written(saved, locale);
            QString name;
            bool onTop = false;
            EXPECT_EQ(load(text, &name, &onTop), saved) << value << locale.name().toStdString();
            EXPECT_TRUE(name == QStringLiteral("Dummy A/D") && onTop) << name.toStdString();
            EXPECT_EQ(text.contains(QStringLiteral("Hysterese=0,2")), locale != QLocale::c());
        }
    }
}

// A process killed in the middle of saving leaves the old or the new file,
// whole: it always loads, keeps the other sections, and holds at least the
// last count reported as saved.
TEST(KilledSettingsSave, LeavesAWholeFileWithTheLastSavedCount) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Cyclomarkator.INI"));
    ASSERT_TRUE(putFile(path, "[General]\nLeft=1500\n[Cyclomarkator]\nValue=0\n[Recorder]\nX=2\n"));
    std::mt19937 random(20100620);
    int32_t reported = 0, previous = 0;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        const auto printed = killMidSave(SAVE_LOOP, "settings", path, 5 + random() % 116);
        ASSERT_TRUE(printed.has_value());
        reported = std::max(reported, *printed);
        ProfileFile file(path);
        ASSERT_TRUE(file.load()) << file.lastError().toStdString();
        const CountingState state = load(file.text());
        EXPECT_GE(state.CycleCount, std::max(reported, previous));
        EXPECT_LE(state.CycleCount, std::max(previous, *printed) + 1);
        EXPECT_EQ(file.readInt(QStringLiteral("General"), QStringLiteral("Left"), 0), 1500);
        EXPECT_EQ(file.readInt(QStringLiteral("Recorder"), QStringLiteral("X"), 0), 2);
        EXPECT_TRUE(file.rawValue(QStringLiteral("Profile"), QStringLiteral("6N")).has_value());
        previous = state.CycleCount;
    }
}

} // namespace
