// The recording's ring and marks, and its data file: the layout, the trip
// through it, damaged and hostile files, failed saves and loads, and a save
// killed half-way.
#include "recording/RecorderDataFile.h"
#include "recording/XtRecording.h"
#include "support/ProblemLog.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <memory>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using RecorderDataFile::FileSize;

// A recording with distinct values everywhere, so that a field read from the
// wrong offset shows; the first sample goes into the slot after `index`.
std::unique_ptr<XtRecording> sampleRecording(int samples, int marks, int32_t index = -1) {
    auto recording = std::make_unique<XtRecording>();
    recording->SampleIndex = index;
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
    QString path(const char* name = "Data.dat") const { return dir.filePath(name); }
    // Every failure is one problem: the operation, the quoted file name and the reason.
    bool failedWith(const char* title, const QString& file, const char* reason) {
        const QStringList expected{QStringLiteral("%1: \"%2\": %3")
                                       .arg(QLatin1String(title), file, QLatin1String(reason))};
        return std::exchange(log.problems, {}) == expected;
    }
    QTemporaryDir dir;
    ProblemLog log;
};

// A field written at the wrong offset or in the wrong byte order would make
// the file unreadable for every other program that shares it.
TEST_F(DataFile, SavedFileHasTheLayoutAtItsOffsets) {
    ASSERT_TRUE(RecorderDataFile::save(path(), *sampleRecording(12, 3), log));
    const QByteArray bytes = fileBytes(path());
    ASSERT_EQ(bytes.size(), FileSize);
    EXPECT_EQ(bytes.left(13), QByteArray("Cyclomarkator"));
    const std::pair<qsizetype, int32_t> fields[] = {
        {13, 1},                             // version
        {17, 12},                            // samples
        {21, 11},                            // newest slot
        {25, 1000},                          // slot 0 time
        {29, std::bit_cast<int32_t>(-3.0f)}, // slot 0 value
        {25 + 12 * 8, 0},                    // unused slots are written as zeros
        {80025, 3},                          // marks
        {80029 + 997 * 8, 5000},             // oldest of the three marks
        {80029 + 999 * 8 + 4, 702}};         // newest mark's counter
    for (const auto& [offset, value] : fields)
        EXPECT_EQ(qFromLittleEndian<qint32>(bytes.constData() + offset), value) << offset;
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
    ASSERT_TRUE(RecorderDataFile::save(path(), empty, log));
    ASSERT_TRUE(RecorderDataFile::load(path(), *loaded, log));
    auto expected = sampleRecording(12345, 0);
    expected->SampleCount = 0;
    expected->addMark(77, 4242);
    EXPECT_TRUE(sameRecording(*loaded, *expected));
}

// A forged or cut file is refused with its reason and leaves the running
// recorder as it was: the 32-bit field at `at` (if any) forged to `value`,
// then the file cut or padded to `size` bytes.
TEST_F(DataFile, DamagedFilesAreRefusedWithTheirReasonAndChangeNothing) {
    const char* const Format = "Invalid file format";
    const std::tuple<qsizetype, int32_t, qsizetype, const char*> cases[] = {
        {0, qFromLittleEndian<qint32>("CYCL"), FileSize, Format}, // magic differs in case only
        {13, 2, FileSize, "Invalid version"},
        {13, 2, 17, "Invalid version"}, // cut after the version
        {-1, 0, 15, Format},            // only the magic
        {-1, 0, FileSize - 1, Format},
        {-1, 0, FileSize + 1, Format},
        {17, 10001, FileSize, Format}, // count above the ring
        {21, 10000, FileSize, Format}, // index past the ring
        {21, -1, FileSize, Format},    // samples without an index
        {80025, 1000, FileSize, Format},
    };
    for (const auto& [at, value, size, reason] : cases) {
        SCOPED_TRACE(testing::Message() << at << " " << value << " " << size);
        QByteArray bytes = RecorderDataFile::encode(*sampleRecording(9, 1));
        if (at >= 0)
            qToLittleEndian<qint32>(value, bytes.data() + at);
        bytes.resize(size, '\0');
        ASSERT_TRUE(putFile(path(), bytes));
        auto target = sampleRecording(40, 2);
        EXPECT_FALSE(RecorderDataFile::load(path(), *target, log));
        EXPECT_TRUE(failedWith("Load Data", path(), reason));
        EXPECT_TRUE(sameRecording(*target, *sampleRecording(40, 2)));
    }
}

// The program loads only a file that exists, but that may be a folder; a save
// may find its folder gone or a folder in the file's place.
TEST_F(DataFile, FailedSavesAndLoadsReportTheRunTimeError) {
    XtRecording recording;
    EXPECT_FALSE(RecorderDataFile::save(path("gone/Data.dat"), recording, log));
    EXPECT_TRUE(failedWith("Save Data", path("gone/Data.dat"), "Path not found"));
    EXPECT_FALSE(RecorderDataFile::load(path("missing.dat"), recording, log));
    EXPECT_TRUE(failedWith("Load Data", path("missing.dat"), "File not found"));
    // A file whose reading fails (the unmapped first page of this process).
    EXPECT_FALSE(RecorderDataFile::load("/proc/self/mem", recording, log));
    EXPECT_TRUE(failedWith("Load Data", "/proc/self/mem", "Device I/O error"));
    ASSERT_TRUE(QDir().mkpath(path()));
    EXPECT_FALSE(RecorderDataFile::save(path(), recording, log));
    EXPECT_TRUE(failedWith("Save Data", path(), "Path/File access error"));
    EXPECT_FALSE(RecorderDataFile::load(path(), recording, log));
    EXPECT_TRUE(failedWith("Load Data", path(), "Path/File access error"));
}

// Forged and truncated files, made by seeded random damage to a good one:
// each is either refused, leaving the recorder as it was, or taken over as a
// recording whose counts and index the arrays can serve.
TEST(DataFileFuzz, DamagedFilesNeverBreakTheRecorder) {
    const QByteArray good = RecorderDataFile::encode(*sampleRecording(10050, 20));
    const qsizetype fields[] = {13, 17, 21, 80025, 25, 80029};
    std::mt19937 random(88029);
    const auto any = [&random] { return static_cast<int32_t>(random()); };
    auto target = std::make_unique<XtRecording>();
    auto before = std::make_unique<XtRecording>();
    int taken = 0;
    for (int round = 0; round < 3000; ++round) {
        SCOPED_TRACE(round);
        QByteArray bytes = good;
        switch (random() % 4) {
        case 0: // a header field forged
            qToLittleEndian<qint32>(any(), bytes.data() + fields[random() % 6]);
            break;
        case 1: // truncated or extended
            bytes.resize(static_cast<qsizetype>(random() % (good.size() + 64)));
            break;
        case 2: // a few bytes anywhere
            for (int n = 0; n < 4; ++n)
                bytes[static_cast<qsizetype>(random() % bytes.size())] = static_cast<char>(any());
            break;
        default: // a small count with any index
            qToLittleEndian<qint32>(any() % 10 + 8, bytes.data() + 17);
            qToLittleEndian<qint32>(static_cast<int32_t>(random() % 10004) - 2, bytes.data() + 21);
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
        target->forEachRedrawSlot([&](int32_t slot) {
            ++visited;
            ASSERT_TRUE(slot >= 0 && slot < XtRecording::RingSize);
        });
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
        const auto reported = killMidSave(SAVE_LOOP, "chart", path(), 5 + random() % 76);
        ASSERT_TRUE(reported.has_value());
        auto loaded = std::make_unique<XtRecording>();
        ASSERT_TRUE(RecorderDataFile::load(path(), *loaded, log));
        const float newest = loaded->SampleRing[static_cast<size_t>(loaded->SampleIndex)].Value;
        EXPECT_GE(newest, static_cast<float>(*reported));
    }
}

// A full ring takes the next sample in place of the oldest, and only that;
// after 999 marks the oldest drop out and the count stays.
TEST(XtRecording, AFullRingOrMarkListDropsTheOldestOnly) {
    auto recording = sampleRecording(10000, 0);
    recording->addSample(123, -2.5f);
    // The next oldest is still there.
    EXPECT_EQ(std::tuple(recording->SampleIndex, recording->SampleCount,
                         recording->SampleRing[0].Value, recording->SampleRing[1].Value),
              std::tuple(0, 10000, -2.5f, -2.875f));
    for (int32_t n = 1; n <= 1005; ++n)
        recording->addMark(n * 10, n);
    EXPECT_EQ(recording->MarkCount, 999);
    for (int32_t k = 1; k <= 999; ++k) // the 999 newest, 7..1005, the newest last
        ASSERT_EQ(recording->TriggerMarks[static_cast<size_t>(k)].Counter, 6 + k) << k;
}

// The redraw draws the newest sample and walks back from it one slot at a
// time, wrapping from 0 to 9999, through `visited` slots from `first` on.
TEST(XtRecording, TheRedrawWalksTheRingFromTheNewestBackAndLeavesOutTheOldest) {
    // index before the first sample, samples, slots visited, first slot
    const std::tuple<int32_t, int, size_t, int32_t> cases[] = {
        {-1, 5, 4, 3},
        {-1, 9999, 9998, 9997},
        // 9 999 of the 10 000 drawn: the newest in slot 9999, then 9998 down
        // to 1; the oldest (slot 0) is left out.
        {-1, 10000, 9998, 9998},
        // Newest in slot 0: wraps to 9999 and stops before slot 1.
        {-1, 10001, 9998, 9999},
        // A count below what the index implies (after loading a file without
        // samples into a running recorder): stale slots of an earlier run are
        // never drawn.
        {500, 2, 1, 501},
    };
    for (const auto& [index, samples, visited, first] : cases) {
        std::vector<int32_t> slots, expected;
        sampleRecording(samples, 0, index)->forEachRedrawSlot([&](int32_t s) {
            slots.push_back(s);
        });
        for (int32_t s = first; expected.size() < visited; s = (s + 9999) % 10000)
            expected.push_back(s);
        EXPECT_EQ(slots, expected) << samples;
    }
}

} // namespace
