#include "recording/RecorderDataFile.h"
#include "recording/XtRecording.h"
#include "support/ProblemLog.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <random>

namespace {

using RecorderDataFile::FileSize;

int32_t int32At(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<qint32>(bytes.constData() + offset);
}

void putInt32(QByteArray& bytes, qsizetype offset, int32_t value) {
    qToLittleEndian<qint32>(value, bytes.data() + offset);
}

// A recording with distinct values everywhere, so that a field read from the
// wrong offset shows.
std::unique_ptr<XtRecording> sampleRecording(int samples, int marks) {
    auto recording = std::make_unique<XtRecording>();
    for (int n = 0; n < samples; ++n)
        recording->addSample(1000 + n * 40, static_cast<float>(n) / 8.0f - 3.0f);
    for (int n = 0; n < marks; ++n)
        recording->addMark(5000 + n * 100, 700 + n);
    return recording;
}

bool sameRecording(const XtRecording& a, const XtRecording& b) {
    return RecorderDataFile::encode(a) == RecorderDataFile::encode(b);
}

class DataFile : public testing::Test {
protected:
    QString path(const char* name = "Data.dat") const {
        return m_dir.filePath(QLatin1String(name));
    }
    // Every failure is one problem: the operation, the quoted file name and the reason.
    static QStringList failure(const char* title, const QString& file, const char* reason) {
        return {QStringLiteral("%1: \"%2\": %3")
                    .arg(QLatin1String(title), file, QLatin1String(reason))};
    }

    QTemporaryDir m_dir;
    ProblemLog log;
};

// A field written at the wrong offset or in the wrong byte order would make
// the file unreadable for every other program that shares it.
TEST_F(DataFile, SavedFileHasTheLayoutAtItsOffsets) {
    ASSERT_TRUE(RecorderDataFile::save(path(), *sampleRecording(12, 3), log));
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_EQ(bytes.size(), 88029);
    EXPECT_EQ(bytes.left(13), QByteArray("Cyclomarkator"));
    EXPECT_EQ(int32At(bytes, 13), 1);
    EXPECT_EQ(int32At(bytes, 17), 12);
    EXPECT_EQ(int32At(bytes, 21), 11);
    EXPECT_EQ(int32At(bytes, 25), 1000);                        // slot 0 time
    EXPECT_EQ(std::bit_cast<float>(int32At(bytes, 29)), -3.0f); // slot 0 value
    EXPECT_EQ(std::bit_cast<float>(int32At(bytes, 25 + 11 * 8 + 4)), 11.0f / 8.0f - 3.0f);
    EXPECT_EQ(int32At(bytes, 25 + 12 * 8), 0); // unused slots are written as zeros
    EXPECT_EQ(int32At(bytes, 80025), 3);
    EXPECT_EQ(int32At(bytes, 80029 + 997 * 8), 5000); // oldest of the three marks
    EXPECT_EQ(int32At(bytes, 80029 + 999 * 8 + 4), 702);
}

// A wrapped ring (12 345 samples) and an overflowed mark list come back as
// they were saved. A file without samples keeps the loading recorder's ring
// and index (only its count drops to 0) and still brings its marks.
TEST_F(DataFile, RoundTripRestoresTheRingAndAnEmptyRecorderKeepsTheIndex) {
    const auto recording = sampleRecording(12345, 1003);
    ASSERT_TRUE(RecorderDataFile::save(path(), *recording, log));
    auto loaded = std::make_unique<XtRecording>();
    ASSERT_TRUE(RecorderDataFile::load(path(), *loaded, log));
    EXPECT_TRUE(sameRecording(*recording, *loaded));

    XtRecording empty;
    empty.addMark(77, 4242);
    EXPECT_EQ(int32At(RecorderDataFile::encode(empty), 17), 0);
    EXPECT_EQ(int32At(RecorderDataFile::encode(empty), 21), -1);
    ASSERT_TRUE(RecorderDataFile::save(path(), empty, log));
    ASSERT_TRUE(RecorderDataFile::load(path(), *loaded, log));
    EXPECT_EQ(loaded->SampleCount, 0);
    EXPECT_EQ(loaded->SampleIndex, recording->SampleIndex);
    const auto newest = static_cast<size_t>(recording->SampleIndex);
    EXPECT_EQ(loaded->SampleRing[newest].Time, recording->SampleRing[newest].Time);
    EXPECT_EQ(loaded->MarkCount, 1);
    EXPECT_EQ(loaded->TriggerMarks[999].Counter, 4242);
}

// A forged or cut file is refused with its reason and leaves the running
// recorder as it was: the 32-bit field at `at` (if any) forged to `value`,
// then the file cut or padded to `size` bytes.
TEST_F(DataFile, DamagedFilesAreRefusedWithTheirReasonAndChangeNothing) {
    const char* const Format = "Invalid file format";
    const struct {
        qsizetype at;
        int32_t value;
        qsizetype size;
        const char* reason;
    } cases[] = {
        {0, qFromLittleEndian<qint32>("CYCL"), FileSize, Format}, // magic differs in case only
        {13, 2, FileSize, "Invalid version"},
        {13, 2, 100, "Invalid version"}, // a later version may have another length
        {-1, 0, 15, Format},             // only the magic
        {-1, 0, FileSize - 1, Format},
        {-1, 0, FileSize + 1, Format},
        {17, 10001, FileSize, Format}, // count above the ring
        {21, 10000, FileSize, Format}, // index past the ring
        {21, -1, FileSize, Format},    // samples without an index
        {80025, 1000, FileSize, Format},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.at << " " << c.value << " " << c.size);
        QByteArray bytes = RecorderDataFile::encode(*sampleRecording(9, 1));
        if (c.at >= 0)
            putInt32(bytes, c.at, c.value);
        bytes.resize(c.size, '\0');
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        auto target = sampleRecording(40, 2);
        log.problems.clear();
        EXPECT_FALSE(RecorderDataFile::load(path(), *target, log));
        EXPECT_EQ(log.problems, failure("Load Data", path(), c.reason));
        EXPECT_TRUE(sameRecording(*target, *sampleRecording(40, 2)));
    }
}

// The program loads only a file that exists, but that may be a folder; a save
// may find its folder gone or a folder in the file's place.
TEST_F(DataFile, FailedSavesAndLoadsReportTheRunTimeError) {
    XtRecording recording;
    EXPECT_FALSE(RecorderDataFile::save(path("gone/Data.dat"), recording, log));
    EXPECT_EQ(log.problems, failure("Save Data", path("gone/Data.dat"), "Path not found"));
    log.problems.clear();
    EXPECT_FALSE(RecorderDataFile::load(path("missing.dat"), recording, log));
    EXPECT_EQ(log.problems, failure("Load Data", path("missing.dat"), "File not found"));
    ASSERT_TRUE(QDir().mkpath(path()));
    for (const bool save : {true, false}) {
        log.problems.clear();
        EXPECT_FALSE(save ? RecorderDataFile::save(path(), recording, log)
                          : RecorderDataFile::load(path(), recording, log));
        EXPECT_EQ(log.problems,
                  failure(save ? "Save Data" : "Load Data", path(), "Path/File access error"));
    }
}

// Forged and truncated files, made by seeded random damage to a good one:
// each is either refused, leaving the recorder as it was, or taken over as a
// recording whose counts and index the arrays can serve.
TEST(DataFileFuzz, DamagedFilesNeverBreakTheRecorder) {
    const QByteArray good = RecorderDataFile::encode(*sampleRecording(10050, 20));
    const std::array<qsizetype, 6> fields{13, 17, 21, 80025, 25, 80029};
    std::mt19937 random(88029);
    auto target = std::make_unique<XtRecording>();
    auto before = std::make_unique<XtRecording>();
    int taken = 0;
    QByteArray bytes; // one buffer for all rounds: fresh 88 kB blocks would dominate the time
    bytes.reserve(good.size() + 64);
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE(round);
        bytes.resize(good.size());
        std::memcpy(bytes.data(), good.constData(), static_cast<size_t>(good.size()));
        switch (random() % 4) {
        case 0: // a header field forged
            putInt32(bytes, fields[random() % fields.size()], static_cast<int32_t>(random()));
            break;
        case 1: // truncated or extended
            bytes.resize(static_cast<qsizetype>(random() % (good.size() + 64)));
            break;
        case 2: // a few bytes anywhere
            for (int n = 0; n < 4; ++n)
                bytes[static_cast<qsizetype>(random() % bytes.size())] =
                    static_cast<char>(random());
            break;
        default: // a small count with any index
            putInt32(bytes, 17, static_cast<int32_t>(random() % 20) - 2);
            putInt32(bytes, 21, static_cast<int32_t>(random() % 10004) - 2);
            break;
        }
        *before = *target;
        if (RecorderDataFile::decode(bytes, *target) != RecorderDataFile::Verdict::Ok) {
            // The record has no padding, so equal bytes mean an equal recording.
            ASSERT_EQ(std::memcmp(before.get(), target.get(), sizeof(XtRecording)), 0);
            continue;
        }
        ++taken;
        ASSERT_TRUE(target->isValid());
        int32_t visited = 0;
        bool inRing = true;
        target->forEachRedrawSlot([&](int32_t slot) {
            ++visited;
            inRing = inRing && slot >= 0 && slot < XtRecording::RingSize;
        });
        ASSERT_TRUE(inRing);
        ASSERT_LT(visited, std::max(target->SampleCount, 1));
    }
    EXPECT_GT(taken, 100); // the damage also reached the taken-over data, not only the checks
}

// A process killed while saving leaves a whole chart: the previous one or the
// new one, never a torn file that the next start would refuse.
TEST_F(DataFile, AKilledSaveLeavesAWholeFile) {
    std::mt19937 random(6201);
    for (int round = 0; round < 15; ++round) {
        SCOPED_TRACE(round);
        QProcess helper;
        helper.start(QStringLiteral(RECORDER_SAVE_LOOP), {path()});
        ASSERT_TRUE(helper.waitForStarted());
        QThread::msleep(5 + random() % 76);
        ::kill(static_cast<pid_t>(helper.processId()), SIGKILL);
        ASSERT_TRUE(helper.waitForFinished());
        // The number of the last save the helper reported as done; a line cut
        // short by the kill does not count.
        const QByteArray output = helper.readAllStandardOutput();
        const QByteArray done = output.left(output.lastIndexOf('\n'));
        const int reported = done.mid(done.lastIndexOf('\n') + 1).toInt();
        if (!QFile::exists(path()))
            continue; // killed before its first save
        auto loaded = std::make_unique<XtRecording>();
        ASSERT_TRUE(RecorderDataFile::load(path(), *loaded, log));
        const float newest = loaded->SampleRing[static_cast<size_t>(loaded->SampleIndex)].Value;
        EXPECT_GE(newest, static_cast<float>(reported));
    }
}

} // namespace
