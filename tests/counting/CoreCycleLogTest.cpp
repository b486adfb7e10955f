// The running program's cycle log: a failure writes the cycles before it and
// then every cycle until it is cleared; a restart continues the stored file
// with a restart row, or says once why it cannot and starts a new one; a set
// count is a row and a reset starts a new file, leaving the old one whole;
// the rows keep points in a locale with a decimal comma.
#include "counting/CoreCycleLog.h"

#include "platform/ProfileFile.h"
#include "support/CoreRig.h"
#include "support/ProblemLog.h"
#include "support/TestFiles.h"

#include <QDir>
#include <gtest/gtest.h>

#include <tuple>

namespace {

// "cycle,flag" of every row after the column row.
QStringList rowsOf(const QString& path) {
    QStringList rows;
    bool columns = false;
    for (const QByteArray& line : fileBytes(path).split('\n')) {
        if (columns && !line.isEmpty()) {
            const QList<QByteArray> cells = line.split(',');
            rows << QString::fromLatin1(cells.first() + ',' + cells.last());
        }
        columns = columns || line.startsWith("cycle,");
    }
    return rows;
}

QStringList logsIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList({"Cyclomarkator-cycles-*.csv"}, QDir::Files, QDir::Name);
}

// Settle 0, reference cycles 1..3 at ±1 V; from cycle 250 the amplitude is
// halved, so N_f is 250, confirmed at 252. One row per decade above 100.
TEST(CoreCycleLogTest, AFailureWritesTheCyclesBeforeItAndEveryCycleUntilCleared) {
    QTemporaryDir dir;
    double now = 1.7e9;
    CoreWatch watch([&] { return now; });
    WatchSettings settings;
    settings.armed = true;
    settings.settlingCycles = 0;
    settings.referenceCycles = 3;
    settings.logPerDecade = 1;
    watch.setSettings(settings, {});
    ManualClock clock{0};
    RegistryArea registry{dir.filePath("registry.ini")};
    ScriptedPrompts prompts;
    FakeDevices devices;
    AdcFacade adc{clock, registry, prompts, dir.path(), devices};
    CountingState state;
    ProblemLog problems;
    CoreCycleLog log(state, adc, watch, problems, [&] { return now; });
    log.load(dir.filePath("Cyclomarkator.INI"), ProfileFile());
    log.begin();
    ProfileFile cleared; // the watch read back without its failure
    cleared.writeString("Watch", "LogPerDecade", "1");
    QStringList ignored;
    for (int32_t n = 1; n <= 700; ++n) {
        if (n == 400) {
            watch.load(cleared, ignored);
            log.failureCleared();
        }
        const float swing = n >= 250 && n < 400 ? 0.5f : 1.0f;
        watch.extremum(swing, true);
        watch.extremum(-swing, false);
        now += 0.1;
        watch.cycleCompleted(n, n * 10, n * 0.1);
        log.cycle(watch.lastCycle());
        log.flush();
    }
    QStringList expected;
    for (int32_t n = 1; n <= 252; ++n)
        expected << QString::number(n) + ',' << (n == 3 ? "3,reference" : nullptr);
    expected.removeAll(QString());
    expected << "250,failure";
    for (int32_t n = 253; n <= 399; ++n)
        expected << QString::number(n) + ',';
    EXPECT_EQ(rowsOf(log.path()), expected);
    EXPECT_TRUE(problems.problems.isEmpty()) << problems.problems.join('\n').toStdString();
}

class CoreLogRig : public testing::Test {
protected:
    // `cycles` counted cycles of ±1.5 V.
    void count(int cycles) {
        for (int i = 0; i < cycles; ++i)
            for (const float voltage : {1.5f, -1.5f}) {
                rig.backend->voltages.assign(rig.backend->voltages.size(), voltage);
                rig.clock.advance(40);
                rig.core->Timer_Cyclomarkator_Timer();
            }
    }
    CoreRig rig{QLocale(QLocale::German)};
};

// A set count is a row; a reset closes the file whole and starts a new one,
// whose name the settings file holds (a reset before any row keeps the file);
// numbers keep their points.
TEST_F(CoreLogRig, ASetCountIsARowAndAResetStartsANewFile) {
    ASSERT_TRUE(rig.core->resetCount());
    count(3);
    const QString first = rig.core->cycleLogPath();
    ASSERT_TRUE(rig.core->changeCount(50));
    count(1);
    ASSERT_TRUE(rig.core->resetCount());
    count(2);
    const QString second = rig.core->cycleLogPath();
    ASSERT_EQ(logsIn(rig.dir).size(), 2);
    EXPECT_NE(first, second);
    EXPECT_EQ(rig.saved("CycleLog", "File"), QFileInfo(second).fileName());
    EXPECT_EQ(rowsOf(first), QStringList({"1,", "2,", "3,", "50,set", "51,", "0,set"}));
    EXPECT_EQ(rowsOf(second), QStringList({"1,", "2,"}));
    const QByteArray bytes = fileBytes(first);
    EXPECT_TRUE(bytes.endsWith("0,set\n"));
    EXPECT_TRUE(bytes.contains(",1.5,-1.5,0,1.5,2,\n")) << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("hysteresis 0.2 V")) << bytes.toStdString();
}

using Restart = std::tuple<const char*, const char*>;
class RestartTable : public CoreLogRig, public testing::WithParamInterface<Restart> {};

// What the stored file is at the restart, and what is said of it (empty:
// nothing, the file is continued).
TEST_P(RestartTable, ARestartContinuesTheStoredFileOrSaysWhyNot) {
    const auto [damage, said] = GetParam();
    const QByteArray junk = "cycle;peak\n1;2\n";
    count(2);
    const QString first = rig.core->cycleLogPath();
    rig.core.reset();
    if (QByteArray(damage) == "gone")
        QFile::remove(first);
    else if (QByteArray(damage) == "junk")
        putFile(first, junk);
    else if (QByteArray(damage) == "path")
        rig.settings.save(
            [](ProfileFile& file) { file.writeString("CycleLog", "File", "../elsewhere.csv"); });
    rig.view.problems.clear();
    rig.core = rig.makeCore(QLocale::c());
    count(1);
    const QStringList problems = rig.view.problems;
    if (QByteArray(said).isEmpty()) {
        EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
        EXPECT_EQ(rig.core->cycleLogPath(), first);
        EXPECT_EQ(rowsOf(first), QStringList({"1,", "2,", "2,restart", "3,"}));
        return;
    }
    ASSERT_EQ(problems.size(), 1) << problems.join('\n').toStdString();
    EXPECT_TRUE(problems[0].contains(QLatin1String(said))) << problems[0].toStdString();
    EXPECT_TRUE(problems[0].endsWith("a new cycle log is started."));
    if (QByteArray(damage) == "junk") {
        EXPECT_EQ(fileBytes(first), junk);
    }
    EXPECT_EQ(rowsOf(rig.core->cycleLogPath()), QStringList({"3,"}));
}

INSTANTIATE_TEST_SUITE_P(CoreCycleLogTest, RestartTable,
                         testing::Values(Restart{"", ""}, Restart{"gone", "No such file"},
                                         Restart{"junk", "it is no cycle log"},
                                         Restart{"path", "must be a plain file name"}));

} // namespace
