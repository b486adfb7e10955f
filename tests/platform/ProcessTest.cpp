#include "platform/SingleInstanceLock.h"
#include "platform/UnixSignalWatcher.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

TEST(SingleInstanceLock, OnlyOneHolderUntilReleased) {
    QTemporaryDir dir;
    SingleInstanceLock first;
    SingleInstanceLock second;
    ASSERT_TRUE(first.acquire(dir.path(), "Cyclomarkator"));
    EXPECT_FALSE(second.acquire(dir.path(), "Cyclomarkator"));
    // Another program name is another lock.
    SingleInstanceLock other;
    EXPECT_TRUE(other.acquire(dir.path(), "OtherTool"));
    first.release();
    EXPECT_TRUE(second.acquire(dir.path(), "Cyclomarkator"));
}

TEST(SingleInstanceLock, RefusesALinkPlantedAtTheLockFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"),
                            dir.filePath(SingleInstanceLock::lockFileName("Cyclomarkator"))));
    SingleInstanceLock lock;
    EXPECT_FALSE(lock.acquire(dir.path(), "Cyclomarkator"));
    EXPECT_FALSE(lock.errorText().isEmpty());
}

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
