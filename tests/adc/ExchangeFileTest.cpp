#include "adc/ExchangeFile.h"

#include "support/FileSizeLimit.h"
#include "support/ManualClock.h"
#include "support/ProblemLog.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>

namespace {

class Exchange : public ::testing::Test {
protected:
    Exchange() {
        file.onServed = [this](bool served) { servedCalls.append(served); };
    }
    QTemporaryDir dir;
    ProblemLog log;
    ManualClock clock;
    ExchangeFile file{dir.path() + "/", log, clock}; // no doubled separator
    QList<bool> servedCalls;
    const std::array<float, 8> record{1, 2, 3, 4, 5, 6, 7, 8};
};

// The reader finds 32 zero bytes from the start, then the newest record, a
// shorter one overwriting only its own values; the reader is told when the
// file is served and when not.
TEST_F(Exchange, HoldsTheNewestValuesFromTheStart) {
    ASSERT_TRUE(file.ADCFile_open());
    EXPECT_EQ(file.path(), dir.path() + "/~ADC.txt");
    EXPECT_EQ(fileBytes(file.path()), QByteArray(32, '\0'));
    EXPECT_EQ(servedCalls, (QList<bool>{false, true}));
    const std::array<float, 8> second{12345, -1.5f, 0.25f, 3, 4, 5, 6, 7};
    EXPECT_TRUE(file.ADCFile_write(second));
    EXPECT_EQ(fileBytes(file.path()), littleEndianFloats({12345, -1.5f, 0.25f, 3, 4, 5, 6, 7}));
    const std::array<float, 1> count{12346};
    EXPECT_TRUE(file.ADCFile_write(count));
    EXPECT_EQ(fileBytes(file.path()), littleEndianFloats({12346, -1.5f, 0.25f, 3, 4, 5, 6, 7}));
    file.ADCFile_close();
    EXPECT_EQ(servedCalls.last(), false);
}

// A link planted at the file's name is refused, named with the reason in the
// status line (never a box), and nothing is written through it. A failed write is reported once and
// closes the file; a file size limit below one record makes the write fail as a full disk would.
// Once writes work again the file comes back by itself, and so does a file that something removed:
// a weeks-long run must not need a restart.
TEST_F(Exchange, FailuresAreReportedOnceAndTheFileComesBack) {
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath("victim");
    ASSERT_TRUE(putFile(victim, "keep me"));
    ASSERT_TRUE(QFile::link(victim, file.path()));
    EXPECT_FALSE(file.ADCFile_open());
    ASSERT_EQ(log.problems.size(), 1);
    EXPECT_TRUE(log.problems[0].startsWith("ADCFile_open: Path/File access error ("));
    EXPECT_TRUE(log.problems[0].contains(file.path()));
    EXPECT_TRUE(file.ADCFile_write(record)); // the program runs on without the file
    EXPECT_EQ(fileBytes(victim), QByteArray("keep me"));
    EXPECT_EQ(log.problems.size(), 1); // and without a message at every write

    ASSERT_TRUE(QFile::remove(file.path()));
    ASSERT_TRUE(file.ADCFile_open());
    EXPECT_FALSE((FileSizeLimit(8), file.ADCFile_write(record)));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(servedCalls.last(), false);
    ASSERT_EQ(log.problems.size(), 2);
    EXPECT_TRUE(log.problems[1].startsWith("ADCFile_write: Path/File access error ("));
    EXPECT_TRUE(file.ADCFile_write(record));
    EXPECT_EQ(log.problems.size(), 2);

    clock.advance(PeerFile::ReopenIntervalMs);
    EXPECT_TRUE(file.ADCFile_write(record));
    EXPECT_TRUE(file.isOpen());
    EXPECT_EQ(servedCalls.last(), true);
    EXPECT_EQ(log.problems.last(), file.path() + " is written again.");
    ASSERT_TRUE(QFile::remove(file.path()));
    clock.advance(PeerFile::CheckIntervalMs);
    EXPECT_TRUE(file.ADCFile_write(record));
    EXPECT_EQ(fileBytes(file.path()), littleEndianFloats({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(log.problems.size(), 4);
}

} // namespace
