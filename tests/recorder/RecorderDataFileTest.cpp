#include "recorder/RecorderDataFile.h"
#include "platform/Prompts.h"
#include "recorder/XtRecording.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>

namespace {

using RecorderDataFile::Verdict;

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

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class DataFile : public testing::Test {
protected:
    QString path(const char* name = "Data.dat") const {
        return m_dir.filePath(QLatin1String(name));
    }
    // The text of the only message shown, which must be critical and titled `title`.
    QString onlyMessage(const char* title) const {
        EXPECT_EQ(prompts.shown.size(), 1);
        if (prompts.shown.size() != 1)
            return {};
        EXPECT_EQ(prompts.shown[0].title, QLatin1String(title));
        EXPECT_EQ(prompts.shown[0].icon, PromptIcon::Critical);
        return prompts.shown[0].text;
    }

    QTemporaryDir m_dir;
    ScriptedPrompts prompts;
};

TEST_F(DataFile, SavedFileHasTheLayoutAtItsOffsets) {
    const auto recording = sampleRecording(12, 3);
    ASSERT_TRUE(RecorderDataFile::save(path(), *recording, prompts));
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
    EXPECT_TRUE(prompts.shown.isEmpty());
    // Nothing of the atomic replacement is left beside the file.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Data.dat")});
}

TEST_F(DataFile, RoundTripRestoresAFullRingAndItsMarks) {
    const auto saved = sampleRecording(12345, 1003);
    ASSERT_TRUE(RecorderDataFile::save(path(), *saved, prompts));
    auto loaded = std::make_unique<XtRecording>();
    ASSERT_TRUE(RecorderDataFile::load(path(), *loaded, prompts));
    EXPECT_TRUE(sameRecording(*saved, *loaded));
    EXPECT_EQ(loaded->SampleIndex, 2344);
    EXPECT_EQ(loaded->SampleCount, 10000);
    EXPECT_EQ(loaded->MarkCount, 999);
}

// A file without samples keeps the loading recorder's ring and index, and
// still brings its marks from their proper offsets.
TEST_F(DataFile, EmptyRecorderFileKeepsTheIndexAndLoadsTheMarks) {
    XtRecording empty;
    empty.addMark(77, 4242);
    ASSERT_TRUE(RecorderDataFile::save(path(), empty, prompts));
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_EQ(bytes.size(), 88029);
    EXPECT_EQ(int32At(bytes, 17), 0);
    EXPECT_EQ(int32At(bytes, 21), -1);

    auto running = sampleRecording(30, 0);
    ASSERT_TRUE(RecorderDataFile::load(path(), *running, prompts));
    EXPECT_EQ(running->SampleCount, 0);
    EXPECT_EQ(running->SampleIndex, 29);
    EXPECT_EQ(running->SampleRing[29].Time, 1000 + 29 * 40);
    EXPECT_EQ(running->MarkCount, 1);
    EXPECT_EQ(running->TriggerMarks[999].Counter, 4242);
    EXPECT_EQ(running->TriggerMarks[999].Time, 77);
}

struct RejectCase {
    const char* name;
    void (*damage)(QByteArray&);
    const char* reason;
};

class Rejected : public DataFile, public testing::WithParamInterface<RejectCase> {};

// Every refusal names the file on a first line ending in a colon, leaves the
// recorder as it was and returns false.
TEST_P(Rejected, ReportsTheReasonAndLeavesTheRecorderUnchanged) {
    const auto good = sampleRecording(40, 2);
    QByteArray bytes = RecorderDataFile::encode(*sampleRecording(9, 1));
    GetParam().damage(bytes);
    writeFile(path(), bytes);
    auto target = sampleRecording(40, 2);
    EXPECT_FALSE(RecorderDataFile::load(path(), *target, prompts));
    EXPECT_EQ(onlyMessage("Load Data"),
              QStringLiteral("\"%1\":\r\n%2").arg(path(), QLatin1String(GetParam().reason)));
    EXPECT_TRUE(sameRecording(*target, *good));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Rejected,
    testing::Values(
        RejectCase{"MagicInOtherCase", [](QByteArray& b) { b.replace(0, 13, "CYCLOMARKATOR"); },
                   "Invalid file format"},
        RejectCase{"Version2", [](QByteArray& b) { putInt32(b, 13, 2); }, "Invalid version"},
        RejectCase{"Version2AndShort",
                   [](QByteArray& b) {
                       putInt32(b, 13, 2);
                       b.truncate(100);
                   },
                   "Invalid version"},
        RejectCase{"OnlyTheMagic", [](QByteArray& b) { b.truncate(15); }, "Invalid file format"},
        RejectCase{"OneByteShort", [](QByteArray& b) { b.chop(1); }, "Invalid file format"},
        RejectCase{"OneByteLong", [](QByteArray& b) { b.append('\0'); }, "Invalid file format"},
        RejectCase{"CountAboveTheRing", [](QByteArray& b) { putInt32(b, 17, 10001); },
                   "Invalid file format"},
        RejectCase{"IndexPastTheRing", [](QByteArray& b) { putInt32(b, 21, 10000); },
                   "Invalid file format"},
        RejectCase{"SamplesWithoutIndex", [](QByteArray& b) { putInt32(b, 21, -1); },
                   "Invalid file format"},
        RejectCase{"ThousandMarks", [](QByteArray& b) { putInt32(b, 80025, 1000); },
                   "Invalid file format"}),
    [](const auto& info) { return std::string(info.param.name); });

struct IoCase {
    const char* name;
    const char* relativePath; // below the temporary folder
    bool makeFolderInstead;
    const char* reason;
};

class LoadFailure : public DataFile, public testing::WithParamInterface<IoCase> {};

TEST_P(LoadFailure, ReportsTheRunTimeErrorDescription) {
    const IoCase& c = GetParam();
    const QString target = path(c.relativePath);
    if (c.makeFolderInstead) {
        ASSERT_TRUE(QDir().mkpath(target));
    }
    auto recording = sampleRecording(3, 1);
    EXPECT_FALSE(RecorderDataFile::load(target, *recording, prompts));
    EXPECT_EQ(onlyMessage("Load Data"),
              QStringLiteral("\"%1\":\r\n%2").arg(target, QLatin1String(c.reason)));
    EXPECT_TRUE(sameRecording(*recording, *sampleRecording(3, 1)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFailure,
    testing::Values(IoCase{"Missing", "Data.dat", false, "File not found"},
                    IoCase{"FolderMissing", "gone/Data.dat", false, "Path not found"},
                    IoCase{"FolderInItsPlace", "Data.dat", true, "Path/File access error"}),
    [](const auto& info) { return std::string(info.param.name); });

class SaveFailure : public DataFile, public testing::WithParamInterface<IoCase> {};

TEST_P(SaveFailure, ReportsTheRunTimeErrorDescription) {
    const IoCase& c = GetParam();
    const QString target = path(c.relativePath);
    if (c.makeFolderInstead) {
        ASSERT_TRUE(QDir().mkpath(target));
    }
    EXPECT_FALSE(RecorderDataFile::save(target, *sampleRecording(3, 1), prompts));
    EXPECT_EQ(onlyMessage("Save Data"),
              QStringLiteral("\"%1\":\r\n%2").arg(target, QLatin1String(c.reason)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveFailure,
    testing::Values(IoCase{"FolderMissing", "gone/Data.dat", false, "Path not found"},
                    IoCase{"FolderInItsPlace", "Data.dat", true, "Path/File access error"}),
    [](const auto& info) { return std::string(info.param.name); });

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
        const Verdict verdict = RecorderDataFile::decode(bytes, *target);
        if (verdict != Verdict::Ok) {
            // The record has no padding, so equal bytes mean an equal recording.
            ASSERT_EQ(std::memcmp(before.get(), target.get(), sizeof(XtRecording)), 0)
                << "round " << round;
            continue;
        }
        ++taken;
        ASSERT_TRUE(target->isValid()) << "round " << round;
        int32_t lowest = XtRecording::RingSize, highest = -1, visited = 0;
        target->forEachRedrawSlot([&](int32_t slot) {
            lowest = std::min(lowest, slot);
            highest = std::max(highest, slot);
            ++visited;
        });
        ASSERT_LT(visited, std::max(target->SampleCount, 1)) << "round " << round;
        if (visited > 0) {
            ASSERT_GE(lowest, 0) << "round " << round;
            ASSERT_LT(highest, XtRecording::RingSize) << "round " << round;
        }
    }
    EXPECT_GT(taken, 100); // the damage also reached the taken-over data, not only the checks
}

} // namespace
