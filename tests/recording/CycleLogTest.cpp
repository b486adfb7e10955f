// The cycle log: which cycles its schedule logs, rows that read back exactly
// whatever the locale, a torn last line cut at the next start, an old file
// never overwritten, and a folder or disk that cannot be written.
#include "recording/CycleLogFile.h"
#include "recording/CycleLogSchedule.h"
#include "support/ProblemLog.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <charconv>
#include <chrono>
#include <clocale>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <unistd.h>

namespace {

// Cycle n is logged when it is the first at or after 10^(k/N): 10^(41/20) =
// 112.2 gives 113, a whole decade gives itself, not the cycle after it. One
// schedule asked cycle after cycle (its cache) gives 20 rows a decade, and
// "every cycle" switches on at once.
TEST(CycleLog, LogsTheFirstCycleAtOrAfterEachPoint) {
    const std::tuple<int32_t, int32_t, int32_t, bool> cases[] = {
        {20, 0, 1, true},     {20, 0, 100, true},        {20, 0, 101, false}, {20, 0, 112, false},
        {20, 0, 113, true},   {20, 0, 126, true},        {20, 0, 999, false}, {20, 0, 1000, true},
        {20, 0, 1001, false}, {20, 0, 10'000'000, true}, {1, 0, 1000, true},  {1, 0, 999, false},
        {2, 0, 317, true},    {2, 0, 316, false},        {20, 50, 150, true}, {20, 50, 151, false}};
    for (const auto& [perDecade, everyNth, cycle, logged] : cases)
        EXPECT_EQ(CycleLogSchedule(perDecade, everyNth).logged(cycle), logged) << cycle;
    CycleLogSchedule schedule;
    int32_t rows = 0;
    for (int32_t n = 1; n <= 10'000'000; ++n)
        rows += schedule.logged(n) ? 1 : 0;
    EXPECT_EQ(rows, 200);
    EXPECT_FALSE(schedule.logged(10'000'001));
    schedule.setEveryCycle(true);
    EXPECT_TRUE(schedule.logged(10'000'002));
}

class LogFile : public testing::Test {
protected:
    QString path(const char* name = "test.csv") const { return dir.filePath(name); }
    QStringList lines(const QString& file) const {
        return QString::fromUtf8(fileBytes(file)).split(u'\n', Qt::SkipEmptyParts);
    }
    static CycleLogRow row(int32_t n) {
        return {n, n * 0.5, 1.0f + n, -1.0f - n, 0.0f, 1.0f + n, 12, true};
    }
    QTemporaryDir dir;
    ProblemLog log;
};

TEST_F(LogFile, SinglesReadBackExactlyInALocaleWithADecimalComma) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    std::setlocale(LC_ALL, "de_DE.UTF-8"); // where the machine has it
    const float values[] = {0.1f, -1.0f / 3.0f, 9.87654321e-30f, 3.4e38f, 1e-45f, 0.0f};
    {
        CycleLogFile file(log, CycleLogSchedule());
        QString error;
        ASSERT_TRUE(file.createAt(path(), 1'700'000'000'123, {"program: test"}, error));
        int32_t n = 1;
        for (float v : values)
            file.cycle({n++, 1.25, v, -v, v / 2, v * 3, 7, true});
        ASSERT_TRUE(file.close());
    }
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(before);
    const QStringList rows = lines(path());
    ASSERT_EQ(rows.size(), 4 + 6);
    EXPECT_EQ(rows[1], "# started: 2023-11-14T22:13:20.123Z");
    EXPECT_EQ(rows[3], "cycle,time,seconds,peak,valley,mean,amplitude,samples,flag");
    EXPECT_TRUE(rows[4].startsWith("1,2023-11-14T22:13:21.373Z,1.250,")) << rows[4].toStdString();
    for (int i = 0; i < 6; ++i) {
        const QStringList fields = rows[4 + i].split(u',');
        ASSERT_EQ(fields.size(), 9) << rows[4 + i].toStdString();
        const float expected[] = {values[i], -values[i], values[i] / 2, values[i] * 3};
        for (int f = 0; f < 4; ++f) {
            const std::string text = fields[3 + f].toStdString();
            float read = 0;
            std::from_chars(text.data(), text.data() + text.size(), read);
            EXPECT_EQ(std::bit_cast<uint32_t>(read), std::bit_cast<uint32_t>(expected[f])) << text;
        }
    }
}

TEST_F(LogFile, ATornLastLineIsCutAtTheNextStartAndSaidOnce) {
    QString error;
    {
        CycleLogFile file(log, CycleLogSchedule());
        ASSERT_TRUE(file.createAt(path(), 0, {}, error));
        file.cycle(row(1));
        file.cycle(row(2));
    }
    const QByteArray whole = fileBytes(path());
    ASSERT_TRUE(putFile(path(), whole + "3,1970-01-01T00:00:01.5"));
    for (int start = 0; start < 2; ++start) {
        CycleLogFile file(log, CycleLogSchedule());
        ASSERT_TRUE(file.resume(path(), error)) << error.toStdString();
        file.flagRow({2, 9.0, 0, 0, 0, 0, 0, false}, CycleLogFlag::Restart);
    }
    ASSERT_EQ(log.problems.size(), 1);
    EXPECT_TRUE(log.problems[0].contains("torn last line")) << log.problems[0].toStdString();
    EXPECT_EQ(fileBytes(path()), whole + "2,1970-01-01T00:00:09.000Z,9.000,,,,,0,restart\n" +
                                     "2,1970-01-01T00:00:09.000Z,9.000,,,,,0,restart\n");
}

TEST_F(LogFile, AnOldFileIsNeverOverwritten) {
    const QByteArray old = "# Cyclomarkator cycle log\nkeep me\n";
    ASSERT_TRUE(putFile(path("rig-cycles-19700101T000010Z.csv"), old));
    CycleLogFile file(log, CycleLogSchedule());
    file.create(dir.path(), "rig", 10'500, {});
    file.flush(0);
    EXPECT_EQ(file.path(), path("rig-cycles-19700101T000011Z.csv"));
    EXPECT_EQ(fileBytes(path("rig-cycles-19700101T000010Z.csv")), old);
    EXPECT_TRUE(log.problems.isEmpty()); // a named file refused: the tool's cycle log test
}

// The rows of every cycle since the last logged one come out after a failure,
// in order, and the ring holds the last 10 000.
TEST_F(LogFile, TheBacklogWritesEveryCycleNotLoggedYet) {
    CycleLogFile file(log, CycleLogSchedule());
    QString error;
    ASSERT_TRUE(file.createAt(path(), 0, {}, error));
    for (int32_t n = 1; n <= 20'000; ++n)
        file.cycle(row(n));
    file.writeBacklog();
    file.writeBacklog();
    ASSERT_TRUE(file.close());
    QStringList cycles;
    for (const QString& line : lines(path()).mid(3))
        cycles << line.section(u',', 0, 0);
    ASSERT_EQ(cycles.size(), 146 + 10'000 - 6); // 6 of the last 10 000 were logged
    EXPECT_EQ(cycles[145], "19953");
    EXPECT_EQ(cycles[146], "10001");
    EXPECT_EQ(cycles.back(), "20000");
}

// A folder that appears later, or a disk that has room again: said once, the
// oldest rows beyond the buffer are dropped and a gap row counts them, and
// the file resumes with the rows that waited.
void writeThroughAnEpisode(const QString& folder, ProblemLog& log, const auto& mend) {
    CycleLogFile file(log, CycleLogSchedule(), 800);
    file.create(folder, "rig", 0, {"program: test"});
    for (int32_t n = 1; n <= 40; ++n) {
        file.cycle({n, n * 1.0, 1, -1, 0, 1, 5, true});
        file.flush(n * 1.0);
        if (n == 20)
            mend();
    }
    ASSERT_TRUE(file.close());
}

void expectAGapRow(const QStringList& problems, const QStringList& rows) {
    ASSERT_EQ(problems.size(), 2) << problems.join("\n").toStdString();
    EXPECT_TRUE(problems[0].contains("cannot")) << problems[0].toStdString();
    EXPECT_TRUE(problems[1].contains("is written again")) << problems[1].toStdString();
    const qsizetype gap = rows.indexOf(QRegularExpression(".*,gap$"));
    ASSERT_GE(gap, 0);
    EXPECT_GT(rows[gap].section(u',', 7, 7).toInt(), 0) << "rows lost";
    EXPECT_TRUE(rows.back().startsWith("40,"));
    for (const QString& row : rows)
        EXPECT_TRUE(row.startsWith(u'#') || row.count(u',') == 8) << row.toStdString();
}

TEST_F(LogFile, AFolderThatCannotBeWrittenIsSaidOnceAndLeavesAGapRow) {
    const QString folder = path("later");
    writeThroughAnEpisode(folder, log, [&] { QDir().mkdir(folder); });
    const QStringList files = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    expectAGapRow(log.problems, lines(QDir(folder).filePath(files[0])));
}

// A disk slow to make the rows durable holds up the syncing thread, never the
// tick: the rows are written while the sync waits, and the syncs asked for
// meanwhile come after it. A sync that fails is said once.
TEST_F(LogFile, ASlowSyncNeverHoldsUpTheTickAndAFailedOneIsSaidOnce) {
    // Shared with the syncing thread, which may outlive this test.
    struct Disk {
        std::mutex busy;
        std::atomic<int> result{0};
        std::atomic<uint64_t> calls{0};
        std::atomic<uint64_t> failedCalls{0};
    };
    const auto disk = std::make_shared<Disk>();
    std::unique_lock busy(disk->busy);
    CycleLogFile file(log, CycleLogSchedule());
    file.setSyncCall([disk](int) {
        ++disk->calls;
        const std::lock_guard wait(disk->busy);
        const int answer = disk->result.load();
        disk->failedCalls += answer != 0 ? 1 : 0;
        return answer;
    });
    QString error;
    ASSERT_TRUE(file.createAt(path(), 0, {}, error));
    // Every sync begun has ended (bounded: 5 s).
    const auto settled = [&](uint64_t failed) {
        for (int i = 0; i < 500; ++i) {
            if (disk->failedCalls >= failed && disk->calls > 0 &&
                file.syncsFinished() == disk->calls)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    for (int32_t n = 1; n <= 3; ++n) {
        file.cycle(row(n));
        file.flush(n);
    }
    EXPECT_EQ(lines(path()).size(), 6); // three header lines and three rows
    EXPECT_EQ(file.syncsFinished(), 0u);
    busy.unlock();
    EXPECT_TRUE(settled(0));
    disk->result = EIO;
    file.cycle(row(4));
    file.flush(4);
    EXPECT_TRUE(settled(1));
    for (const double seconds : {5.0, 6.0})
        file.flush(seconds);
    ASSERT_EQ(log.problems.size(), 2) << log.problems.join('|').toStdString();
    EXPECT_TRUE(log.problems[0].contains("cannot make it durable: Input/output error"));
    EXPECT_TRUE(log.problems[1].endsWith("is written again (0 rows lost)."));
}

// Run in a mount namespace of its own with a 64 KiB tmpfs at
// $CYCLE_LOG_TMPFS (the test below); elsewhere it does nothing.
TEST_F(LogFile, FullDiskChild) {
    const QString folder = qEnvironmentVariable("CYCLE_LOG_TMPFS");
    if (folder.isEmpty())
        GTEST_SKIP() << "runs only inside the full-disk test";
    QFile filler(folder + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    for (int i = 0; i < 100 && filler.write(block) == block.size() && filler.flush(); ++i) {
    }
    filler.close();
    writeThroughAnEpisode(folder, log, [&] { filler.remove(); });
    const QStringList files = QDir(folder).entryList({"rig-*"}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    expectAGapRow(log.problems, lines(QDir(folder).filePath(files[0])));
}

TEST_F(LogFile, AFullDiskIsSaidOnceAndLeavesAGapRow) {
    if (::geteuid() != 0 || QProcess::execute("unshare", {"-m", "true"}) != 0)
        GTEST_SKIP() << "needs root and unshare -m to mount a small full filesystem";
    const QString script = QStringLiteral(R"(
        mount -t tmpfs -o size=64k tmpfs "$1" || exit 7
        CYCLE_LOG_TMPFS="$1" exec "$2" --gtest_filter=LogFile.FullDiskChild)");
    QProcess shell;
    shell.start("unshare", {"-m", "sh", "-c", script, "sh", dir.path(),
                            QFileInfo("/proc/self/exe").symLinkTarget()});
    ASSERT_TRUE(shell.waitForFinished(60000));
    const QString output = QString::fromUtf8(shell.readAll());
    EXPECT_EQ(shell.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

} // namespace
