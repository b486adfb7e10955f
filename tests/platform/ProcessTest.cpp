#include "platform/SingleInstanceLock.h"
#include "platform/UnixSignalWatcher.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

// Two copies of the program must not count at once; another program name is
// another lock, and a link planted at the lock file is refused with a reason.
TEST(SingleInstanceLock, OnlyOneHolderUntilReleased) {
    QTemporaryDir dir;
    SingleInstanceLock first, second, other;
    ASSERT_TRUE(first.acquire(dir.path(), "Cyclomarkator"));
    EXPECT_FALSE(second.acquire(dir.path(), "Cyclomarkator"));
    EXPECT_TRUE(other.acquire(dir.path(), "OtherTool"));
    first.release();
    EXPECT_TRUE(second.acquire(dir.path(), "Cyclomarkator"));

    QTemporaryDir planted;
    ASSERT_TRUE(QFile::link(planted.filePath("elsewhere"),
                            planted.filePath(SingleInstanceLock::lockFileName("Cyclomarkator"))));
    SingleInstanceLock lock;
    EXPECT_FALSE(lock.acquire(planted.path(), "Cyclomarkator"));
    EXPECT_FALSE(lock.errorText().isEmpty());
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
