// A termination signal interrupts a call that blocks (an open() of a FIFO
// without a writer) instead of restarting it, so that nothing that blocks
// keeps the program from ending in order.
#include "platform/UnixSignalWatcher.h"
#include "support/Fifo.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <pthread.h>

TEST(Signals, ATerminationSignalInterruptsACallThatBlocks) {
    QTemporaryDir dir;
    const Fifo fifo(dir.filePath("fifo"));
    const UnixSignalWatcher watcher;
    const pthread_t blocked = pthread_self();
    std::atomic<bool> returned{false};
    std::thread sender([&] { // again and again: one may come just before the open()
        for (int i = 0; i < 400 && !returned;
             ++i, std::this_thread::sleep_for(std::chrono::milliseconds(25)))
            ::pthread_kill(blocked, SIGTERM);
    });
    const int fd = ::open(QFile::encodeName(dir.filePath("fifo")).constData(), O_RDONLY);
    const int error = errno;
    returned = true;
    sender.join();
    EXPECT_TRUE(fd == -1 && error == EINTR) << fd;
}

// With a grace period, the process ends by itself (exit code 0) that long
// after the first signal, whatever keeps the orderly end from coming.
TEST(Signals, TheGracePeriodEndsAProcessThatDoesNotEndInOrder) {
    EXPECT_EXIT(
        {
            const UnixSignalWatcher watcher(nullptr, 1);
            ::raise(SIGTERM);
            for (int i = 0; i < 50; ++i) // 5 s, bounded; the alarm comes after 1 s
                ::usleep(100 * 1000);
            std::_Exit(3);
        },
        testing::ExitedWithCode(0), "");
}
