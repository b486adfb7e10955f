#include "app/SettingsFile.h"
#include "platform/ProfileFile.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <random>

namespace {

// The last count the helper reported as saved, or -1.
int32_t lastReported(const QByteArray& output) {
    const QList<QByteArray> lines = output.split('\n');
    // The last element is what followed the final line break (normally nothing).
    for (qsizetype i = lines.size() - 2; i >= 0; --i) {
        bool ok = false;
        const int32_t value = lines[i].toInt(&ok);
        if (ok)
            return value;
    }
    return -1;
}

// A process killed in the middle of saving leaves the old or the new file,
// whole: it always loads, keeps the other sections, and holds at least the
// last count reported as saved.
TEST(KilledSettingsSave, LeavesAWholeFileWithTheLastSavedCount) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Cyclomarkator.INI"));
    QFile seed(path);
    ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
    seed.write("[General]\nLeft=1500\n[Cyclomarkator]\nValue=0\n[Recorder]\nXScale=2\n");
    seed.close();

    std::mt19937 random(20100620);
    std::uniform_int_distribution<int> pauseMs(5, 120);
    int32_t reported = 0;
    int32_t previous = 0;
    for (int round = 0; round < 20; ++round) {
        QProcess helper;
        helper.start(QStringLiteral(SETTINGS_SAVE_LOOP), {path});
        ASSERT_TRUE(helper.waitForStarted());
        // Kill only once the save loop runs; the start-up is not what is tested.
        ASSERT_TRUE(helper.waitForReadyRead(10000));
        QThread::msleep(static_cast<unsigned long>(pauseMs(random)));
        ::kill(static_cast<pid_t>(helper.processId()), SIGKILL);
        ASSERT_TRUE(helper.waitForFinished());
        const int32_t printed = lastReported(helper.readAllStandardOutput());
        reported = std::max(reported, printed);

        ProfileFile file(path);
        ASSERT_TRUE(file.load()) << file.lastError().toStdString();
        CountingState state;
        QString name;
        SettingsFile::LoadSettings(file, state, name);
        SCOPED_TRACE(round);
        EXPECT_GE(state.CycleCount, reported);
        EXPECT_GE(state.CycleCount, previous);
        EXPECT_LE(state.CycleCount, std::max(previous, printed) + 1);
        EXPECT_EQ(file.readInt(QStringLiteral("General"), QStringLiteral("Left"), 0), 1500);
        EXPECT_EQ(file.readInt(QStringLiteral("Recorder"), QStringLiteral("XScale"), 0), 2);
        EXPECT_TRUE(file.rawValue(QStringLiteral("Profile"), QStringLiteral("6N")).has_value() ||
                    state.CycleCount == 0);
        previous = state.CycleCount;
    }
}

} // namespace
