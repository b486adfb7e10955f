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
    int32_t reported = 0, previous = 0;
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        QProcess helper;
        helper.start(QStringLiteral(SETTINGS_SAVE_LOOP), {path});
        // Kill only once the save loop runs; the start-up is not what is tested.
        ASSERT_TRUE(helper.waitForStarted() && helper.waitForReadyRead(10000));
        QThread::msleep(static_cast<unsigned long>(pauseMs(random)));
        ::kill(static_cast<pid_t>(helper.processId()), SIGKILL);
        ASSERT_TRUE(helper.waitForFinished());
        // Each count is printed once its save returned; the last line may be cut short.
        QList<QByteArray> lines = helper.readAllStandardOutput().split('\n');
        lines.removeLast();
        const int32_t printed = lines.isEmpty() ? -1 : lines.last().toInt();
        reported = std::max(reported, printed);

        ProfileFile file(path);
        ASSERT_TRUE(file.load()) << file.lastError().toStdString();
        CountingState state;
        QString name;
        SettingsFile::LoadSettings(file, state, name);
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
