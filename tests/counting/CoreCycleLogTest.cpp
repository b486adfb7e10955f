// The running program's cycle log: a failure writes the cycles before it and
// every cycle until it is cleared; a set count is a row and a reset a new
// file; a stored file that cannot be continued is said once.
#include "support/CoreRig.h"
#include "support/ProblemLog.h"
#include "support/TestFiles.h"

#include <QDir>

namespace {

// "cycle,flag" of every row below the column row.
QStringList rowsOf(const QString& path) {
    QStringList rows;
    for (const QByteArray& line : fileBytes(path).split('\n'))
        if (!line.isEmpty() && !line.startsWith('#') && !line.startsWith("cycle,"))
            rows << QString::fromLatin1(line.left(line.indexOf(',')) + ',' +
                                        line.split(',').last());
    return rows;
}

// Reference over cycles 1..3; cycles 250..399 at half the swing (N_f 250,
// confirmed at 252); cleared at 400. One row per decade above 100.
TEST(CoreCycleLogTest, AFailureWritesTheCyclesBeforeItAndEveryCycleUntilCleared) {
    CoreRig rig;
    double now = 1.7e9;
    CoreWatch watch([&] { return now; });
    ProfileFile cleared; // the watch read back without its failure
    cleared.writeString("Watch", "LogPerDecade", "1");
    watch.setSettings({.armed = true, .settlingCycles = 0, .referenceCycles = 3, .logPerDecade = 1},
                      {});
    ProblemLog problems;
    CoreCycleLog log(rig.state, rig.adc, watch, problems, [&] { return now; });
    log.load(rig.path("rig2.INI"), ProfileFile());
    log.begin();
    for (int32_t n = 1; n <= 700; ++n) {
        if (n == 400) {
            QStringList ignored;
            watch.load(cleared, ignored);
            log.failureCleared();
        }
        const float swing = n >= 250 && n < 400 ? 0.5f : 1.0f;
        watch.extremum(swing, true);
        watch.extremum(-swing, false);
        watch.cycleCompleted(n, n * 10, now += 0.1);
        log.cycle(watch.lastCycle());
        log.flush();
    }
    QStringList expected;
    for (int32_t n = 1; n <= 399; ++n)
        expected << QString::number(n) + ',' << (n == 3 ? "3,reference" : "")
                 << (n == 252 ? "250,failure" : "");
    expected.removeAll(QString());
    EXPECT_EQ(rowsOf(log.path()), expected);
    EXPECT_TRUE(problems.problems.isEmpty());
}

// A reset before any row keeps the fresh file; numbers keep their points in
// a locale with a decimal comma.
TEST(CoreCycleLogTest, ASetCountIsARowAndAResetStartsANewFile) {
    CoreRig rig{QLocale(QLocale::German)};
    ASSERT_TRUE(rig.core->resetCount());
    rig.countMaximum();
    const QString first = rig.core->cycleLogPath();
    ASSERT_TRUE(rig.core->changeCount(50) && rig.core->resetCount());
    rig.countMaximum();
    EXPECT_EQ(QDir(rig.dir.path()).entryList({"*-cycles-*.csv"}).size(), 2);
    EXPECT_EQ(rig.saved("CycleLog", "File"), QFileInfo(rig.core->cycleLogPath()).fileName());
    EXPECT_EQ(rowsOf(first), QStringList({"1,", "50,set", "0,set"}));
    EXPECT_EQ(rowsOf(rig.core->cycleLogPath()), QStringList({"1,"}));
    EXPECT_TRUE(fileBytes(first).contains("hysteresis 0.2 V")) << fileBytes(first).toStdString();
}

class RestartTable : public testing::TestWithParam<std::tuple<const char*, const char*>> {};

TEST_P(RestartTable, AStoredLogThatCannotBeContinuedIsSaidOnceAndANewOneBegun) {
    const auto [damage, said] = GetParam();
    CoreRig rig;
    rig.countMaximum();
    const QString first = rig.core->cycleLogPath();
    rig.core.reset();
    if (damage == QLatin1String("gone"))
        QFile::remove(first);
    else if (damage == QLatin1String("junk"))
        putFile(first, "cycle;peak\n");
    else
        rig.settings.save([](ProfileFile& file) { file.writeString("CycleLog", "File", "../x"); });
    rig.view.problems.clear();
    rig.core = rig.makeCore(QLocale::c());
    rig.countMaximum();
    ASSERT_EQ(rig.view.problems.size(), 1);
    EXPECT_TRUE(rig.view.problems[0].contains(QLatin1String(said)));
    EXPECT_EQ(rowsOf(rig.core->cycleLogPath()), QStringList({"2,"}));
    EXPECT_TRUE(damage != QLatin1String("junk") || fileBytes(first) == "cycle;peak\n");
}

INSTANTIATE_TEST_SUITE_P(CoreCycleLogTest, RestartTable,
                         testing::Values(std::tuple("gone", "No such file"),
                                         std::tuple("junk", "it is no cycle log"),
                                         std::tuple("path", "must be a plain file name")));

} // namespace
