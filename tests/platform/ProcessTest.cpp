#include "platform/RigLock.h"
#include "platform/UnixSignalWatcher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

// A rig's folders take one copy at a time; a private temporary folder is
// locked itself (no lock file a cleaner could delete); in a shared one a
// link or another user's file under the lock file's name is refused, not
// written through.
TEST(RigLock, OneCopyPerFolderWhateverHappensToLockFiles) {
    QTemporaryDir dir, temp;
    RigLock first, second, oneFolder;
    ASSERT_EQ(first.lockProgramFolder(dir.path()), RigLock::Outcome::Held);
    EXPECT_EQ(second.lockProgramFolder(dir.path()), RigLock::Outcome::HeldByAnotherCopy);
    ASSERT_EQ(first.lockTempFolder(temp.path(), "Cyclomarkator"), RigLock::Outcome::Held);
    EXPECT_EQ(second.lockTempFolder(temp.path(), "Cyclomarkator"),
              RigLock::Outcome::HeldByAnotherCopy);
    ASSERT_EQ(oneFolder.lockProgramFolder(temp.path() + "/rig"), RigLock::Outcome::NotPossible);
    ASSERT_TRUE(QDir().mkdir(temp.path() + "/rig"));
    ASSERT_EQ(oneFolder.lockProgramFolder(temp.path() + "/rig"), RigLock::Outcome::Held);
    EXPECT_EQ(oneFolder.lockTempFolder(temp.path() + "/rig", "Cyclomarkator"),
              RigLock::Outcome::Held);
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"rig"});

    QTemporaryDir shared;
    ASSERT_EQ(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    const QString lockFile = shared.filePath(RigLock::lockFileName("Cyclomarkator"));
    ASSERT_TRUE(QFile::link(shared.filePath("elsewhere"), lockFile));
    RigLock planted;
    EXPECT_EQ(planted.lockTempFolder(shared.path(), "Cyclomarkator"),
              RigLock::Outcome::NotPossible);
    EXPECT_TRUE(planted.why().contains(lockFile));
    EXPECT_FALSE(QFile::exists(shared.filePath("elsewhere")));
    ASSERT_TRUE(QFile::remove(lockFile));
    RigLock third, fourth;
    EXPECT_EQ(third.lockTempFolder(shared.path(), "Cyclomarkator"), RigLock::Outcome::Held);
    EXPECT_EQ(fourth.lockTempFolder(shared.path(), "Cyclomarkator"),
              RigLock::Outcome::HeldByAnotherCopy);
}

// SIGTERM reaches the program as an event, so that it can save and end.
TEST(UnixSignalWatcher, DeliversTerminationOnTheEventLoop) {
    int argc = 1;
    char name[] = "platform_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    UnixSignalWatcher watcher;
    int received = 0;
    QObject::connect(&watcher, &UnixSignalWatcher::terminationRequested, [&](int number) {
        received = number;
        app.quit();
    });
    QTimer::singleShot(0, [] { std::raise(SIGTERM); });
    QTimer::singleShot(5000, &app, &QCoreApplication::quit);
    app.exec();
    EXPECT_EQ(received, SIGTERM);
}
