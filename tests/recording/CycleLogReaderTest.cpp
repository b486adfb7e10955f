// Reading a cycle log back: damaged lines are said with their number and
// skipped, and a log read while it grows loses no row at a line cut anywhere.
#include "recording/CycleLogReader.h"
#include "recording/CycleLogFile.h"
#include "support/ProblemLog.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

namespace {
// A log as the program writes it: a watch header, cycles 1 to 3, a reference.
QByteArray writtenLog(const QString& path) {
    ProblemLog problems;
    CycleLogFile log(problems, CycleLogSchedule());
    QString error;
    EXPECT_TRUE(
        log.createAt(path, 0, {"test: rig 7", "watch: settle 100, drop 10 %, band off"}, error));
    for (int32_t n = 1; n <= 3; ++n)
        log.cycle({n, n * 0.5, 1.5f + n, -0.5f, 0.5f, 1.0f + n, 20});
    log.flagRow({3, 1.5, 4.5f, -0.5f, 2.0f, 3.0f, 3}, CycleLogFlag::Reference);
    EXPECT_TRUE(log.close());
    return fileBytes(path);
}

// A damaged line is said once with its number and the reason, and skipped.
TEST(CycleLogReader, ADamagedLineIsSaidWithItsNumberAndSkipped) {
    const std::pair<QByteArray, const char*> cases[] = {
        {"5,t,2.5,1.5,-0.5,0.5,1,20", "8 fields"},   // cut short
        {"5,t,2.5,1,5,-0.5,0.5,1,20,", "10 fields"}, // a decimal comma
        {"x5,t,2.5,1.5,-0.5,0.5,1,20,", "the cycle \"x5\""},
        {"99999999999,t,2.5,1.5,-0.5,0.5,1,20,", "no whole number"},
        {"5,t,2.5,nan,-0.5,0.5,1,20,", "no number"},
        {"5,t,2.5,1.5,-0.5,0.5,1e99,20,", "no number"}, // beyond a single
        {"5,t,2.5,1.5,-0.5,0.5,1,20,failed", "unknown flag"},
        {"5,t,2.5,,,,,20,", "without peak"},
        {QByteArray(12, '\0'), "1 fields"}, // zeros a power cut left
        {QByteArray(5000, '7'), "longer than"}};
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    const QByteArray good = writtenLog(path);
    const QString number = QStringLiteral("line %1: ").arg(good.count('\n') + 1);
    for (const auto& [line, why] : cases) {
        SCOPED_TRACE(why);
        putFile(path, good + line + "\n4,t,2,1,0,0.5,0.5,20,\n");
        ProblemLog problems;
        CycleLogReader reader(path, problems);
        ASSERT_TRUE(reader.read()) << reader.error().toStdString();
        EXPECT_EQ(std::pair(reader.rows().size(), reader.rows().back().cycle), std::pair(4ul, 4));
        EXPECT_EQ(reader.badLines(), 1);
        ASSERT_EQ(problems.problems.size(), 1);
        EXPECT_TRUE(problems.problems[0].contains(number) &&
                    problems.problems[0].contains(QLatin1String(why)))
            << problems.problems[0].toStdString();
    }
}

// A row cut at any byte (a write in progress) waits for its newline; the
// rest, appended later, completes it, and an earlier bad line is said once.
TEST(CycleLogReader, ReadsOnlyWhatWasAppendedAcrossACutLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    const QByteArray head = writtenLog(path) + "bad\n";
    const QByteArray row = "12,2026-01-01T00:00:06.000Z,6.000,2.25,-0.75,0.75,1.5,20,\n";
    for (qsizetype cut = 0; cut < row.size(); ++cut) {
        putFile(path, head + row.left(cut));
        ProblemLog problems;
        CycleLogReader reader(path, problems);
        ASSERT_TRUE(reader.read());
        EXPECT_EQ(std::pair(reader.rows().size(), reader.waitingBytes()),
                  (std::pair<size_t, int64_t>(3, cut)));
        putFile(path, head + row + "13,t,7,2,-1,0.5,1.5,20,\n");
        ASSERT_TRUE(reader.read());
        ASSERT_EQ(reader.rows().size(), 5u) << cut;
        const TrendRow& r = reader.rows()[3];
        EXPECT_EQ(std::tuple(r.cycle, r.peak, r.valley, r.amplitude),
                  std::tuple(12, 2.25f, -0.75f, 1.5f));
        ASSERT_EQ(reader.marks().size(), 1u);
        EXPECT_EQ(std::tuple(reader.waitingBytes(), problems.problems.size(), reader.header().test,
                             reader.header().criterion, reader.marks()[0].peak),
                  std::tuple(0, 1, "rig 7", "amplitude drop 10 %", 4.5f))
            << cut;
    }
}
} // namespace
