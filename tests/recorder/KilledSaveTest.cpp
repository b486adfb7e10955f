#include "platform/Prompts.h"
#include "recorder/RecorderDataFile.h"
#include "recorder/XtRecording.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <random>

namespace {

// The last number the helper reported as saved, or 0.
int lastReported(const QByteArray& output) {
    const QList<QByteArray> lines = output.split('\n');
    for (qsizetype i = lines.size() - 2; i >= 0; --i) {
        bool ok = false;
        const int value = lines[i].toInt(&ok);
        if (ok)
            return value;
    }
    return 0;
}

// A process killed while saving leaves a whole chart: the previous one or the
// new one, never a torn file that the next start would refuse.
TEST(KilledSave, LeavesAWholeDataFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data.dat"));
    std::mt19937 random(6201);
    std::uniform_int_distribution<int> pauseMs(5, 80);
    int reported = 0;
    for (int round = 0; round < 15; ++round) {
        QProcess helper;
        helper.start(QStringLiteral(RECORDER_SAVE_LOOP), {path});
        ASSERT_TRUE(helper.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(pauseMs(random)));
        ::kill(static_cast<pid_t>(helper.processId()), SIGKILL);
        ASSERT_TRUE(helper.waitForFinished());
        reported = lastReported(helper.readAllStandardOutput());
        if (!QFile::exists(path))
            continue; // killed before its first save
        SCOPED_TRACE(round);
        ScriptedPrompts prompts;
        auto loaded = std::make_unique<XtRecording>();
        ASSERT_TRUE(RecorderDataFile::load(path, *loaded, prompts));
        const float newest = loaded->SampleRing[static_cast<size_t>(loaded->SampleIndex)].Value;
        EXPECT_GE(newest, static_cast<float>(reported));
    }
}

} // namespace
